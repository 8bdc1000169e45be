// `trovamix-cli render`, run as the built program: samples found beside the
// loop, the song/pattern and remainder options, and the program's default loop
// rendered exactly as the same render made in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "CliRun.h"
#include "Wav16.h"
#include "engine/Engine.h"
#include "engine/LoadLoop.h"
#include "engine/Render.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
constexpr uint32_t Pattern140 = 16 * 4725;  // frames of one pattern at 140 BPM

uint32_t le32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

class CliRender : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Renders `loop` to `out` with `options`; the interleaved frames, after
    // checking that the header's sizes agree with the file.
    std::vector<int16_t> render(const std::string& loop, const std::string& out, std::vector<std::string> options) {
        options.insert(options.begin(), {"render", loop, "-o", path(out)});
        const txtest::TCliResult r = txtest::RunCli(options);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "") << "no progress bar when stderr is not a terminal";
        const Bytes b = txtest::ReadFileBytes(dir / out);
        if (b.size() < 46) return {};
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        std::vector<int16_t> pcm = txtest::ReadWav16(dir / out);
        EXPECT_EQ(le32(b, 42), pcm.size() * 2);
        return pcm;
    }
    // Channel 0 plays "tone.wav" (1000 frames of 8000; stored with a foreign
    // folder, so it is found beside the loop) hard left on step 0 of each of
    // `bars` playlist bars.
    std::string writeToneLoop(bool songMode, int bars) {
        txtest::WriteConstantWav16(dir / "tone.wav", 1000, 8000, 8000);
        tx::TLoop loop;
        tx::TChannel& c = loop.Channel(0);
        c.SampleFileName = "C:\\Elsewhere\\tone.wav";
        c.Pan = 0;
        c.Volume = 100;
        for (int p = 1; p <= bars; ++p) {
            c.Pattern(p).SetStep(0, true);
            c.Pattern(p).StepVolume()[0] = 127;
            loop.PlayList.SetPatternAt(p, p - 1, true);
        }
        loop.SongMode = songMode;
        loop.Tempo = 140;
        EXPECT_EQ(tx::WriteLoop(path("l.txp"), loop), "");
        return path("l.txp");
    }
    txtest::TempDir dir;
};

TEST_F(CliRender, ASampleBesideTheLoopIsFoundAndNothingElseIsWritten) {
    const std::vector<int16_t> w = render(writeToneLoop(false, 1), "out.wav", {"--remainder", "cut"});
    ASSERT_EQ(w.size(), 2 * Pattern140);
    EXPECT_EQ(w[0], 8000);
    EXPECT_EQ(w[1], 0);  // hard left
    EXPECT_EQ(w[2 * 999], 8000);
    EXPECT_EQ(w[2 * 1000], 0);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 3);  // loop, tone.wav, out.wav
}

struct TModeCase {
    bool SongMode;
    const char* Option;  // "" for none
    uint32_t Patterns;
};
void PrintTo(const TModeCase& c, std::ostream* os) {
    *os << (c.SongMode ? "SongLoop" : "PatternLoop") << (*c.Option ? c.Option + 1 : "");
}
class CliRenderMode : public CliRender, public ::testing::WithParamInterface<TModeCase> {};

TEST_P(CliRenderMode, RendersTheSongOrOnePattern) {
    std::vector<std::string> options = {"--remainder", "cut"};
    if (*GetParam().Option) options.push_back(GetParam().Option);
    EXPECT_EQ(render(writeToneLoop(GetParam().SongMode, 3), "out.wav", options).size(),
              2 * GetParam().Patterns * Pattern140);
}

INSTANTIATE_TEST_SUITE_P(SongOrPattern, CliRenderMode,
                         ::testing::Values(TModeCase{true, "", 3}, TModeCase{false, "", 1},
                                           TModeCase{true, "--pattern", 1}, TModeCase{false, "--song", 3}));

TEST_F(CliRender, RemainderAndBufferOptions) {
    // A 10000-frame sample on the last step: leave extends to its end.
    txtest::WriteConstantWav16(dir / "long.wav", 10000, 3000, 3000);
    tx::TLoop loop;
    loop.Channel(0).SampleFileName = "long.wav";
    loop.Channel(0).Pattern(1).SetStep(15, true);
    const std::string file = path("long.txp");
    ASSERT_EQ(tx::WriteLoop(file, loop), "");

    EXPECT_EQ(render(file, "leave.wav", {"--remainder", "leave"}).size(), 2 * (15 * 4725 + 10000u));
    const std::vector<int16_t> wrap = render(file, "wrap.wav", {});  // the default: wrap
    ASSERT_EQ(wrap.size(), 2 * Pattern140);
    EXPECT_NE(wrap[0], 0) << "the wrapped tail opens the file";
    const std::vector<int16_t> cut = render(file, "cut.wav", {"--remainder=cut"});
    ASSERT_EQ(cut.size(), 2 * Pattern140);
    EXPECT_EQ(cut[0], 0);
    EXPECT_EQ(render(file, "cut576.wav", {"--remainder", "cut", "--buffer", "576"}), cut)
        << "the block length must not change the sound";
}

// The program's own default loop and kit, as built beside the tool: the
// command renders the whole song, unclipped, and its file is byte for byte the
// one the same render makes in this process.
TEST_F(CliRender, TheDefaultLoopRendersAsInProcess) {
    const std::string file = std::string(TROVAMIX_BINARY_DIR) + "/Default/Default.txp";
    ASSERT_TRUE(fs::exists(file));
    const std::vector<int16_t> w = render(file, "cli.wav", {});
    ASSERT_EQ(w.size(), 2 * 8 * Pattern140);  // eight bars on the playlist
    int peak = 0;
    int64_t sum = 0;
    for (int16_t v : w) {
        peak = std::max(peak, std::abs(int(v)));
        sum += std::abs(int(v));
    }
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(peak, 16384) << "too quiet";
    EXPECT_GT(sum / int64_t(w.size()), 1000) << "mostly silent: samples not found?";

    tx::TSettings settings;
    tx::TEngineLock lock;
    lock.SetBufferLength(settings.BufferLength);
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    tx::TLoadLoopOptions options;
    options.Locate.ProgramFolder = std::string(TROVAMIX_BINARY_DIR) + "/";
    ASSERT_TRUE(tx::LoadLoopInto(file, loop, engine, options).Ok());
    const tx::TRenderResult r = tx::RenderWAV(engine, path("here.wav"));
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_TRUE(txtest::ReadFileBytes(dir / "cli.wav") == txtest::ReadFileBytes(dir / "here.wav"));
}

}  // namespace
