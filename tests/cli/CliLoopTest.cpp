// `trovamix-cli info` and `resave`, run as the built program: the JSON they
// print, their exit statuses and their one line of error output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "LoopBytes.h"
#include "TestSupport.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

struct RunResult {
    int Status = -1;
    std::string Out, Err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class CliLoop : public testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& args) {
        std::string cmd = Quote(std::string(TROVAMIX_BINARY_DIR) + "/trovamix-cli");
        for (const auto& a : args) cmd += " " + Quote(a);
        const auto out = dir_ / "stdout", err = dir_ / "stderr";
        cmd += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
        const int raw = std::system(cmd.c_str());
        RunResult r;
        r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.Out = Slurp(out);
        r.Err = Slurp(err);
        return r;
    }
    std::string Write(const std::string& name, const Bytes& bytes) {
        const auto p = dir_ / name;
        txtest::WriteFileBytes(p, bytes);
        return p.string();
    }
    std::string Write(const std::string& name, tx::TLoop& loop) { return Write(name, tx::BuildLoopFile(loop)); }
    // Exactly one line on stderr, naming the file.
    static void ExpectOneLineNaming(const RunResult& r, const std::string& name) {
        ASSERT_FALSE(r.Err.empty());
        EXPECT_EQ(r.Err.back(), '\n');
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_NE(r.Err.find(name), std::string::npos) << r.Err;
        EXPECT_TRUE(r.Out.empty()) << r.Out;
    }
    txtest::TempDir dir_;
};

TEST_F(CliLoop, InfoPrintsTheLoopAsJson) {
    tx::TLoop loop;
    loop.Tempo = 125;
    loop.CurrentPattern = 3;
    loop.SongMode = true;
    loop.Shuffle = 12;
    loop.MainVolume = 100;
    loop.MainPitch = -100;
    loop.MainResonance = 900;
    loop.MainCutOff = 800;
    loop.SongLoopPosition = 1;
    loop.Title = "My \"loop\"";
    loop.URL = "http://u";
    loop.ShowInfo = true;
    loop.AddChannel();
    tx::TChannel& c = loop.Channel(4);
    loop.SetChannelName(4, "Bass");
    c.SampleFileName = "\\bass.wav";
    c.Color = tx::TColor{1, 2, 3};
    c.ControllerTable[10] = 64;
    c.RandomWith = {4, 1};
    c.Enabled = false;
    c.RevStereo = true;
    c.Sample.CutGroup = 5;
    c.DelayPan = 100;
    c.Pattern(7).StepMask = 0x8001;
    c.Pattern(7).StepNote()[15] = 72;
    loop.SetMinimized(2, true);
    loop.SetPatternAt(7, 0, true);
    loop.SetPatternAt(2, 0, true);
    loop.SetPatternAt(9, 10, true);
    const std::string file = Write("small.txp", loop);

    const RunResult r = Run({"info", file});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Err.empty()) << r.Err;
    const json j = json::parse(r.Out);

    std::set<std::string> top;
    for (auto it = j.begin(); it != j.end(); ++it) top.insert(it.key());
    EXPECT_EQ(top, (std::set<std::string>{"LoadedVersion", "Tempo", "CurrentPattern", "SongMode", "Shuffle",
                                          "MainVolume", "MainPitch", "MainResonance", "MainCutOff", "SongLoopPosition",
                                          "Title", "URL", "ShowInfo", "Channels", "PlayList"}));
    EXPECT_EQ(j["LoadedVersion"], 1003072);
    EXPECT_EQ(j["Tempo"], 125);
    EXPECT_EQ(j["CurrentPattern"], 3);
    EXPECT_EQ(j["SongMode"], true);
    EXPECT_EQ(j["Shuffle"], 12);
    EXPECT_EQ(j["MainVolume"], 100);
    EXPECT_EQ(j["MainPitch"], -100);
    EXPECT_EQ(j["MainResonance"], 900);
    EXPECT_EQ(j["MainCutOff"], 800);
    EXPECT_EQ(j["SongLoopPosition"], 1);
    EXPECT_EQ(j["Title"], "My \"loop\"");
    EXPECT_EQ(j["URL"], "http://u");
    EXPECT_EQ(j["ShowInfo"], true);
    EXPECT_EQ(j["PlayList"], json::parse(R"({"0":[7,2],"10":[9]})"));

    ASSERT_EQ(j["Channels"].size(), 5u);
    const json& ch = j["Channels"][4];
    std::set<std::string> keys;
    for (auto it = ch.begin(); it != ch.end(); ++it) keys.insert(it.key());
    EXPECT_EQ(keys, (std::set<std::string>{
                        "Name",          "SampleFileName", "Volume",        "Pan",         "MidiChannel",
                        "MidiNote",      "MidiPatch",      "MidiBank",      "Color",       "ControllerTable",
                        "DelayFeed",     "DelayPan",       "DelayPitch",    "DelayEchoes", "DelayTime",
                        "DelayReso",     "DelayCutOff",    "DelayShift",    "MixWith",     "RandomWith",
                        "FXFirst",       "FXSecondMix",    "FXSecondSine",  "CutOff",      "Resonance",
                        "Stretch",       "PreAmp",         "Decay",         "Attack",      "StereoDelay",
                        "FXThird",       "MiddleNote",     "Enabled",       "RevStereo",   "FadeLR",
                        "ReverseSample", "Pitchable",      "DelayShuffled", "Minimized",   "CutGroup",
                        "CutByGroup",    "Patterns"}));
    EXPECT_EQ(ch["Name"], "Bass");
    EXPECT_EQ(ch["SampleFileName"], "\\bass.wav");
    EXPECT_EQ(ch["Color"], json::parse("[1,2,3]"));
    ASSERT_EQ(ch["ControllerTable"].size(), 128u);
    EXPECT_EQ(ch["ControllerTable"][10], 64);
    EXPECT_EQ(ch["ControllerTable"][11], 255);
    EXPECT_EQ(ch["RandomWith"], json::parse("[4,1]"));
    EXPECT_EQ(ch["MixWith"], 4);
    EXPECT_EQ(ch["Enabled"], false);
    EXPECT_EQ(ch["RevStereo"], true);
    EXPECT_EQ(ch["Pitchable"], true);
    EXPECT_EQ(ch["CutGroup"], 5);
    EXPECT_EQ(ch["DelayPan"], 100);
    EXPECT_EQ(ch["Volume"], 100);
    EXPECT_EQ(ch["MidiNote"], 255);
    EXPECT_EQ(ch["StereoDelay"], 2048);
    ASSERT_EQ(ch["Patterns"].size(), 1u);
    const json& p = ch["Patterns"]["7"];
    EXPECT_EQ(p["StepMask"], 0x8001);
    EXPECT_EQ(p["StepNote"][15], 72);
    EXPECT_EQ(p["StepNote"][14], 60);
    EXPECT_EQ(p["StepPitch"], json(std::vector<int>(16, 120)));
    EXPECT_EQ(p["StepVolume"].size(), 16u);
    EXPECT_EQ(j["Channels"][2]["Minimized"], true);
    EXPECT_EQ(j["Channels"][0]["Patterns"], json::object());
    EXPECT_EQ(j["Channels"][0]["Name"], "");
    EXPECT_EQ(j["Channels"][0]["Color"], json::parse("[200,200,186]"));
}

