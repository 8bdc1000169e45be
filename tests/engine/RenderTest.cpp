// Render to WAV: the file layout, the length of the render for each remainder
// choice, song mode, cancelling, the title, write failures and the window's
// texts. Samples are built by hand so every expected frame is known.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/Render.h"

namespace {

namespace fs = std::filesystem;
constexpr int32_t Step140 = 4725;             // 661500 div 140
constexpr int32_t Pattern140 = 16 * Step140;  // 75600 frames

uint32_t u32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
std::string id(const std::vector<unsigned char>& b, size_t at) {
    return std::string(b.begin() + at, b.begin() + at + 4);
}

// A parsed render file: its frames and the texts of its INFO list.
struct TRendered {
    std::vector<unsigned char> bytes;
    uint32_t dataBytes = 0;
    std::vector<std::pair<std::string, std::string>> info;  // id, text without its zero

    int64_t frames() const { return dataBytes / 4; }
    int16_t left(int64_t f) const { return int16_t(bytes[46 + 4 * f] | bytes[47 + 4 * f] << 8); }
    int16_t right(int64_t f) const { return int16_t(bytes[48 + 4 * f] | bytes[49 + 4 * f] << 8); }
};

// Reads a render file, checking every size field against the file itself.
TRendered readRender(const fs::path& p) {
    TRendered r;
    r.bytes = txtest::ReadFileBytes(p);
    const auto& b = r.bytes;
    EXPECT_GE(b.size(), 46u + 12u);
    if (b.size() < 58) return r;
    EXPECT_EQ(id(b, 0), "RIFF");
    EXPECT_EQ(u32(b, 4), b.size() - 8);
    EXPECT_EQ(id(b, 38), "data");
    r.dataBytes = u32(b, 42);
    size_t list = 46 + size_t(r.dataBytes);
    EXPECT_LE(list + 12, b.size());
    if (list + 12 > b.size()) return r;
    EXPECT_EQ(id(b, list), "LIST");
    EXPECT_EQ(u32(b, list + 4), b.size() - (list + 8));
    EXPECT_EQ(id(b, list + 8), "INFO");
    size_t at = list + 12;
    while (at + 8 <= b.size()) {
        uint32_t n = u32(b, at + 4);
        EXPECT_LE(at + 8 + n, b.size());
        if (at + 8 + n > b.size() || n == 0) break;
        EXPECT_EQ(b[at + 8 + n - 1], 0) << "text must end in a zero byte";
        r.info.emplace_back(id(b, at), std::string(b.begin() + at + 8, b.begin() + at + 8 + n - 1));
        at += 8 + n;  // no pad byte
    }
    EXPECT_EQ(at, b.size());
    return r;
}

void fillConstant(tx::TWAVSample& s, int32_t n, int16_t left, int16_t right) {
    s.Data.assign(size_t(n) * 2, 0);
    for (int32_t i = 0; i < n; ++i) {
        s.Data[size_t(i) * 2] = left;
        s.Data[size_t(i) * 2 + 1] = right;
    }
    s.Length = s.PlayLength = n;
}

// Frame i holds (i - 5000, 5000 - i): every frame tells where in the sample it came from.
void fillRamp(tx::TWAVSample& s, int32_t n) {
    s.Data.assign(size_t(n) * 2, 0);
    for (int32_t i = 0; i < n; ++i) {
        s.Data[size_t(i) * 2] = int16_t(i - 5000);
        s.Data[size_t(i) * 2 + 1] = int16_t(5000 - i);
    }
    s.Length = s.PlayLength = n;
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        engine->SetTempo(140);
        loop.Title = "Beat";
        settings.RenderingRemainder = tx::TRemainder::Cut;
        engine->SetSettings(settings);
    }

