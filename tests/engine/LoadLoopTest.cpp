// Loading a loop as the program does: the new document replaces the old one
// only when it was read, and the engine follows it.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "Wav16.h"
#include "engine/LoadLoop.h"
#include "loopfile/LoopFile.h"

using namespace tx;

namespace {

class LoadLoop : public ::testing::Test {
protected:
    void SetUp() override {
        txtest::WriteConstantWav16(dir / "kick.wav", 2000, 3000, -3000);
        TLoop saved;
        saved.Tempo = 123;
        saved.MainCutOff = 500;
        saved.MainResonance = 300;
        saved.SongMode = true;
        saved.SetPatternAt(5, 0, true);
        saved.SetPatternAt(6, 0, true);
        saved.SetChannelName(0, "new");
        saved.Channel(0).SampleFileName = "kick.wav";
        saved.Channel(0).Pattern(5).SetStep(0, true);
        ASSERT_EQ(WriteLoop((dir / "song.txp").string(), saved), "");

        // What plays now: five channels, a sample, a bar, another tempo.
        TLoop& l = rig.loop;
        l.AddChannel();
        l.SetChannelName(0, "old");
        l.LoopFileName = "/old/place.txp";
        l.SetPatternAt(4, 3, true);
        txtest::FillConstant(l.Channel(1).Sample, 5000, 100, 100);
        l.Channel(1).Pattern(1).SetStep(0, true);
        rig.engine->SetTempo(99);
        rig.engine->Start();
        rig.Run(2);
        l.Modified = true;
    }
    void expectOldLoopUntouched() {
        const TLoop& l = rig.loop;
        EXPECT_EQ(l.ChannelCount(), 5);
        EXPECT_EQ(l.Channel(0).Name, "old");
        EXPECT_EQ(l.LoopFileName, "/old/place.txp");
        EXPECT_TRUE(l.PlayList.Contains(3, 4));
        EXPECT_EQ(l.Channel(1).Sample.Length, 5000);
        EXPECT_EQ(l.Tempo, 99);
        EXPECT_TRUE(l.Modified);
        EXPECT_EQ(rig.engine->StepLength, 661500 / 99);
        EXPECT_GT(rig.engine->VoiceCount, 0);  // still playing
    }

    txtest::TempDir dir;
    txtest::EngineRig rig;
};

TEST_F(LoadLoop, AppliesTheReadLoopToTheEngine) {
    const TLoopReadResult r = LoadLoopInto((dir / "song.txp").string(), rig.loop, *rig.engine);
    ASSERT_TRUE(r.Ok()) << r.Reason;
    EXPECT_FALSE(r.EndedEarly);
    const TLoop& l = rig.loop;
    const TEngine& e = *rig.engine;
    EXPECT_EQ(l.ChannelCount(), 4);
    EXPECT_EQ(l.Channel(0).Name, "new");
    EXPECT_EQ(l.Channel(0).Sample.Length, 2000);  // found beside the loop
    EXPECT_EQ(l.LoopFileName, (dir / "song.txp").string());
    EXPECT_FALSE(l.Modified);
    EXPECT_EQ(l.SongLength, 0);
    EXPECT_EQ(e.StepLength, 661500 / 123);
    EXPECT_NE(e.MasterFilter.Cutoff, 1.0f);
    EXPECT_NE(e.MasterFilter.Resonance, 0.0f);
    // Song mode from the file: position 0 with both of its patterns.
    EXPECT_TRUE(l.SongMode);
    EXPECT_EQ(e.SongPosition, 0);
    EXPECT_EQ(std::vector<int16_t>(e.MixPatterns.begin(), e.MixPatterns.end()), (std::vector<int16_t>{5, 6}));
    EXPECT_EQ(std::vector<int16_t>(l.PlayingPatterns.begin(), l.PlayingPatterns.end()), (std::vector<int16_t>{5, 6}));
    EXPECT_EQ(e.VoiceCount, 0);  // the old samples' voices went with them
}

TEST_F(LoadLoop, AForcedPlayModeWins) {
    TLoadLoopOptions o;
    o.SongMode = false;
    ASSERT_TRUE(LoadLoopInto((dir / "song.txp").string(), rig.loop, *rig.engine, o).Ok());
    EXPECT_FALSE(rig.loop.SongMode);
    EXPECT_EQ(rig.engine->SongPosition, -1);
}

TEST_F(LoadLoop, ATruncatedFileLoadsWhatItHasAndSaysWhere) {
    auto bytes = txtest::ReadFileBytes(dir / "song.txp");
    bytes.resize(bytes.size() - 3);
    txtest::WriteFileBytes(dir / "cut.txp", bytes);
    const TLoopReadResult r = LoadLoopInto((dir / "cut.txp").string(), rig.loop, *rig.engine);
    ASSERT_TRUE(r.Ok());
    EXPECT_TRUE(r.EndedEarly);
    EXPECT_FALSE(r.Reason.empty());
    EXPECT_EQ(rig.loop.Channel(0).Name, "new");
}

struct BadFile {
    const char* What;
    std::vector<unsigned char> Bytes;  // none: the file does not exist
    int Code;
};
class LoadLoopFails : public LoadLoop, public ::testing::WithParamInterface<BadFile> {};
TEST_P(LoadLoopFails, LeavesTheOldLoopAndEngineAlone) {
    const auto file = dir / "bad.txp";
    if (!GetParam().Bytes.empty()) txtest::WriteFileBytes(file, GetParam().Bytes);
    const TLoopReadResult r = LoadLoopInto(file.string(), rig.loop, *rig.engine);
    EXPECT_EQ(r.Code, GetParam().Code);
    EXPECT_FALSE(r.Reason.empty());
    expectOldLoopUntouched();
}
INSTANTIATE_TEST_SUITE_P(
    Cases, LoadLoopFails,
    ::testing::Values(BadFile{"missing", {}, 1}, BadFile{"notALoop", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'x'}, 2},
                      BadFile{"noDataChunk", {'T', 'X', 'h', 'd', 0, 0, 0, 0, 'T', 'X', 'x', 'x', 0, 0, 0, 0}, 2}),
    [](const auto& info) { return std::string(info.param.What); });

}  // namespace
