// `trovamix-cli render`, run as the built program: samples found beside the
// loop, the song/pattern and remainder options, the program's default loop
// rendered exactly as the same render made in this process, the formats, the
// stems against renders with the other channels muted, and a batch against
// single renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

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

// Three channels on their own samples, each with its own steps and a cut of
// the second by the third; saved with every channel but `only` muted when
// `only` is given. The title is fixed, so every render's INFO chunk is the same.
std::string writeTrio(const fs::path& dir, const std::string& name, int only = -1) {
    txtest::WriteConstantWav16(dir / "a.wav", 3000, 9000, 1000);
    txtest::WriteConstantWav16(dir / "b.wav", 20000, -4000, 6000);
    txtest::WriteConstantWav16(dir / "c.wav", 700, 3000, -3000);
    tx::TLoop loop;
    const char* names[3] = {"Kick", "Pad/Long", "Hat"};
    for (int c = 0; c < 3; ++c) {
        tx::TChannel& ch = loop.Channel(c);
        ch.SampleFileName = std::string(1, char('a' + c)) + ".wav";
        ch.Name = names[c];
        ch.Pattern(1).StepMask = uint16_t(0x1111 << c);
        ch.Enabled = only < 0 || only == c;
    }
    loop.Channel(2).SampleFileName = "c.wav";
    loop.Title = "Trio";
    loop.Tempo = 160;
    EXPECT_EQ(tx::WriteLoop((dir / name).string(), loop), "");
    return (dir / name).string();
}

TEST_F(CliRender, FormatsByExtensionOrByNameAndNothingForAnUnknownOne) {
    const std::string loop = writeTrio(dir.path(), "trio.txp");
    struct {
        const char* Out;
        std::vector<std::string> Extra;
        std::string Magic;
    } cases[] = {{"t.flac", {}, "fLaC"},
                 {"t.ogg", {}, "OggS"},
                 {"t.opus", {}, "OggS"},
                 {"t.data", {"--format", "flac"}, "fLaC"}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", loop, "-o", path(c.Out)};
        args.insert(args.end(), c.Extra.begin(), c.Extra.end());
        const txtest::TCliResult r = txtest::RunCli(args);
        EXPECT_EQ(r.Status, 0) << c.Out << ": " << r.Err;
        const Bytes b = txtest::ReadFileBytes(dir / c.Out);
        EXPECT_EQ(std::string(b.begin(), b.begin() + std::min<size_t>(4, b.size())), c.Magic) << c.Out;
    }
    const txtest::TCliResult bad = txtest::RunCli({"render", loop, "-o", path("t.aiff")});
    EXPECT_EQ(bad.Status, 64);
    EXPECT_TRUE(txtest::OneErrorLine(bad, "the extension \".aiff\" names no format"));
    EXPECT_FALSE(fs::exists(dir / "t.aiff"));
}

TEST_F(CliRender, EachStemIsTheRenderWithTheOtherChannelsMuted) {
    const std::string loop = writeTrio(dir.path(), "trio.txp");
    const txtest::TCliResult r = txtest::RunCli({"render", loop, "--stems", path("stems"), "--remainder", "leave"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(dir / "stems")) files.insert(e.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"00 Mix.wav", "01 Kick.wav", "02 Pad_Long.wav", "03 Hat.wav"}));
    render(loop, "mix.wav", {"--remainder", "leave"});
    EXPECT_EQ(txtest::ReadFileBytes(dir / "stems" / "00 Mix.wav"), txtest::ReadFileBytes(dir / "mix.wav"));
    const char* stems[3] = {"01 Kick.wav", "02 Pad_Long.wav", "03 Hat.wav"};
    for (int c = 0; c < 3; ++c) {
        const std::string alone = writeTrio(dir.path(), "alone" + std::to_string(c) + ".txp", c);
        render(alone, "alone.wav", {"--remainder", "leave"});
        EXPECT_TRUE(txtest::ReadFileBytes(dir / "stems" / stems[c]) == txtest::ReadFileBytes(dir / "alone.wav"))
            << stems[c];
    }
}

// Four loops, one of them unreadable, on two workers: a line on stdout for
// each rendered loop, one failure line naming the bad one, exit status 1, and
// each file byte for byte the loop's render on its own.
TEST_F(CliRender, ABatchRendersEachLoopAsAloneAndNamesTheOneThatFailed) {
    std::vector<std::string> loops;
    for (int k = 0; k < 3; ++k) {
        loops.push_back(writeTrio(dir.path(), "loop" + std::to_string(k) + ".txp", k == 0 ? -1 : k));
    }
    txtest::WriteFileBytes(dir / "broken.txp", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'l', 'o', 'o', 'p'});
    loops.insert(loops.begin() + 1, path("broken.txp"));
    std::vector<std::string> args = {"render"};
    args.insert(args.end(), loops.begin(), loops.end());
    args.insert(args.end(), {"-o", path("out"), "-j", "2", "--format", "flac"});
    const txtest::TCliResult r = txtest::RunCli(args);
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(txtest::OneErrorLine({r.Status, "", r.Err}, "broken.txp: not rendered: ")) << r.Err;
    for (int k = 0; k < 3; ++k) {
        const std::string name = "loop" + std::to_string(k);
        EXPECT_NE(r.Out.find("rendered " + path(name + ".txp") + " to " + path("out/" + name + ".flac")),
                  std::string::npos)
            << r.Out;
        const txtest::TCliResult one = txtest::RunCli({"render", path(name + ".txp"), "-o", path(name + ".flac")});
        ASSERT_EQ(one.Status, 0) << one.Err;
        EXPECT_TRUE(txtest::ReadFileBytes(dir / "out" / (name + ".flac")) ==
                    txtest::ReadFileBytes(dir / (name + ".flac")))
            << name;
    }
    EXPECT_FALSE(fs::exists(dir / "out" / "broken.flac"));
}

TEST_F(CliRender, ABatchIntoAFolderThatCannotBeMadeWritesNothing) {
    const std::string a = writeTrio(dir.path(), "a.txp"), b = writeTrio(dir.path(), "b.txp");
    txtest::WriteFileBytes(dir / "plain", Bytes{'x'});
    const txtest::TCliResult r = txtest::RunCli({"render", a, b, "-o", path("plain/out")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(txtest::OneErrorLine(r, "plain/out: cannot be made a folder")) << r.Err;
    const txtest::TCliResult into = txtest::RunCli({"render", a, b, "-o", path("plain")});
    EXPECT_EQ(into.Status, 1);
    EXPECT_TRUE(txtest::OneErrorLine(into, "plain: cannot be made a folder")) << into.Err;
    EXPECT_EQ(txtest::ReadFileBytes(dir / "plain"), Bytes{'x'});
}

}  // namespace