    // Channel ch: pan 0 (left only) at unity volume, so a step copies its
    // sample's left values into the file unchanged.
    void hardLeft(int ch) {
        loop.Channel(ch).Pan = 0;
        loop.Channel(ch).Volume = 100;
    }
    void step(int ch, int pattern, int s, uint8_t volume = 127) {
        auto& r = loop.Channel(ch).Pattern(pattern);
        r.SetStep(s, true);
        r.StepVolume()[size_t(s)] = volume;
    }
    TRendered render(const std::string& name = "out.wav") {
        tx::TRenderResult res = tx::RenderWAV(*engine, (dir / name).string());
        EXPECT_TRUE(res.Ok) << res.Error;
        TRendered r = readRender(dir / name);
        EXPECT_EQ(res.DataBytes, r.dataBytes);
        return r;
    }

    txtest::TempDir dir;
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
};

// ------------------------------------------------------------ file layout

TEST_F(RenderTest, HeaderBytesAndListChunkAreExact) {
    TRendered r = render();
    const uint32_t n = uint32_t(Pattern140) * 4;  // 302400
    // LIST body: "INFO" + ICMT (8 + 30) + INAM "Beat" (8 + 5) + ISFT (8 + 9) = 72
    const uint32_t fileSize = 46 + n + 8 + 72;
    // clang-format off
    const unsigned char expected[46] = {
        'R', 'I', 'F', 'F', uint8_t(fileSize - 8), uint8_t((fileSize - 8) >> 8), uint8_t((fileSize - 8) >> 16), 0,
        'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
        1, 0,                   // PCM
        2, 0,                   // channels
        0x44, 0xAC, 0, 0,       // 44100
        0x10, 0xB1, 0x02, 0,    // 176400
        4, 0, 16, 0, 0, 0,      // block align, bits, extra size
        'd', 'a', 't', 'a', uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), 0};
    // clang-format on
    ASSERT_EQ(r.bytes.size(), fileSize);
    EXPECT_EQ(std::vector<unsigned char>(r.bytes.begin(), r.bytes.begin() + 46),
              std::vector<unsigned char>(expected, expected + 46));

    const std::string tail(r.bytes.begin() + 46 + n, r.bytes.end());
    const std::string list = std::string("LIST") + std::string("\x48\0\0\0", 4) + "INFO" + "ICMT" +
                             std::string("\x1e\0\0\0", 4) + "made with Trovamix (98) Vesko" + std::string(1, '\0') +
                             "INAM" + std::string("\x05\0\0\0", 4) + "Beat" + std::string(1, '\0') + "ISFT" +
                             std::string("\x09\0\0\0", 4) + "Trovamix" + std::string(1, '\0');
    EXPECT_EQ(tail, list);
}

TEST_F(RenderTest, EmptyTitleNamesTheLoopFileWithoutFolderAndExtension) {
    loop.Title.clear();
    loop.LoopFileName = (dir / "My Groove.v2.txp").string();
    TRendered r = render();
    ASSERT_EQ(r.info.size(), 3u);
    EXPECT_EQ(r.info[0], (std::pair<std::string, std::string>{"ICMT", "made with Trovamix (98) Vesko"}));
    EXPECT_EQ(r.info[1], (std::pair<std::string, std::string>{"INAM", "My Groove.v2"}));
    EXPECT_EQ(r.info[2], (std::pair<std::string, std::string>{"ISFT", "Trovamix"}));
}

TEST_F(RenderTest, SilentLoopRendersSilence) {
    TRendered r = render();
    ASSERT_EQ(r.frames(), Pattern140);
    for (int64_t f = 0; f < r.frames(); ++f) ASSERT_TRUE(r.left(f) == 0 && r.right(f) == 0) << f;
}

// ------------------------------------------------------------ lengths and content

