// `trovamix-cli midi`, run as the built program: exit statuses, the one line of
// error output, and the file written only on success.
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

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliMidi : public ::testing::Test {
protected:
    struct Run {
        int Status = -1;
        std::string Err;
    };
    Run run(const std::vector<std::string>& args) {
        std::string cmd = quote(std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli") + " midi";
        for (const auto& a : args) cmd += " " + quote(a);
        const fs::path err = dir / "stderr.txt";
        cmd += " </dev/null >/dev/null 2>" + quote(err.string());
        const int raw = std::system(cmd.c_str());
        Run r;
        r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream f(err);
        std::stringstream ss;
        ss << f.rdbuf();
        r.Err = ss.str();
        fs::remove(err);
        return r;
    }
    static void expectOneLineNaming(const Run& r, const std::string& name) {
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_NE(r.Err.find(name), std::string::npos) << r.Err;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // Channel 0 plays key 36 on step 0 of pattern 1 and step 4 of pattern 2, at 120 BPM.
    std::string writeLoop() {
        tx::TLoop loop;
        tx::TChannel& c = loop.Channel(0);
        c.MidiNote = 36;
        c.MidiChannel = 9;
        c.Pattern(1).SetStep(0, true);
        c.Pattern(2).SetStep(4, true);
        loop.Tempo = 120;
        EXPECT_EQ(tx::WriteLoop(path("l.txp"), loop), "");
        return path("l.txp");
    }
    // Ticks of the note-ons in a file whose track has only 3-byte events after the tempo.
    static std::vector<uint32_t> noteOnTicks(const Bytes& f) {
        std::vector<uint32_t> ticks;
        uint32_t tick = 0;
        for (size_t p = 22 + 7; p + 4 <= f.size();) {
            uint32_t d = 0;
            while (f[p] & 0x80) d = (d << 7) | (f[p++] & 0x7F);
            d = (d << 7) | f[p++];
            tick += d;
            if (f[p] == 0x99) ticks.push_back(tick);
            p += 3;
        }
        return ticks;
    }

    txtest::TempDir dir;
};

TEST_F(CliMidi, SongAndPatternExport) {
    std::string loop = writeLoop();
    Run r = run({loop, "-o", path("song.mid")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    Bytes song = txtest::ReadFileBytes(dir / "song.mid");
    ASSERT_GT(song.size(), 29u);
    EXPECT_EQ(Bytes(song.begin(), song.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));
    EXPECT_EQ(Bytes(song.begin() + 26, song.begin() + 29), (Bytes{0x07, 0xA1, 0x20}));  // 500000 us
    EXPECT_EQ(noteOnTicks(song), (std::vector<uint32_t>{0, 480 + 120}));

    r = run({"--pattern", loop, "--output=" + path("pattern.mid")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(noteOnTicks(txtest::ReadFileBytes(dir / "pattern.mid")), (std::vector<uint32_t>{0}));
}

TEST_F(CliMidi, AMissingLoopIs1AndWritesNothing) {
    Run r = run({path("none.txp"), "-o", path("out.mid")});
    EXPECT_EQ(r.Status, 1);
    expectOneLineNaming(r, "none.txp");
    EXPECT_FALSE(fs::exists(dir / "out.mid"));
}

TEST_F(CliMidi, NotALoopIs2AndLeavesAnOldOutputAlone) {
    txtest::WriteFileBytes(dir / "bad.txp", Bytes{'R', 'I', 'F', 'F', 1, 2, 3});
    txtest::WriteFileBytes(dir / "out.mid", Bytes{42});
    Run r = run({path("bad.txp"), "-o", path("out.mid")});
    EXPECT_EQ(r.Status, 2);
    expectOneLineNaming(r, "bad.txp");
    EXPECT_EQ(txtest::ReadFileBytes(dir / "out.mid"), Bytes{42});
}

TEST_F(CliMidi, AnUnwritableOutputIs1NamingIt) {
    std::string loop = writeLoop();
    Run r = run({loop, "-o", path("no/such/folder/out.mid")});
    EXPECT_EQ(r.Status, 1);
    expectOneLineNaming(r, "out.mid");
}

class CliMidiUsage : public CliMidi, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(CliMidiUsage, IsRefusedWith64) {
    std::string loop = writeLoop();
    std::vector<std::string> args;
    for (const std::string& a : GetParam()) args.push_back(a == "LOOP" ? loop : a == "OUT" ? path("o.mid") : a);
    Run r = run(args);
    EXPECT_EQ(r.Status, 64) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_FALSE(fs::exists(dir / "o.mid"));
}

INSTANTIATE_TEST_SUITE_P(BadArguments, CliMidiUsage,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"LOOP"},
                                           std::vector<std::string>{"LOOP", "-o"},
                                           std::vector<std::string>{"-o", "OUT"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "--song"},
                                           std::vector<std::string>{"LOOP", "LOOP", "-o", "OUT"},
                                           std::vector<std::string>{"LOOP", "-o", "OUT", "-o", "OUT"}));

}  // namespace

namespace {

TEST(CliPlayMidiOptions, NeedAPortName) {
    txtest::TempDir dir;
    tx::TLoop loop;
    ASSERT_EQ(tx::WriteLoop((dir / "l.txp").string(), loop), "");
    for (std::string opts : {"--midi-out", "--sync-in", "--midi-out=", "--sync-in="}) {
        std::string cmd = std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli play '" + (dir / "l.txp").string() +
                          "' --api null " + opts + " </dev/null >/dev/null 2>'" + (dir / "err").string() + "'";
        int raw = std::system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 64) << opts;
        std::ifstream f(dir / "err");
        std::stringstream ss;
        ss << f.rdbuf();
        std::string err = ss.str();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("bad usage: " + opts.substr(0, opts.find('=')) + " needs a"), std::string::npos) << err;
    }
}

}  // namespace
