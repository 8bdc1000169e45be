// `trovamix-cli render`, run as the built program: exit statuses, the one
// line of error output, the output file existing only after success, the
// mode and remainder options, and samples found beside the loop.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
constexpr uint32_t PatternBytes140 = 16 * 4725 * 4;  // one pattern at 140 BPM

struct TRun {
    int Status = -1;
    std::string Err;
};

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

uint32_t le32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
int16_t leftAt(const Bytes& wav, size_t frame) { return int16_t(wav[46 + 4 * frame] | wav[47 + 4 * frame] << 8); }
int16_t rightAt(const Bytes& wav, size_t frame) { return int16_t(wav[48 + 4 * frame] | wav[49 + 4 * frame] << 8); }

// A plain 44100 Hz 16-bit stereo WAV of `frames` frames of (left, right).
Bytes makeWAV(uint32_t frames, int16_t left, int16_t right) {
    Bytes b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    auto tag = [&b](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
    };
    tag("RIFF");
    put(36 + frames * 4, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(44100, 4);
    put(176400, 4);
    put(4, 2);
    put(16, 2);
    tag("data");
    put(frames * 4, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        put(uint16_t(left), 2);
        put(uint16_t(right), 2);
    }
    return b;
}

class CliRender : public ::testing::Test {
protected:
    TRun run(const std::vector<std::string>& args) {
        std::string cmd = shellQuote(std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli") + " render";
        for (const auto& a : args) cmd += " " + shellQuote(a);
        const fs::path err = dir / "stderr.txt";
        cmd += " </dev/null >/dev/null 2>" + shellQuote(err.string());
        const int raw = std::system(cmd.c_str());
        TRun r;
        r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream f(err);
        std::stringstream ss;
        ss << f.rdbuf();
        r.Err = ss.str();
        fs::remove(err);
        return r;
    }
    static void expectOneLineNaming(const TRun& r, const std::string& name) {
        ASSERT_FALSE(r.Err.empty());
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_EQ(r.Err.back(), '\n');
        EXPECT_NE(r.Err.find(name), std::string::npos) << r.Err;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // A loop whose channel 0 plays "tone.wav" (stored with a foreign folder, so
    // it is found beside the loop) hard left on step 0 of each playlist bar.
    std::string writeToneLoop(const std::string& name, bool songMode, int bars) {
        txtest::WriteFileBytes(dir / "tone.wav", makeWAV(1000, 8000, 8000));
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
        EXPECT_EQ(tx::WriteLoop(path(name), loop), "");
        return path(name);
    }

    txtest::TempDir dir;
};

// ------------------------------------------------------------ usage

class CliRenderUsage : public CliRender, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CliRenderUsage, IsRefusedWith64AndWritesNothing) {
    std::string loop = writeToneLoop("l.txp", false, 1);
    std::vector<std::string> args;
    for (const std::string& a : GetParam()) args.push_back(a == "LOOP" ? loop : a == "OUT" ? path("out.wav") : a);
    TRun r = run(args);
    EXPECT_EQ(r.Status, 64) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

INSTANTIATE_TEST_SUITE_P(BadArguments, CliRenderUsage,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"LOOP"},
                                           std::vector<std::string>{"LOOP", "-o"},
                                           std::vector<std::string>{"-o", "OUT"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--song", "--pattern"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--remainder", "chop"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--remainder"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--buffer", "0"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--buffer", "12ab"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--buffer", "99999999999"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--loud"},
                                           std::vector<std::string>{"LOOP", "LOOP", "-o", "OUT"}));

// ------------------------------------------------------------ failures

TEST_F(CliRender, MissingLoopExits1AndNamesIt) {
    TRun r = run({path("nowhere.txp"), "-o", path("out.wav")});
    EXPECT_EQ(r.Status, 1);
    expectOneLineNaming(r, "nowhere.txp");
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST_F(CliRender, NotALoopExits2AndKeepsAnOldOutput) {
    txtest::WriteFileBytes(dir / "junk.txp", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
    txtest::WriteFileBytes(dir / "out.wav", Bytes{'o', 'l', 'd'});
    TRun r = run({path("junk.txp"), "-o", path("out.wav")});
    EXPECT_EQ(r.Status, 2);
    expectOneLineNaming(r, "junk.txp");
    EXPECT_EQ(txtest::ReadFileBytes(dir / "out.wav"), (Bytes{'o', 'l', 'd'}));
}

TEST_F(CliRender, UnwritableOutputExits1AndNamesIt) {
    std::string loop = writeToneLoop("l.txp", false, 1);
    std::string out = path("no-such-folder/out.wav");
    TRun r = run({loop, "-o", out});
    EXPECT_EQ(r.Status, 1);
    expectOneLineNaming(r, out);
    EXPECT_FALSE(fs::exists(out));
}

// ------------------------------------------------------------ rendering

TEST_F(CliRender, SampleBesideTheLoopIsFoundAndRenderedSilentlyOnStderr) {
    std::string loop = writeToneLoop("l.txp", false, 1);
    TRun r = run({loop, "-o", path("out.wav"), "--remainder", "cut"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "") << "no progress bar when stderr is not a terminal";
    Bytes w = txtest::ReadFileBytes(dir / "out.wav");
    ASSERT_EQ(le32(w, 42), PatternBytes140);
    EXPECT_EQ(le32(w, 4), w.size() - 8);
    EXPECT_EQ(leftAt(w, 0), 8000);
    EXPECT_EQ(rightAt(w, 0), 0);
    EXPECT_EQ(leftAt(w, 999), 8000);
    EXPECT_EQ(leftAt(w, 1000), 0);
    // the only file written is the output itself
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 3);  // loop, tone.wav, out.wav
}

struct ModeCase {
    bool loopSongMode;
    const char* option;  // "" for none
    uint32_t patterns;
};

class CliRenderMode : public CliRender, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(CliRenderMode, PatternsRendered) {
    std::string loop = writeToneLoop("l.txp", GetParam().loopSongMode, 3);
    std::vector<std::string> args = {loop, "-o", path("out.wav"), "--remainder", "cut"};
    if (*GetParam().option) args.push_back(GetParam().option);
    TRun r = run(args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    Bytes w = txtest::ReadFileBytes(dir / "out.wav");
    EXPECT_EQ(le32(w, 42), GetParam().patterns * PatternBytes140);
}

INSTANTIATE_TEST_SUITE_P(SongOrPattern, CliRenderMode,
                         ::testing::Values(ModeCase{true, "", 3}, ModeCase{false, "", 1},
                                           ModeCase{true, "--pattern", 1}, ModeCase{false, "--song", 3}));

TEST_F(CliRender, RemainderAndBufferOptions) {
    // A 10000-frame sample on the last step: leave extends to its end.
    txtest::WriteFileBytes(dir / "long.wav", makeWAV(10000, 3000, 3000));
    tx::TLoop loop;
    loop.Channel(0).SampleFileName = "long.wav";
    loop.Channel(0).Pattern(1).SetStep(15, true);
    ASSERT_EQ(tx::WriteLoop(path("long.txp"), loop), "");

    ASSERT_EQ(run({path("long.txp"), "-o", path("leave.wav"), "--remainder", "leave"}).Status, 0);
    EXPECT_EQ(le32(txtest::ReadFileBytes(dir / "leave.wav"), 42), (15u * 4725u + 10000u) * 4u);

    ASSERT_EQ(run({path("long.txp"), "-o", path("wrap.wav")}).Status, 0);  // the default: wrap
    Bytes wrap = txtest::ReadFileBytes(dir / "wrap.wav");
    EXPECT_EQ(le32(wrap, 42), PatternBytes140);
    EXPECT_NE(leftAt(wrap, 0), 0) << "the wrapped tail opens the file";

    ASSERT_EQ(run({path("long.txp"), "-o", path("cut.wav"), "--remainder=cut"}).Status, 0);
    ASSERT_EQ(run({path("long.txp"), "-o", path("cut576.wav"), "--remainder", "cut", "--buffer", "576"}).Status, 0);
    Bytes cut = txtest::ReadFileBytes(dir / "cut.wav");
    EXPECT_EQ(leftAt(cut, 0), 0);
    EXPECT_EQ(cut, txtest::ReadFileBytes(dir / "cut576.wav")) << "the block length must not change the sound";
}

// The program's own default loop and kit, as built beside the tool.
TEST_F(CliRender, DefaultLoopRendersAWholeSongWithoutClipping) {
    const std::string loop = std::string(TROVAMIX_BINARY_DIR) + "/Default/Default.txp";
    ASSERT_TRUE(fs::exists(loop));
    TRun r = run({loop, "-o", path("default.wav")});
    ASSERT_EQ(r.Status, 0) << r.Err;
    Bytes w = txtest::ReadFileBytes(dir / "default.wav");
    ASSERT_EQ(le32(w, 42), 8 * PatternBytes140);  // eight bars on the playlist
    int16_t peak = 0;
    int64_t sum = 0;
    for (size_t f = 0; f < 8 * 75600; ++f) {
        for (int16_t v : {leftAt(w, f), rightAt(w, f)}) {
            peak = std::max<int16_t>(peak, v == -32768 ? int16_t(32767) : int16_t(std::abs(v)));
            sum += std::abs(v);
        }
    }
    EXPECT_LT(peak, 32767) << "clipped";
    EXPECT_GT(peak, 16384) << "too quiet";
    EXPECT_GT(sum / (8 * 75600 * 2), 1000) << "mostly silent: samples not found?";
}

}  // namespace