// Block lengths from 576 to 8064 frames must give the very same file.
class RenderBlockTest : public RenderTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(RenderBlockTest, CutRemainderHoldsExactlyOnePatternAndStepsLandOnTheirFrames) {
    lock.SetBufferLength(GetParam());
    tx::TWAVSample& s = loop.Channel(0).Sample;
    fillRamp(s, 3000);
    hardLeft(0);
    step(0, 1, 0);
    step(0, 1, 5);
    TRendered r = render();
    ASSERT_EQ(r.dataBytes, uint32_t(16 * Step140 * 4));
    // step k starts at frame k x 4725 of the file
    for (int64_t f : {0, 1, 2999, 5 * Step140, 5 * Step140 + 1234, 5 * Step140 + 2999}) {
        int64_t i = f >= 5 * Step140 ? f - 5 * Step140 : f;
        EXPECT_EQ(r.left(f), int16_t(i - 5000)) << f;
        EXPECT_EQ(r.right(f), 0) << f;
    }
    EXPECT_EQ(r.left(3000), 0);
    EXPECT_EQ(r.left(5 * Step140 - 1), 0);
}

TEST_P(RenderBlockTest, LeaveRemainderExtendsToTheEndOfALongSampleOnTheLastStep) {
    lock.SetBufferLength(GetParam());
    settings.RenderingRemainder = tx::TRemainder::Leave;
    engine->SetSettings(settings);
    fillRamp(loop.Channel(0).Sample, 10000);
    hardLeft(0);
    step(0, 1, 15);
    TRendered r = render();
    // starts at 15 x 4725 = 70875 and plays 10000 frames
    ASSERT_EQ(r.frames(), 70875 + 10000);
    EXPECT_EQ(r.left(70875), -5000);
    EXPECT_EQ(r.left(70875 + 9999), 4999);
}

TEST_P(RenderBlockTest, WrapRemainderMixesTheLastStepsTailIntoTheStart) {
    lock.SetBufferLength(GetParam());
    settings.RenderingRemainder = tx::TRemainder::Wrap;
    engine->SetSettings(settings);
    fillRamp(loop.Channel(0).Sample, 10000);
    hardLeft(0);
    step(0, 1, 15);
    TRendered r = render();
    ASSERT_EQ(r.frames(), Pattern140);
    // The pre-rolled voice began 4725 frames before the file: frame k is sample frame 4725 + k.
    for (int64_t k : {0, 1, 100, 5274}) EXPECT_EQ(r.left(k), int16_t(4725 + k - 5000)) << k;
    EXPECT_EQ(r.left(5275), 0);
    // ...and the step itself still sounds from frame 70875 and is cut at the end.
    EXPECT_EQ(r.left(70875), -5000);
    EXPECT_EQ(r.left(Pattern140 - 1), int16_t(4724 - 5000));
}

INSTANTIATE_TEST_SUITE_P(BlockLengths, RenderBlockTest, ::testing::Values(576, 1152, 4032, 8064));

TEST_F(RenderTest, CutRemainderTruncatesTheLongSample) {
    fillRamp(loop.Channel(0).Sample, 10000);
    hardLeft(0);
    step(0, 1, 15);
    TRendered r = render();
    ASSERT_EQ(r.frames(), Pattern140);
    EXPECT_EQ(r.left(Pattern140 - 1), int16_t(4724 - 5000));
    EXPECT_EQ(r.left(0), 0) << "no wrap with cut remainder";
}

// A sample one octave down plays twice its length: the remainder left must be
// the voice's own 6000 frames, not the sample's 3000.
TEST_F(RenderTest, LeaveRemainderKeepsAPitchedDownTailWhole) {
    settings.RenderingRemainder = tx::TRemainder::Leave;
    engine->SetSettings(settings);
    fillConstant(loop.Channel(0).Sample, 3000, 1000, 0);
    hardLeft(0);
    step(0, 1, 15);
    loop.Channel(0).Pattern(1).StepNote()[15] = uint8_t(loop.Channel(0).MiddleNote - 12);
    TRendered r = render();
    ASSERT_EQ(r.frames(), 70875 + 6000);
    EXPECT_EQ(r.left(70875), 1000);
    EXPECT_EQ(r.left(70875 + 5999), 1000);
}