// A pattern whose steps are all off but whose values differ from a reset
// record is listed; pattern 0 never is.
TEST_F(CliLoop, InfoListsPatternsThatDifferFromAResetRecord) {
    txtest::LoopBytes e;
    e.Word(65, 5).Step(72, 3, 50).Word(65, 0).Word(68, 1);
    const RunResult r = Run({"info", Write("steps.txp", e.File())});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const json j = json::parse(r.Out);
    const json& patterns = j["Channels"][0]["Patterns"];
    ASSERT_EQ(patterns.size(), 1u);
    EXPECT_EQ(patterns["5"]["StepMask"], 0);
    EXPECT_EQ(patterns["5"]["StepVolume"][3], 50);
    EXPECT_EQ(j["LoadedVersion"], 0);
    EXPECT_EQ(j["Tempo"], 140);  // the program's start value
}

TEST_F(CliLoop, InfoShowsUtf8AndDecodesOtherTextsAsWindows1252) {
    tx::TLoop loop;
    loop.SetChannelName(0, "Caf\xE9 \x80");              // Windows-1252 bytes
    loop.SetChannelName(1, "Caf\xC3\xA9 \xE2\x82\xAC");  // the same in UTF-8
    loop.Title = "\x93quoted\x94";
    loop.Channel(2).SampleFileName = "C:\\Samples\\b\xE4ss.wav";
    const RunResult r = Run({"info", Write("names.txp", loop)});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const json j = json::parse(r.Out);
    EXPECT_EQ(j["Channels"][0]["Name"], "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(j["Channels"][1]["Name"], "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(j["Title"], "\xE2\x80\x9Cquoted\xE2\x80\x9D");
    EXPECT_EQ(j["Channels"][2]["SampleFileName"], "C:\\Samples\\b\xC3\xA4ss.wav");
}

TEST_F(CliLoop, InfoOfTheShippedExample) {
    const RunResult r = Run({"info", std::string(TROVAMIX_TEST_DATA) + "/example.txp"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const json j = json::parse(r.Out);
    EXPECT_EQ(j["PlayList"].size(), 3u);
    EXPECT_EQ(j["Channels"][0]["Name"], "Kick");
}

TEST_F(CliLoop, MissingFileExits1) {
    const std::string file = (dir_ / "missing.txp").string();
    const RunResult r = Run({"info", file});
    EXPECT_EQ(r.Status, 1);
    ExpectOneLineNaming(r, file);
    EXPECT_NE(r.Err.find("No such file or directory"), std::string::npos) << r.Err;
}

TEST_F(CliLoop, WrongChunkIdsExit2) {
    Bytes b = txtest::LoopBytes().Byte(2, 1).File();
    b[14] = 'Y';
    const std::string file = Write("wrong.txp", b);
    const RunResult r = Run({"info", file});
    EXPECT_EQ(r.Status, 2);
    ExpectOneLineNaming(r, file);
    EXPECT_NE(r.Err.find("TXdt"), std::string::npos) << r.Err;
    const std::string notLoop = Write("text.txp", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const RunResult t = Run({"info", notLoop});
    EXPECT_EQ(t.Status, 2);
    ExpectOneLineNaming(t, notLoop);
}

TEST_F(CliLoop, TooManyChannelsExit2) {
    const std::string file = Write("many.txp", txtest::LoopBytes().Word(64, 4000).File());
    const RunResult r = Run({"info", file});
    EXPECT_EQ(r.Status, 2);
    ExpectOneLineNaming(r, file);
    EXPECT_NE(r.Err.find("channel 4000"), std::string::npos) << r.Err;
}

TEST_F(CliLoop, TruncatedFileIsReadAsFarAsItGoes) {
    Bytes b = txtest::LoopBytes().Byte(2, 33).Word(66, 7).File();
    b.pop_back();
    const RunResult r = Run({"info", Write("cut.txp", b)});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const json j = json::parse(r.Out);
    EXPECT_EQ(j["Channels"][0]["Volume"], 33);
    EXPECT_EQ(j["Tempo"], 140);
}

struct UsageCase {
    std::vector<std::string> Args;
    const char* Named;
};
class CliUsage : public CliLoop, public testing::WithParamInterface<UsageCase> {};
TEST_P(CliUsage, BadUsageExits64WithOneLine) {
    const RunResult r = Run(GetParam().Args);
    EXPECT_EQ(r.Status, 64);
    ExpectOneLineNaming(r, GetParam().Named);
}
INSTANTIATE_TEST_SUITE_P(Arguments, CliUsage,
                         testing::Values(UsageCase{{"info"}, "info"}, UsageCase{{"info", "a.txp", "b.txp"}, "info"},
                                         UsageCase{{"resave", "a.txp"}, "resave"},
                                         UsageCase{{"resave", "a", "b", "c"}, "resave"},
                                         UsageCase{{}, "bad usage"}, UsageCase{{"frobnicate"}, "frobnicate"}));

TEST_F(CliLoop, HelpListsEveryCommandOnStdout) {
    const RunResult r = Run({"--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Err.empty());
    for (const char* c : {"info", "resave", "render", "midi", "play"})
        EXPECT_NE(r.Out.find(std::string("trovamix-cli ") + c + " "), std::string::npos) << c;
}

TEST_F(CliLoop, ResaveOfAWriterFileIsByteIdentical) {
    tx::TLoop loop;
    loop.AddChannel();
    loop.SetChannelName(1, "Caf\xE9");
    loop.InfoRich = std::string("{\\rtf1 x}\0", 10);
    loop.Channel(3).Pattern(12).StepMask = 0x00F0;
    loop.Channel(3).Pattern(12).StepMix()[5] = 20;
    loop.SetPatternAt(12, 4, true);
    const std::string in = Write("in.txp", loop);
    const std::string out = (dir_ / "out.txp").string();
    const RunResult r = Run({"resave", in, out});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(r.Err.empty());
    EXPECT_EQ(txtest::ReadFileBytes(out), txtest::ReadFileBytes(in));
    // in place as well
    ASSERT_EQ(Run({"resave", in, in}).Status, 0);
    EXPECT_EQ(txtest::ReadFileBytes(in), txtest::ReadFileBytes(out));
}

TEST_F(CliLoop, ResaveFailuresLeaveNoOutput) {
    tx::TLoop loop;
    const std::string in = Write("in.txp", loop);
    const std::string out = (dir_ / "no folder" / "out.txp").string();
    const RunResult w = Run({"resave", in, out});
    EXPECT_EQ(w.Status, 1);
    ExpectOneLineNaming(w, out);
    EXPECT_FALSE(std::filesystem::exists(out));

    Bytes bad = txtest::LoopBytes().File();
    bad[0] = 'x';
    const std::string badIn = Write("bad.txp", bad);
    const std::string out2 = (dir_ / "out2.txp").string();
    const RunResult b = Run({"resave", badIn, out2});
    EXPECT_EQ(b.Status, 2);
    ExpectOneLineNaming(b, badIn);
    EXPECT_FALSE(std::filesystem::exists(out2));
}

}  // namespace
