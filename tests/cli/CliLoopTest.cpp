// `trovamix-cli info` and `resave`, run as the built program: the JSON that
// info prints, and resave writing back what the writer wrote, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "CliRun.h"
#include "LoopBytes.h"
#include "loopfile/LoopFile.h"

namespace {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

class CliLoop : public testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        txtest::WriteFileBytes(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    std::string Write(const std::string& name, tx::TLoop& loop) { return Write(name, tx::BuildLoopFile(loop)); }
    // The JSON of a successful `info`.
    static json Info(const std::string& file) {
        const txtest::TCliResult r = txtest::RunCli({"info", file});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "");
        return json::parse(r.Out, nullptr, false);
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

    const json j = Info(file);

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
// record is listed; pattern 0 never is. A file cut short is read as far as it
// goes; what it never set keeps the program's start values.
TEST_F(CliLoop, InfoOfHandMadeFiles) {
    json j = Info(Write("steps.txp", txtest::LoopBytes().Word(65, 5).Step(72, 3, 50).Word(65, 0).Word(68, 1).File()));
    const json& patterns = j["Channels"][0]["Patterns"];
    ASSERT_EQ(patterns.size(), 1u);
    EXPECT_EQ(patterns["5"]["StepMask"], 0);
    EXPECT_EQ(patterns["5"]["StepVolume"][3], 50);
    EXPECT_EQ(j["LoadedVersion"], 0);
    EXPECT_EQ(j["Tempo"], 140);

    j = Info(std::string(TROVAMIX_TEST_DATA) + "/example.txp");
    EXPECT_EQ(j["PlayList"].size(), 3u);
    EXPECT_EQ(j["Channels"][0]["Name"], "Kick");
}

TEST_F(CliLoop, InfoShowsUtf8AndDecodesOtherTextsAsWindows1252) {
    tx::TLoop loop;
    loop.SetChannelName(0, "Caf\xE9 \x80");              // Windows-1252 bytes
    loop.SetChannelName(1, "Caf\xC3\xA9 \xE2\x82\xAC");  // the same in UTF-8
    loop.Title = "\x93quoted\x94";
    loop.Channel(2).SampleFileName = "C:\\Samples\\b\xE4ss.wav";
    const json j = Info(Write("names.txp", loop));
    EXPECT_EQ(j["Channels"][0]["Name"], "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(j["Channels"][1]["Name"], "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(j["Title"], "\xE2\x80\x9Cquoted\xE2\x80\x9D");
    EXPECT_EQ(j["Channels"][2]["SampleFileName"], "C:\\Samples\\b\xC3\xA4ss.wav");
}

// A loop read only in part still serves the reading commands, with one
// warning line naming the file and the byte where its events stopped.
class CliCutLoop : public CliLoop, public testing::WithParamInterface<std::vector<std::string>> {};
TEST_P(CliCutLoop, WarnsOnceAndGoesOn) {
    txtest::LoopBytes e;
    e.Byte(2, 33).Word(65, 1).Word(68, 1).Word(66, 7);
    Bytes cut = e.File();
    cut.pop_back();  // the tempo event at byte 30 loses its last byte
    const std::string file = Write("cut.txp", cut);
    std::vector<std::string> args = GetParam();
    for (std::string& a : args)
        if (a == "LOOP")
            a = file;
        else if (a == "OUT")
            a = (dir_ / "out").string();
    const txtest::TCliResult r = txtest::RunCli(args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    // play reports its progress on stderr too; the tool's own lines are counted
    const std::string warning = "trovamix-cli: " + file + ": warning: read only in part: event 66 at byte 30 ";
    EXPECT_EQ(r.Err.rfind(warning, 0), 0u) << r.Err;
    size_t lines = 0;
    for (size_t at = 0; (at = r.Err.find("trovamix-cli: ", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 1u) << r.Err;
    if (args[0] == "info") {
        const json j = json::parse(r.Out, nullptr, false);
        EXPECT_EQ(j["Channels"][0]["Volume"], 33);
        EXPECT_EQ(j["Tempo"], 140);
    }
}
INSTANTIATE_TEST_SUITE_P(Commands, CliCutLoop,
                         testing::Values(std::vector<std::string>{"info", "LOOP"},
                                         std::vector<std::string>{"render", "LOOP", "-o", "OUT", "--format", "wav"},
                                         std::vector<std::string>{"midi", "LOOP", "-o", "OUT"},
                                         std::vector<std::string>{"play", "LOOP", "--api", "null", "--seconds",
                                                                  "0.05"}),
                         [](const auto& i) { return i.param[0]; });

// A sample at a low rate is converted piece by piece straight into its
// final buffer, and two channels naming it share one copy: loading takes
// little more than the converted frames (a whole-sample temporary once took
// five times as much).
TEST_F(CliLoop, ALowRateSampleLoadsWithoutASecondCopy) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' shadow memory adds to the peak";
#endif
    // 8-bit mono at 100 Hz: 30000 bytes become 13230000 frames, 52.9 MB.
    Bytes wav{'R', 'I', 'F', 'F', 0x54, 0x75, 0x00, 0x00, 'W', 'A', 'V',  'E',  'f',  'm', 't',
              ' ', 16,  0,   0,   0,    1,    0,    1,    0,   100, 0,    0,    0,    100, 0,
              0,   0,   1,   0,   8,    0,    'd',  'a',  't', 'a', 0x30, 0x75, 0x00, 0x00};
    for (int i = 0; i < 30000; ++i) wav.push_back(uint8_t(128 + (i * 7) % 100 - 50));
    const std::string sample = Write("low.wav", wav);
    tx::TLoop loop;
    loop.Channel(0).SampleFileName = sample;
    loop.Channel(1).SampleFileName = sample;
    tx::TLoop none;
    const txtest::TCliResult empty = txtest::RunCli({"info", Write("empty.txp", none)});
    const txtest::TCliResult r = txtest::RunCli({"info", Write("low.txp", loop)});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(json::parse(r.Out)["Channels"][1]["SampleFileName"], sample);
    const double converted = 13230000.0 * 4;
    EXPECT_LT(double(r.MaxRssKb - empty.MaxRssKb) * 1024, 1.2 * converted)
        << r.MaxRssKb << " KB at the peak, " << empty.MaxRssKb << " KB without samples";
}

// A sample too large to convert is refused before it is decoded, with one
// warning naming it; its channel keeps the name and the command goes on.
TEST_F(CliLoop, ASampleOverTheLimitWarnsAndIsNotLoaded) {
    // 8-bit mono at 100 Hz: 310000 bytes would take 522 MB at 44100 Hz stereo.
    Bytes wav{'R', 'I', 'F', 'F', 0x14, 0xBB, 0x04, 0x00, 'W', 'A', 'V',  'E',  'f',  'm', 't',
              ' ', 16,  0,   0,   0,    1,    0,    1,    0,   100, 0,    0,    0,    100, 0,
              0,   0,   1,   0,   8,    0,    'd',  'a',  't', 'a', 0xF0, 0xBA, 0x04, 0x00};
    wav.resize(wav.size() + 310000, 0x80);
    const std::string sample = Write("huge.wav", wav);
    tx::TLoop loop;
    loop.Channel(1).SampleFileName = sample;
    const std::string file = Write("huge.txp", loop);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", file},
                                                 std::vector<std::string>{"render", file, "-o", sample + ".out.wav"}}) {
        const txtest::TCliResult r = txtest::RunCli(args);
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "trovamix-cli: " + sample +
                             ": warning: not loaded, its channel stays silent: it would take 522 MB once converted, "
                             "more than the 512 MB a sample may take here\n");
    }
    EXPECT_EQ(json::parse(txtest::RunCli({"info", file}).Out)["Channels"][1]["SampleFileName"], sample);
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
    const txtest::TCliResult r = txtest::RunCli({"resave", in, out});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(txtest::ReadFileBytes(out), txtest::ReadFileBytes(in));
    // in place as well
    ASSERT_EQ(txtest::RunCli({"resave", in, in}).Status, 0);
    EXPECT_EQ(txtest::ReadFileBytes(in), txtest::ReadFileBytes(out));
}

}  // namespace