// Echoes that start after the end of the loop are part of the remainder too.
TEST_F(RenderTest, LeaveRemainderKeepsEchoesStartingAfterTheEnd) {
    settings.RenderingRemainder = tx::TRemainder::Leave;
    engine->SetSettings(settings);
    fillConstant(loop.Channel(0).Sample, 1000, 1000, 0);
    tx::TChannel& c = loop.Channel(0);
    hardLeft(0);
    c.DelayFeed = 64;
    c.DelayEchoes = 2;
    c.DelayTime = 32;  // two steps
    step(0, 1, 15);
    TRendered r = render();
    // echo 2 starts at 70875 + 2 x 2 x 4725 = 89775 and plays 1000 frames
    ASSERT_EQ(r.frames(), 89775 + 1000);
    EXPECT_NE(r.left(89775 + 999), 0);
}

TEST_F(RenderTest, SongModeWithThreePositionsRendersThreePatterns) {
    const int16_t values[3] = {1000, 2000, 3000};
    for (int ch = 0; ch < 3; ++ch) {
        fillConstant(loop.Channel(ch).Sample, 100, values[ch], 0);
        hardLeft(ch);
        step(ch, ch + 1, 0);
        loop.PlayList.SetPatternAt(ch + 1, ch, true);
    }
    step(0, 4, 0);  // a pattern that is not on the playlist must not play
    loop.SongMode = true;
    tx::TRenderThread r(*engine);
    ASSERT_TRUE(r.StartRender((dir / "song.wav").string()));
    EXPECT_EQ(r.Plan().Count, 3);
    EXPECT_EQ(r.LengthLabel(), "Length: 5.1sec");  // 3 x 240000 div 140 = 5142 ms
    ASSERT_TRUE(r.Wait().Ok);
    TRendered w = readRender(dir / "song.wav");
    ASSERT_EQ(w.frames(), 3 * Pattern140);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(w.left(p * Pattern140), values[p]) << p;
        EXPECT_EQ(w.left(p * Pattern140 + 99), values[p]) << p;
        EXPECT_EQ(w.left(p * Pattern140 + 100), 0) << p;
    }
    EXPECT_EQ(r.Progress().PatLabel(), "Pattern: 3/3");
    EXPECT_EQ(r.Progress().GaugePosition.load(), 57);  // 226800 frames in blocks of 4032
    EXPECT_EQ(r.Caption(), "Rendering song.wav (done)");
}

TEST_F(RenderTest, WrapPreRollPlaysEveryPatternOfTheLastPosition) {
    settings.RenderingRemainder = tx::TRemainder::Wrap;
    engine->SetSettings(settings);
    fillConstant(loop.Channel(0).Sample, 6000, 1000, 0);
    fillConstant(loop.Channel(1).Sample, 6000, 0, 2000);
    hardLeft(0);
    loop.Channel(1).Pan = 127;  // right only
    step(0, 2, 15);
    step(1, 3, 15);
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    loop.PlayList.SetPatternAt(3, 1, true);
    loop.SongMode = true;
    TRendered r = render();
    ASSERT_EQ(r.frames(), 2 * Pattern140);
    // 6000 - 4725 = 1275 frames of both tails open the file
    EXPECT_EQ(r.left(0), 1000);
    EXPECT_EQ(r.right(0), 2000);
    EXPECT_EQ(r.left(1274), 1000);
    EXPECT_EQ(r.right(1274), 2000);
    EXPECT_EQ(r.left(1275), 0);
    EXPECT_EQ(r.right(1275), 0);
}

TEST_F(RenderTest, EngineIsLeftStoppedWithAnEmptyMixBuffer) {
    // 75600 = 18 x 4032 + 3024: the last block is shortened while the voice still sounds.
    fillConstant(loop.Channel(0).Sample, 10000, 1000, 1000);
    step(0, 1, 15);
    render();
    EXPECT_FALSE(engine->Playing);
    EXPECT_EQ(engine->SongEnd, tx::NoSongEnd);
    EXPECT_EQ(engine->VoiceCount, 0);
    for (int32_t v : lock.MixBuffer) ASSERT_EQ(v, 0);
    EXPECT_EQ(lock.SuspendCount, 0);
}

