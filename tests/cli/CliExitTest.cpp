// How every command of trovamix-cli fails: the exit status (1 cannot open or
// write, 2 not a loop, 64 bad usage), exactly one line on stderr naming the
// file or the fault, and nothing written or changed in the folder.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "CliRun.h"
#include "LoopBytes.h"
#include "loopfile/LoopFile.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// Arguments may name the fixture's files: LOOP (a good loop), MISSING, JUNK
// (text), WRONGID (a TXdt chunk misnamed), MANY (channel 4000), CUT (its
// last event cut off), BADHDR, OLD
// (an existing output), OUT (an output not there yet), NODIR/... (in a folder
// that does not exist).
struct TExitCase {
    const char* Name;
    std::vector<std::string> Args;
    int Status;
    const char* Says;
};
void PrintTo(const TExitCase& c, std::ostream* os) { *os << c.Name; }

class CliExit : public ::testing::TestWithParam<TExitCase> {
protected:
    void SetUp() override {
        tx::TLoop loop;
        loop.Channel(0).Pattern(1).SetStep(0, true);
        ASSERT_EQ(tx::WriteLoop((dir / "loop.txp").string(), loop), "");
        txtest::WriteFileBytes(dir / "junk.txp", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
        Bytes wrong = txtest::LoopBytes().Byte(2, 1).File();
        wrong[14] = 'Y';
        txtest::WriteFileBytes(dir / "wrongid.txp", wrong);
        txtest::WriteFileBytes(dir / "many.txp", txtest::LoopBytes().Word(64, 4000).File());
        Bytes cut = tx::BuildLoopFile(loop);
        cut.erase(cut.end() - 3, cut.end());  // its last event cut off
        txtest::WriteFileBytes(dir / "cut.txp", cut);
        Bytes bad = txtest::LoopBytes().File();
        bad[0] = 'x';
        txtest::WriteFileBytes(dir / "bad.txp", bad);
        txtest::WriteFileBytes(dir / "old.out", Old);
    }
    std::string expand(const std::string& a) const {
        static const std::map<std::string, std::string> files = {
            {"LOOP", "loop.txp"},       {"MISSING", "missing.txp"}, {"JUNK", "junk.txp"},
            {"WRONGID", "wrongid.txp"}, {"MANY", "many.txp"},       {"BADHDR", "bad.txp"},
            {"OLD", "old.out"},         {"OUT", "out.new"},         {"CUT", "cut.txp"}};
        if (auto it = files.find(a); it != files.end()) return (dir / it->second).string();
        if (a.rfind("NODIR/", 0) == 0) return (dir / "no folder" / a.substr(6)).string();
        return a;
    }
    std::set<std::string> names() const {
        std::set<std::string> n;
        for (const auto& e : fs::directory_iterator(dir.path())) n.insert(e.path().filename().string());
        return n;
    }
    static inline const Bytes Old = {'o', 'l', 'd'};
    txtest::TempDir dir;
};

TEST_P(CliExit, FailsWithItsStatusAndOneLineAndWritesNothing) {
    std::vector<std::string> args;
    for (const std::string& a : GetParam().Args) args.push_back(expand(a));
    const std::set<std::string> before = names();
    const txtest::TCliResult r = txtest::RunCli(args);
    EXPECT_EQ(r.Status, GetParam().Status) << r.Err;
    EXPECT_TRUE(txtest::OneErrorLine(r, expand(GetParam().Says)));
    EXPECT_EQ(names(), before) << "a file was written or left behind";
    EXPECT_EQ(txtest::ReadFileBytes(dir / "old.out"), Old);
}

constexpr const char* Buffer = "--buffer must be a number of frames from 1 to 441000";

INSTANTIATE_TEST_SUITE_P(
    Commands, CliExit,
    ::testing::Values(
        TExitCase{"NoCommand", {}, 64, "bad usage: no command given"},
        TExitCase{"UnknownCommand", {"frobnicate"}, 64, "frobnicate: bad usage: unknown command"},
        // info and resave
        TExitCase{"InfoMissing", {"info", "MISSING"}, 1, "missing.txp: cannot be opened: No such file or directory"},
        TExitCase{"InfoText", {"info", "JUNK"}, 2, "junk.txp: "},
        TExitCase{"InfoWrongChunkId", {"info", "WRONGID"}, 2, "TXdt"},
        TExitCase{"InfoNoFile", {"info"}, 64, "info: bad usage"},
        TExitCase{"InfoTwoFiles", {"info", "LOOP", "LOOP"}, 64, "info: bad usage"},
        TExitCase{"ResaveOneFile", {"resave", "LOOP"}, 64, "resave: bad usage"},
        TExitCase{"ResaveThreeFiles", {"resave", "LOOP", "OUT", "OUT"}, 64, "resave: bad usage"},
        TExitCase{"ResaveBadHeader", {"resave", "BADHDR", "OUT"}, 2, "bad.txp: "},
        TExitCase{"ResaveUnwritable", {"resave", "LOOP", "NODIR/out.txp"}, 1, "NODIR/out.txp"},
        // a loop read only in part is never saved, not even over itself
        TExitCase{
            "ResaveCutOverOld", {"resave", "CUT", "OLD"}, 2, "cut.txp: not saved, it was read only in part: event "},
        TExitCase{"ResaveCutNew", {"resave", "CUT", "OUT"}, 2, "cut.txp: not saved"},
        TExitCase{"ResaveChannel4000", {"resave", "MANY", "OLD"}, 2, "selects channel 4000"},
        // render
        TExitCase{"RenderMissing", {"render", "MISSING", "-o", "OUT"}, 1, "missing.txp: "},
        TExitCase{"RenderText", {"render", "JUNK", "-o", "OLD"}, 2, "junk.txp: "},
        TExitCase{"RenderUnwritable", {"render", "LOOP", "-o", "NODIR/out.wav"}, 1, "NODIR/out.wav"},
        TExitCase{"RenderNothing", {"render"}, 64, "render: bad usage: no loop file"},
        TExitCase{"RenderNoOutput", {"render", "LOOP"}, 64, "render: bad usage: no output file"},
        TExitCase{"RenderOWithoutName", {"render", "LOOP", "-o"}, 64, "-o needs a file or folder name"},
        TExitCase{"RenderNoLoop", {"render", "-o", "OUT"}, 64, "bad usage: no loop file"},
        TExitCase{"RenderSongAndPattern", {"render", "LOOP", "-o", "OUT", "--song", "--pattern"}, 64, "exclude"},
        TExitCase{"RenderRemainderChop", {"render", "LOOP", "-o", "OUT", "--remainder", "chop"}, 64, "\"chop\""},
        TExitCase{"RenderRemainderNoValue", {"render", "LOOP", "-o", "OUT", "--remainder"}, 64, "--remainder needs"},
        TExitCase{"RenderBuffer0", {"render", "LOOP", "-o", "OUT", "--buffer", "0"}, 64, Buffer},
        TExitCase{"RenderBuffer12ab", {"render", "LOOP", "-o", "OUT", "--buffer=12ab"}, 64, Buffer},
        TExitCase{"RenderBufferHuge", {"render", "LOOP", "-o", "OUT", "--buffer", "99999999999"}, 64, Buffer},
        TExitCase{"RenderLoud", {"render", "LOOP", "-o", "OUT", "--loud"}, 64, "unknown option --loud"},
        TExitCase{"RenderTwoLoopsOneName", {"render", "LOOP", "LOOP", "-o", "OUT"}, 64, "would both write"},
        TExitCase{"RenderUnknownExtension", {"render", "LOOP", "-o", "OLD"}, 64, "\".out\" names no format"},
        TExitCase{"RenderUnknownFormat", {"render", "LOOP", "-o", "OUT", "--format", "aiff"}, 64, "\"aiff\""},
        TExitCase{"RenderStemsAndOutput", {"render", "LOOP", "--stems", "OUT", "-o", "OUT"}, 64, "exclude"},
        TExitCase{"RenderStemsTwoLoops", {"render", "LOOP", "LOOP", "--stems", "OUT"}, 64, "--stems takes one"},
        TExitCase{"RenderJobs0", {"render", "LOOP", "LOOP", "-o", "OUT", "-j", "0"}, 64, "-j must be a number"},
        // midi
        TExitCase{"MidiMissing", {"midi", "MISSING", "-o", "OUT"}, 1, "missing.txp: "},
        TExitCase{"MidiText", {"midi", "JUNK", "-o", "OLD"}, 2, "junk.txp: "},
        TExitCase{"MidiUnwritable", {"midi", "LOOP", "-o", "NODIR/out.mid"}, 1, "NODIR/out.mid"},
        TExitCase{"MidiNothing", {"midi"}, 64, "midi: bad usage: no loop file"},
        TExitCase{"MidiNoOutput", {"midi", "LOOP"}, 64, "midi: bad usage: no output file"},
        TExitCase{"MidiOWithoutName", {"midi", "LOOP", "-o"}, 64, "-o needs a file name"},
        TExitCase{"MidiOutputEmpty", {"midi", "LOOP", "--output="}, 64, "-o needs a file name"},
        TExitCase{"MidiSong", {"midi", "LOOP", "-o", "OUT", "--song"}, 64, "unknown option --song"},
        TExitCase{"MidiTwoLoops", {"midi", "LOOP", "LOOP", "-o", "OUT"}, 64, "more than one loop file"},
        TExitCase{"MidiTwoOutputs", {"midi", "LOOP", "-o", "OUT", "-o", "OUT"}, 64, "more than one output file"},
        // play
        TExitCase{"PlayMissing", {"play", "MISSING", "--api", "null", "--seconds", "0.1"}, 1, "missing.txp: "},
        TExitCase{"PlayNoSuchDevice",
                  {"play", "LOOP", "--api", "null", "--device", "Speakers", "--seconds", "0.1"},
                  1,
                  "no Null output named \"Speakers\""},
        TExitCase{"PlayNothing", {"play"}, 64, "play: bad usage: no loop file"},
        TExitCase{"PlayLoud", {"play", "LOOP", "--loud"}, 64, "play: bad usage: unknown option --loud"},
        TExitCase{"PlayApiOss", {"play", "LOOP", "--api", "oss"}, 64, "--api must be jack, pulse, alsa or null"},
        TExitCase{"PlayBuffer0", {"play", "LOOP", "--buffer", "0"}, 64, "--buffer must be a number of frames"},
        TExitCase{"PlayAhead12x", {"play", "LOOP", "--ahead=12x"}, 64, "--ahead must be a number of frames"},
        TExitCase{"PlaySecondsNegative", {"play", "LOOP", "--seconds", "-1"}, 64, "--seconds must be a number"},
        TExitCase{"PlaySecondsNoValue", {"play", "LOOP", "--seconds"}, 64, "--seconds needs a value"},
        TExitCase{"PlayTwoLoops", {"play", "LOOP", "LOOP"}, 64, "more than one loop file"},
        TExitCase{"PlayMidiOutNoValue", {"play", "LOOP", "--api", "null", "--midi-out"}, 64, "--midi-out needs a"},
        TExitCase{"PlaySyncInEmpty", {"play", "LOOP", "--api", "null", "--sync-in="}, 64, "--sync-in needs a"}));

TEST(CliHelp, ListsEveryCommandOnStdout) {
    const txtest::TCliResult r = txtest::RunCli({"--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    for (const char* c : {"info", "resave", "render", "midi", "play", "style"})
        EXPECT_NE(r.Out.find(std::string("trovamix-cli ") + c + " "), std::string::npos) << c;
}

// Each command answers --help, wherever it stands, with its own usage and
// does nothing else; the README lists the same commands.
TEST(CliHelp, EveryCommandHasItsOwnHelp) {
    const std::string readme = txtest::ReadFileText(std::string(TROVAMIX_SOURCE_DIR) + "/README.md");
    for (const char* c : {"info", "resave", "render", "midi", "play", "style"}) {
        for (std::vector<std::string> args : {std::vector<std::string>{c, "--help"}, {c, "x.txp", "-h"}}) {
            const txtest::TCliResult r = txtest::RunCli(args);
            EXPECT_EQ(r.Status, 0) << c << ": " << r.Err;
            EXPECT_EQ(r.Err, "") << c;
            EXPECT_EQ(r.Out.rfind(std::string("usage: trovamix-cli ") + c + " ", 0), 0u) << r.Out;
        }
        EXPECT_NE(readme.find(std::string("trovamix-cli ") + c + " "), std::string::npos)
            << c << " is not in the README";
    }
    const txtest::TCliResult render = txtest::RunCli({"render", "--help"});
    for (const char* option : {"--format", "--stems", "-j", "--remainder", "--buffer", "--song"})
        EXPECT_NE(render.Out.find(option), std::string::npos) << option;
}

}  // namespace