// The 32-bit size fields cap a render; the loop stops at the cap, also when
// leaving the remainder would go on.
TEST_F(RenderTest, RenderStopsAtTheLargestDataTheFileCanDescribe) {
    settings.RenderingRemainder = tx::TRemainder::Leave;
    engine->SetSettings(settings);
    fillConstant(loop.Channel(0).Sample, 30000, 100, 100);
    step(0, 1, 15);
    for (int64_t cap : {int64_t(40000), int64_t(70875 + 20000) * 4}) {
        tx::TRenderProgress progress;
        tx::TRenderPlan plan = tx::PlanRender(loop, lock.BlockFrames);
        int64_t got = 0;
        int64_t written = tx::RunRenderLoop(*engine, plan, progress, cap, [&](const uint8_t*, size_t n) {
            got += int64_t(n);
            return true;
        });
        EXPECT_EQ(written, cap);
        EXPECT_EQ(got, cap);
    }
}

// ------------------------------------------------------------ cancel and failures

TEST_F(RenderTest, CancelAfterAFewBlocksGivesAShorterValidFile) {
    engine->SetTempo(10);  // one pattern is 1058400 frames: many blocks
    fillConstant(loop.Channel(0).Sample, 100, 500, 500);
    step(0, 1, 0);
    tx::TRenderThread r(*engine);
    int blocks = 0;
    r.OnBlock = [&] {
        if (++blocks == 3) r.Cancel();
    };
    loop.Tempo = 10;
    ASSERT_TRUE(r.StartRender((dir / "cancel.wav").string()));
    const tx::TRenderResult& res = r.Wait();
    ASSERT_TRUE(res.Ok) << res.Error;
    EXPECT_TRUE(res.Cancelled);
    TRendered w = readRender(dir / "cancel.wav");
    EXPECT_EQ(w.dataBytes, 3u * 4032u * 4u);
    EXPECT_EQ(w.info.size(), 3u);
    EXPECT_NE(w.left(0), 0);
}

TEST_F(RenderTest, FolderThatDoesNotExistIsReportedAndNothingStarts) {
    std::string target = (dir / "missing" / "out.wav").string();
    tx::TRenderThread r(*engine);
    EXPECT_FALSE(r.StartRender(target));
    const tx::TRenderResult& res = r.Wait();
    EXPECT_FALSE(res.Ok);
    EXPECT_NE(res.Error.find(target), std::string::npos) << res.Error;
    EXPECT_NE(res.Error.find("No such file or directory"), std::string::npos) << res.Error;
}

TEST_F(RenderTest, TargetThatIsAFolderIsReportedAndKept) {
    fs::create_directory(dir / "taken.wav");
    tx::TRenderResult res = tx::RenderWAV(*engine, (dir / "taken.wav").string());
    EXPECT_FALSE(res.Ok);
    EXPECT_NE(res.Error.find("taken.wav"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir / "taken.wav"));
}

// A write failure half-way (here the file size limit; a full disk behaves the
// same) keeps the old file and leaves no temporary file behind.
TEST_F(RenderTest, WriteFailureKeepsTheExistingFileIntact) {
    const fs::path target = dir / "keep.wav";
    const std::vector<unsigned char> old = {'o', 'l', 'd'};
    txtest::WriteFileBytes(target, old);

    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &saved);
    rlimit savedLimit{};
    getrlimit(RLIMIT_FSIZE, &savedLimit);
    rlimit small = savedLimit;
    small.rlim_cur = 100000;  // a third of the 302400 data bytes
    setrlimit(RLIMIT_FSIZE, &small);
    tx::TRenderResult res = tx::RenderWAV(*engine, target.string());
    setrlimit(RLIMIT_FSIZE, &savedLimit);
    sigaction(SIGXFSZ, &saved, nullptr);

    EXPECT_FALSE(res.Ok);
    EXPECT_NE(res.Error.find(target.string()), std::string::npos) << res.Error;
    EXPECT_NE(res.Error.find(std::strerror(EFBIG)), std::string::npos) << res.Error;
    EXPECT_EQ(txtest::ReadFileBytes(target), old);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "the temporary file must be gone";
    EXPECT_EQ(lock.SuspendCount, 0);
}

TEST_F(RenderTest, SuccessfulRenderReplacesTheOldFileAndLeavesNoTemporary) {
    txtest::WriteFileBytes(dir / "out.wav", {'o', 'l', 'd'});
    TRendered r = render();
    EXPECT_EQ(r.frames(), Pattern140);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

// ------------------------------------------------------------ texts and plan

TEST(RenderTextTest, LabelsAndCaption) {
    EXPECT_EQ(tx::RenderPatternLabel(1, 3), "Pattern: 1/3");
    EXPECT_EQ(tx::RenderPatternLabel(12, 512), "Pattern: 12/512");
    EXPECT_EQ(tx::RenderTempoLabel(140), "Tempo: 140");
    EXPECT_EQ(tx::RenderLengthLabel(1714), "Length: 1.7sec");
    EXPECT_EQ(tx::RenderLengthLabel(24000), "Length: 24.0sec");
    EXPECT_EQ(tx::RenderLengthLabel(480), "Length: 0.4sec");
    EXPECT_EQ(tx::RenderLengthLabel(99), "Length: 0.0sec");
    EXPECT_EQ(tx::RenderCaption("/home/me/renders/beat.wav"), "Rendering beat.wav");
    EXPECT_EQ(tx::RenderDoneCaption("beat.wav"), "Rendering beat.wav (done)");
}

struct PlanCase {
    int tempo;
    int32_t blockFrames;
    int32_t lengthMs, gaugeMax;
};

class RenderPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(RenderPlanTest, LengthAndGaugeOfOnePattern) {
    tx::TLoop loop;
    loop.Tempo = GetParam().tempo;
    tx::TRenderPlan p = tx::PlanRender(loop, GetParam().blockFrames);
    EXPECT_EQ(p.Count, 1);
    EXPECT_EQ(p.LengthMs, GetParam().lengthMs);
    EXPECT_EQ(p.GaugeMax, GetParam().gaugeMax);
}

// L = 240000 div T; gauge = (L x 441 div 10) div B
INSTANTIATE_TEST_SUITE_P(Tempos, RenderPlanTest,
                         ::testing::Values(PlanCase{140, 4032, 1714, 18},   // 75587 div 4032
                                           PlanCase{140, 576, 1714, 131},   // 75587 div 576
                                           PlanCase{10, 4032, 24000, 262},  // 1058400 div 4032
                                           PlanCase{500, 4032, 480, 5}));   // 21168 div 4032

TEST(RenderCountTest, PositionsInUse) {
    tx::TLoop loop;
    EXPECT_EQ(tx::RenderPositionCount(loop), 1);
    loop.SongMode = true;
    // empty playlist: pattern 1 plus the run of non-empty patterns from 2 on
    loop.Channel(0).Pattern(2).SetStep(0, true);
    loop.Channel(3).Pattern(3).SetStep(9, true);
    loop.Channel(1).Pattern(5).SetStep(1, true);
    EXPECT_EQ(tx::RenderPositionCount(loop), 3);
    // a playlist: the highest non-empty position + 1, empty ones between included
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(7, 5, true);
    EXPECT_EQ(tx::RenderPositionCount(loop), 6);
    loop.SongMode = false;
    EXPECT_EQ(tx::RenderPositionCount(loop), 1);
}

}  // namespace
