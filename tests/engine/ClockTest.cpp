// The sequencer clock and step triggering: step lengths, shuffle, mix-with,
// random-with, volume, pan, pitch, stretch, echoes, cuts, song mode and the
// MIDI/display tick. Voices are inspected in the pool right after the block
// that triggered them; expectations are computed by hand from the rules.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "EngineTestSupport.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillConstant;

namespace {

class Clock : public ::testing::Test {
protected:
    Clock() : rig(4032) {}
    EngineRig rig;
    TEngine& e = *rig.engine;
    TLoop& loop = rig.loop;

    void SetUp() override {
        // Distinct lengths so a voice tells which channel's sample it plays.
        for (int c = 0; c < loop.ChannelCount(); ++c) {
            TChannel& ch = loop.Channel(c);
            FillConstant(ch.Sample, 1000 + 100 * c, int16_t(1000 * (c + 1)), 0);
            ch.Pan = 0;  // with StepPan 64: note pan 0, so GainLeft is the note volume
        }
    }
    // Voices started by the steps inside the first block.
    void startAndTrigger() {
        e.Start();
        e.AdvanceClock();
    }
    std::vector<const TMixChan*> voicesOf(int channel) {
        std::vector<const TMixChan*> r;
        for (int i = 0; i < e.VoiceCount; ++i)
            if (e.Voices[size_t(i)].Sample == &loop.Channel(channel).Sample) r.push_back(&e.Voices[size_t(i)]);
        return r;
    }
};

// 65536 = unity: ((Volume x sv) shl 16) div 12700.
int32_t noteVolume(int32_t volume, int32_t sv) { return int32_t((int64_t(volume) * sv << 16) / 12700); }

// --- tempo, step length and shuffle

struct TempoCase {
    int bpm;
    int32_t stepLength;
};
class ClockTempo : public ::testing::TestWithParam<TempoCase> {};

TEST_P(ClockTempo, StepLengthIs661500DivTempo) {
    EngineRig rig;
    rig.engine->SetTempo(GetParam().bpm);
    EXPECT_EQ(rig.engine->StepLength, GetParam().stepLength);
}

INSTANTIATE_TEST_SUITE_P(Tempi, ClockTempo,
                         ::testing::Values(TempoCase{140, 4725}, TempoCase{500, 1323}, TempoCase{10, 66150},
                                           TempoCase{98, 6750}, TempoCase{9, 66150}, TempoCase{0, 66150},
                                           TempoCase{501, 1323}, TempoCase{-5, 66150}));

TEST_F(Clock, SetTempoTellsTheStepTimerAndTheLoop) {
    int interval = 0;
    e.SetLoopTimerInterval = [&](int ms) { interval = ms; };
    e.SetTempo(120);
    EXPECT_EQ(interval, 125);  // 15000 div 120
    EXPECT_EQ(loop.Tempo, 120);
}

TEST_F(Clock, AStepStartsEveryStepLengthFrames) {
    for (int s = 0; s < 16; ++s) rig.SetStep(0, 1, s);
    e.Start();
    e.AdvanceClock();  // block 0..4031: step 0 only (step 1 starts at 4725)
    ASSERT_EQ(voicesOf(0).size(), 1u);
    EXPECT_EQ(voicesOf(0)[0]->StartTime, 0);
    EXPECT_EQ(e.MixStep, 0);
    EXPECT_EQ(e.NextStepTime, 4725);
    rig.Run(1);
    e.AdvanceClock();  // 4032..8063: step 1
    EXPECT_EQ(e.MixStep, 1);
    ASSERT_EQ(voicesOf(0).size(), 1u);
    EXPECT_EQ(voicesOf(0)[0]->StartTime, 4725);
    rig.Run(1);  // the clock already advanced over this block: no step is triggered twice
    EXPECT_EQ(e.MixStep, 1);
    EXPECT_EQ(e.NextStepTime, 9450);
}

TEST_F(Clock, Shuffle128MovesOddStepsByHalfAStepAndEvenStepsNever) {
    loop.Shuffle = 128;
    // (128 x 4725) shr 8 = 2362
    EXPECT_EQ(e.ShuffleDelay(), 2362);
    for (int s = 0; s < 16; ++s) rig.SetStep(0, 1, s);
    loop.Channel(0).Sample.Length = 100;  // short, so no voice is cut by the next
    loop.Channel(0).Sample.PlayLength = 100;
    e.Start();
    std::vector<FrameTime> starts;
    for (int b = 0; b < 18; ++b) {  // 18 x 4032 covers steps 0..15 and ends before 16 x 4725
        e.AdvanceClock();
        for (int i = 0; i < e.VoiceCount; ++i) starts.push_back(e.Voices[size_t(i)].StartTime);
        e.ClearVoices();
        e.MixPosition += rig.lock.BlockFrames;
    }
    ASSERT_EQ(starts.size(), 16u);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(starts[size_t(s)], 4725 * s + (s % 2 ? 2362 : 0)) << s;
}

TEST_F(Clock, ShuffleOutOfRangeIsLimited) {
    loop.Shuffle = 1000;
    EXPECT_EQ(e.ShuffleDelay(), 2362);
    loop.Shuffle = -5;
    EXPECT_EQ(e.ShuffleDelay(), 0);
}

TEST_F(Clock, StartClockClearsVoicesAndStartsAtTheMixPosition) {
    FillConstant(loop.Channel(1).Sample, 100000, 1, 1);
    e.AddVoice(&loop.Channel(1).Sample, 0, 65536, 1.0f, 0.0f, 100000, 0, 0, 0);
    rig.Run(3);
    e.StartClock();
    EXPECT_EQ(e.VoiceCount, 0);
    EXPECT_EQ(e.NextStepTime, 3 * 4032);
    EXPECT_EQ(e.MixStep, -1);
    EXPECT_TRUE(e.Playing);
    e.SyncToInput = true;
    e.StartClock();
    EXPECT_EQ(e.NextStepTime, 2 * 4032);
}

TEST_F(Clock, NothingAdvancesWhileStopped) {
    rig.SetStep(0, 1, 0);
    rig.Run(2);
    EXPECT_EQ(e.MixStep, -1);
    EXPECT_EQ(e.VoiceCount, 0);
    EXPECT_EQ(e.MixPosition, 2 * 4032);
}

// --- volume, pan, delay shift

TEST_F(Clock, VolumePanAndDelayShiftOfANote) {
    TChannel& ch = loop.Channel(0);
    ch.Volume = 100;
    ch.Pan = 64;
    ch.DelayShift = 128;  // half a step late: (4725 x 128) shr 8 = 2362
    rig.SetStep(0, 1, 0, 127);
    ch.Pattern(1).StepPan()[0] = 0;  // pan = 0 + 64 - 64 = 0
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->StartTime, 2362);
    EXPECT_EQ(v[0]->GainLeft, 65536);  // 100 x 127 shl 16 div 12700 = unity
    EXPECT_EQ(v[0]->GainRight, 0);
    EXPECT_EQ(v[0]->TargetLength, 1000);
    EXPECT_TRUE(v[0]->Filter.IsOpen());
}

TEST_F(Clock, PanIsClampedAndOutOfRangeValuesAreLimited) {
    TChannel& ch = loop.Channel(0);
    ch.Pan = 127;
    rig.SetStep(0, 1, 0, 127);
    ch.Pattern(1).StepPan()[0] = 127;  // 127 + 127 - 64 -> 127
    ch.Volume = 100000;                // limited to 127
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->GainLeft, 0);
    EXPECT_EQ(v[0]->GainRight, noteVolume(127, 127));  // 83230
}

TEST_F(Clock, NegativeVolumeIsSilenceNotANegativeGain) {
    loop.Channel(0).Volume = -50;
    rig.SetStep(0, 1, 0, 127);
    startAndTrigger();
    ASSERT_EQ(voicesOf(0).size(), 1u);
    EXPECT_EQ(voicesOf(0)[0]->GainLeft, 0);
}

TEST_F(Clock, MutedChannelsDoNotTrigger) {
    loop.Channel(0).Enabled = false;
    rig.SetStep(0, 1, 0);
    startAndTrigger();
    EXPECT_EQ(e.VoiceCount, 0);
}

// --- mix-with

TEST_F(Clock, StepMix64SplitsTheVolumeWithTheMixChannel) {
    loop.Channel(0).MixWith = 2;
    rig.SetStep(0, 1, 0, 100);
    loop.Channel(0).Pattern(1).StepMix()[0] = 64;
    startAndTrigger();
    // w = 100 x 64 div 127 = 50; the rest 50 on the channel itself.
    ASSERT_EQ(voicesOf(2).size(), 1u);
    ASSERT_EQ(voicesOf(0).size(), 1u);
    EXPECT_EQ(voicesOf(2)[0]->GainLeft, noteVolume(100, 50));  // 25801
    EXPECT_EQ(voicesOf(0)[0]->GainLeft, noteVolume(100, 50));
    EXPECT_EQ(noteVolume(100, 50), 25801);
}

TEST_F(Clock, StepMix127PlaysOnlyTheOtherChannel) {
    loop.Channel(0).MixWith = 1;
    rig.SetStep(0, 1, 0, 90);
    loop.Channel(0).Pattern(1).StepMix()[0] = 127;
    startAndTrigger();
    EXPECT_EQ(voicesOf(0).size(), 0u);
    ASSERT_EQ(voicesOf(1).size(), 1u);
    EXPECT_EQ(voicesOf(1)[0]->GainLeft, noteVolume(100, 90));
}

TEST_F(Clock, AMixedInChannelUsesTheTickingChannelsStepValues) {
    loop.Channel(0).MixWith = 1;
    rig.SetStep(0, 1, 0, 127);
    auto& rec = loop.Channel(0).Pattern(1);
    rec.StepMix()[0] = 127;
    rec.StepNote()[0] = 72;  // channel 1's MiddleNote 60: an octave up
    loop.Channel(1).Pattern(1).StepNote()[0] = 60;
    startAndTrigger();
    ASSERT_EQ(voicesOf(1).size(), 1u);
    EXPECT_EQ(voicesOf(1)[0]->TargetLength, 1100 / 2);
}

TEST_F(Clock, AMixWithNamingNoChannelMeansTheChannelItself) {
    loop.Channel(0).MixWith = 99;
    loop.Channel(1).MixWith = -3;
    rig.SetStep(0, 1, 0, 100);
    rig.SetStep(1, 1, 0, 100);
    loop.Channel(0).Pattern(1).StepMix()[0] = 64;
    loop.Channel(1).Pattern(1).StepMix()[0] = 64;
    startAndTrigger();
    ASSERT_EQ(voicesOf(0).size(), 1u);
    ASSERT_EQ(voicesOf(1).size(), 1u);
    EXPECT_EQ(voicesOf(0)[0]->GainLeft, noteVolume(100, 100));
}

// --- random-with

TEST_F(Clock, RandomWithPicksEachOfThreeChannelsUniformly) {
    loop.Channel(0).RandomWith = {0, 1, 3};
    rig.SetStep(0, 1, 0);
    e.SeedRandom(12345);
    std::array<int, 4> hits{};
    const int trials = 3000;
    for (int t = 0; t < trials; ++t) {
        e.ClearVoices();
        e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
        ASSERT_EQ(e.VoiceCount, 1);
        for (int c = 0; c < 4; ++c)
            if (e.Voices[0].Sample == &loop.Channel(c).Sample) ++hits[size_t(c)];
    }
    EXPECT_EQ(hits[2], 0);
    EXPECT_EQ(hits[0] + hits[1] + hits[3], trials);
    // Each expected 1000, sd = sqrt(3000 x 1/3 x 2/3) = 25.8: allow 4 sd.
    for (int c : {0, 1, 3}) {
        EXPECT_GT(hits[size_t(c)], 1000 - 104) << c;
        EXPECT_LT(hits[size_t(c)], 1000 + 104) << c;
    }
}

TEST_F(Clock, RandomWithIsRepeatableWithTheSameSeed) {
    loop.Channel(0).RandomWith = {0, 1, 2, 3};
    auto run = [&] {
        e.SeedRandom(777);
        std::vector<const TWAVSample*> picks;
        for (int t = 0; t < 50; ++t) {
            e.ClearVoices();
            e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
            picks.push_back(e.Voices[0].Sample);
        }
        return picks;
    };
    EXPECT_EQ(run(), run());
}

TEST_F(Clock, RandomWithEntriesNamingNoChannelMeanTheChannelItself) {
    loop.Channel(2).RandomWith = {2, 40, -1};
    e.SeedRandom(1);
    for (int t = 0; t < 60; ++t) {
        e.ClearVoices();
        e.TriggerChannel(2, 127, loop.Channel(2).Pattern(1), 0, e.MixPosition);
        ASSERT_EQ(e.VoiceCount, 1);
        ASSERT_EQ(e.Voices[0].Sample, &loop.Channel(2).Sample);
    }
}

TEST_F(Clock, TheLightsOfTheChannelThatPlayedComeOnWhenItsStepIsHeard) {
    rig.SetStep(1, 1, 0);
    const FrameTime stepStart = e.MixPosition;
    startAndTrigger();
    TAudibleState shown;
    e.ShowAudible(stepStart - 1, shown);
    EXPECT_EQ(shown.Step, -1);
    EXPECT_EQ(loop.Channel(1).StepLight[0].load(), 0);
    EXPECT_TRUE(e.ShowAudible(stepStart, shown));
    EXPECT_EQ(shown.Step, 0);
    EXPECT_TRUE(shown.PatternPlays(1));
    EXPECT_EQ(loop.Channel(1).StepLight[0].load(), 288);
    EXPECT_EQ(loop.Channel(1).ActivityLight.load(), 320);
    EXPECT_EQ(loop.Channel(0).ActivityLight.load(), 0);
}

// --- pitch, stretch and filter

TEST_F(Clock, StepNoteAnOctaveUpHalvesTheLength) {
    loop.Channel(0).MiddleNote = 48;
    rig.SetStep(0, 1, 0);
    loop.Channel(0).Pattern(1).StepNote()[0] = 60;
    startAndTrigger();
    ASSERT_EQ(voicesOf(0).size(), 1u);
    EXPECT_EQ(voicesOf(0)[0]->TargetLength, 500);
}

TEST_F(Clock, PitchAddsMainPitchStepPitchAndKey) {
    // 100 (main) + (130 - 120) x 10 + (59 - 60) x 100 = 100 cents -> 1000 / 2^(1/12) = 943.87
    loop.MainPitch = 100;
    rig.SetStep(0, 1, 0);
    loop.Channel(0).Pattern(1).StepPitch()[0] = 130;
    loop.Channel(0).Pattern(1).StepNote()[0] = 59;
    startAndTrigger();
    EXPECT_EQ(voicesOf(0)[0]->TargetLength, 944);
    // Not pitchable: the main pitch is left out, +100 - 100 = 0 cents.
    e.ClearVoices();
    loop.Channel(0).Pitchable = false;
    e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
    EXPECT_EQ(e.Voices[0].TargetLength, 1000);
    // (50 - 120) x 10 - 100 = -800 cents: 1000 x 2^(8/12) = 1587.40
    e.ClearVoices();
    loop.Channel(0).Pattern(1).StepPitch()[0] = 50;
    e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
    EXPECT_EQ(e.Voices[0].TargetLength, 1587);
}

TEST_F(Clock, Stretch16LastsOnePatternAtAnyTempo) {
    loop.Channel(0).Stretch = 16;
    loop.MainPitch = 700;  // ignored
    for (int bpm : {140, 97, 10}) {
        e.SetTempo(bpm);
        e.ClearVoices();
        e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
        EXPECT_EQ(e.Voices[0].TargetLength, 16 * (661500 / bpm)) << bpm;
    }
}

TEST(ClockPitchLength, RoundsToNearestWithTiesToEven) {
    EXPECT_EQ(TEngine::PitchLength(1000, 0), 1000);
    EXPECT_EQ(TEngine::PitchLength(5, 1200), 2);  // 2.5
    EXPECT_EQ(TEngine::PitchLength(7, 1200), 4);  // 3.5
    EXPECT_EQ(TEngine::PitchLength(3, 1200), 2);  // 1.5
    EXPECT_EQ(TEngine::PitchLength(9, 2400), 2);  // 2.25
    EXPECT_EQ(TEngine::PitchLength(1000, -1200), 2000);
    EXPECT_EQ(TEngine::PitchLength(1000, 100), 944);    // 943.87
    EXPECT_EQ(TEngine::PitchLength(1000, -700), 1498);  // 1498.31
    EXPECT_EQ(TEngine::PitchLength(0, 500), 0);
    // Far below the 32-bit range it saturates instead of overflowing.
    EXPECT_EQ(TEngine::PitchLength(2000000000, -15100), INT32_MAX);
}

TEST_F(Clock, StepFilterValuesChooseThePath) {
    rig.SetStep(0, 1, 0);
    rig.SetStep(1, 1, 0);
    loop.Channel(1).Pattern(1).StepReso()[0] = 64;    // cos(64 pi / 256) = 0.7071
    loop.Channel(1).Pattern(1).StepCutoff()[0] = 64;  // 1 - cos(64 pi / 256) = 0.2929
    startAndTrigger();
    EXPECT_TRUE(voicesOf(0)[0]->Filter.IsOpen());
    const FilterState& f = voicesOf(1)[0]->Filter;
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FLOAT_EQ(f.Resonance, 0.70710678f);
    EXPECT_FLOAT_EQ(f.Cutoff, 0.29289322f);
}

// --- echoes

TEST_F(Clock, EchoesFollowTimeVolumePanAndPitch) {
    TChannel& ch = loop.Channel(0);
    ch.DelayFeed = 64;  // each echo half the previous
    ch.DelayEchoes = 3;
    ch.DelayTime = 48;    // three steps: (k x 4725 x 48) shr 4 = 14175 k
    ch.DelayPan = 148;    // +20 per echo
    ch.DelayPitch = 240;  // +1200 cents per echo
    rig.SetStep(0, 1, 0, 127);
    ch.Volume = 100;
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 4u);
    const std::array<int32_t, 4> vol = {65536, 32768, 16384, 8192};
    const std::array<int32_t, 4> len = {1000, 500, 250, 125};
    const std::array<int32_t, 4> pan = {0, 20, 40, 60};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k]->StartTime, FrameTime(14175 * k)) << k;
        EXPECT_EQ(v[k]->TargetLength, len[k]) << k;
        constexpr long double pi = 3.14159265358979323846264338327950288L;
        EXPECT_EQ(v[k]->GainLeft, int32_t(std::nearbyint(vol[k] * std::cos(pan[k] * pi / 254)))) << k;
    }
}

TEST_F(Clock, EchoVolumesNeverExceed16TimesUnity) {
    TChannel& ch = loop.Channel(0);
    ch.Volume = 127;
    ch.DelayFeed = 256;  // doubling: 83230, 166460, 332920, 665840, then 1048576
    ch.DelayEchoes = 9;
    ch.DelayTime = 0;
    rig.SetStep(0, 1, 0, 127);
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 10u);
    const std::array<int32_t, 5> first = {83230, 166460, 332920, 665840, 1048576};
    for (size_t k = 0; k < 10; ++k) EXPECT_EQ(v[k]->GainLeft, k < 5 ? first[k] : 1048576) << k;
}

TEST_F(Clock, NoFeedbackMeansNoEcho) {
    loop.Channel(0).DelayEchoes = 4;
    loop.Channel(0).DelayFeed = 0;
    rig.SetStep(0, 1, 0);
    startAndTrigger();
    EXPECT_EQ(voicesOf(0).size(), 1u);
}

TEST_F(Clock, HugeDelayEchoesIsLimitedToNine) {
    loop.Channel(0).DelayEchoes = INT_MAX;
    loop.Channel(0).DelayFeed = 100000;  // limited to 256
    loop.Channel(0).DelayTime = -7;      // limited to 0
    rig.SetStep(0, 1, 0);
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 10u);
    for (auto* x : v) EXPECT_EQ(x->StartTime, 0);
    loop.Channel(0).DelayEchoes = -1;
    e.ClearVoices();
    e.TriggerChannel(0, 127, loop.Channel(0).Pattern(1), 0, e.MixPosition);
    EXPECT_EQ(e.VoiceCount, 1);
}

TEST_F(Clock, EchoFilterMovesTowardsItsLimits) {
    TChannel& ch = loop.Channel(0);
    ch.DelayFeed = 128;
    ch.DelayEchoes = 2;
    ch.DelayReso = 64;     // r = 64 x r / 128: halves
    ch.DelayCutOff = 192;  // c = (256 - 192) x c / 128: halves
    rig.SetStep(0, 1, 0);
    ch.Pattern(1).StepReso()[0] = 64;    // 0.70711
    ch.Pattern(1).StepCutoff()[0] = 64;  // 0.29289
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_FLOAT_EQ(v[1]->Filter.Resonance, 0.35355339f);
    EXPECT_FLOAT_EQ(v[2]->Filter.Resonance, 0.1767767f);
    EXPECT_FLOAT_EQ(v[1]->Filter.Cutoff, 0.14644661f);
    EXPECT_FLOAT_EQ(v[2]->Filter.Cutoff, 0.073223305f);

    // The other direction: r = 1 - (1 - r) x (256 - d) / 128, c = 1 - (1 - c) x d / 128.
    e.ClearVoices();
    ch.DelayReso = 192;   // 1 - 0.29289 x 0.5 = 0.85355
    ch.DelayCutOff = 64;  // 1 - 0.70711 x 0.5 = 0.64645
    e.TriggerChannel(0, 127, ch.Pattern(1), 0, e.MixPosition);
    EXPECT_FLOAT_EQ(e.Voices[1].Filter.Resonance, 0.85355339f);
    EXPECT_FLOAT_EQ(e.Voices[1].Filter.Cutoff, 0.64644661f);
}

TEST_F(Clock, EchoGroupsMoveUpByOnePerEcho) {
    TChannel& ch = loop.Channel(0);
    ch.Sample.CutGroup = 2;
    ch.Sample.CutByGroup = 3;
    ch.DelayFeed = 128;
    ch.DelayEchoes = 2;
    ch.DelayTime = 16;
    rig.SetStep(0, 1, 0);
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0]->Group, 1536);
    EXPECT_EQ(v[1]->Group, 1537);
    EXPECT_EQ(v[2]->Group, 1538);
}

TEST_F(Clock, ShuffledEchoesFollowTheShuffleOfTheirStep) {
    TChannel& ch = loop.Channel(0);
    loop.Shuffle = 128;  // 2362
    ch.DelayFeed = 128;
    ch.DelayEchoes = 2;
    ch.DelayTime = 16;  // one step per echo
    ch.DelayShuffled = true;
    ch.DelayShift = 64;  // the note itself: +1181; shuffled echoes do not take it
    rig.SetStep(0, 1, 0);
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0]->StartTime, 1181);
    EXPECT_EQ(v[1]->StartTime, 4725 + 2362);  // step 0 + 1: odd
    EXPECT_EQ(v[2]->StartTime, 9450);         // even
    ch.DelayShuffled = false;
    e.ClearVoices();
    e.TriggerChannel(0, 127, ch.Pattern(1), 0, 0);
    EXPECT_EQ(e.Voices[1].StartTime, 1181 + 4725);
}

TEST_F(Clock, OutOfRangeLoopValuesAreLimitedWhereTheyAreUsed) {
    TChannel& ch = loop.Channel(0);
    loop.MainPitch = 99999;       // limited to 1200 cents
    ch.MiddleNote = 500;          // limited to 127
    ch.Sample.CutByGroup = 5000;  // limited to 99
    ch.DelayShift = 9999;         // limited to 256: a whole step late
    rig.SetStep(0, 1, 0);
    auto& rec = ch.Pattern(1);
    rec.StepPitch()[0] = 255;   // limited to 240: +1200 cents
    rec.StepNote()[0] = 127;    // 127 - 127: no transposition
    rec.StepVolume()[0] = 200;  // limited to 127
    startAndTrigger();
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->TargetLength, 250);  // 2400 cents: a quarter of 1000
    EXPECT_EQ(v[0]->Group, 99 * 512);
    EXPECT_EQ(v[0]->StartTime, 4725);
    EXPECT_EQ(v[0]->GainLeft, noteVolume(100, 127));

    e.ClearVoices();
    ch.Stretch = 1000;  // limited to 128 steps
    e.TriggerChannel(0, 127, rec, 0, 0);
    EXPECT_EQ(e.Voices[0].TargetLength, 128 * 4725);
}

// --- cuts

TEST_F(Clock, AChannelWithoutSampleDataStillCutsItsGroup) {
    TChannel& silent = loop.Channel(3);
    silent.Sample.ClearSampleData();
    silent.Sample.CutGroup = 5;
    loop.Channel(0).Sample.CutByGroup = 5;
    FillConstant(loop.Channel(0).Sample, 100000, 1000, 0);
    rig.SetStep(0, 1, 0);
    rig.SetStep(3, 1, 2);
    e.Start();
    rig.Run(2);
    e.AdvanceClock();  // 8064..12095: step 2 at 9450
    auto v = voicesOf(0);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0]->Length, 9450);
    EXPECT_EQ(loop.Channel(3).ActivityLight.load(), 0);  // nothing played
    auto out = rig.Run(1);
    EXPECT_EQ(txtest::LeftAt(out, 9449 - 8064), 1000);
    EXPECT_EQ(txtest::LeftAt(out, 9450 - 8064), 0);
    EXPECT_EQ(voicesOf(0).size(), 0u);
}

// --- song mode

class ClockSong : public Clock {
protected:
    void SetUp() override {
        Clock::SetUp();
        loop.SongMode = false;
        e.SetTempo(500);  // 1323 frames a step, 21168 a pattern
    }
    // The song position of each of the next n patterns to begin.
    std::vector<int> patternsPlayed(size_t patterns) {
        std::vector<int> r;
        for (int guard = 0; guard < 1000 && r.size() < patterns; ++guard) {
            const int lastStep = e.MixStep;
            e.MixBlock();  // a block holds three or four steps, never a pattern
            if (e.MixStep >= 0 && (lastStep < 0 || e.MixStep < lastStep)) r.push_back(e.SongPosition);
            e.ClearVoices();
        }
        return r;
    }
};

TEST_F(ClockSong, EmptyPlaylistWalksPatternsAndWrapsToTheLoopPosition) {
    // Patterns 1..3 hold steps, 4 is empty: positions 0, 1, 2, then SongLoopPosition 1.
    for (int p = 1; p <= 3; ++p) rig.SetStep(0, p, 0);
    loop.SongLoopPosition = 1;
    e.SetSongMode(true);
    e.Start();
    EXPECT_EQ(e.MixPatterns.First(), 1);
    auto pos = patternsPlayed(6);
    EXPECT_EQ(pos, (std::vector<int>{0, 1, 2, 1, 2, 1}));
}

TEST_F(ClockSong, PlaylistPositionsAreNormalisedAndPlayedLastToFirst) {
    loop.PlayList.SetPatternAt(5, 0, true);
    loop.PlayList.SetPatternAt(7, 0, true);
    loop.PlayList.SetPatternAt(9, 3, true);  // 1 and 2 empty: skipped
    rig.SetStep(0, 5, 0);
    rig.SetStep(1, 7, 0);
    rig.SetStep(2, 9, 0);
    e.SetSongMode(true);
    e.Start();
    e.AdvanceClock();
    // Position 0 plays 7 first (last entry), then 5.
    ASSERT_EQ(e.VoiceCount, 2);
    EXPECT_EQ(e.Voices[0].Sample, &loop.Channel(1).Sample);
    EXPECT_EQ(e.Voices[1].Sample, &loop.Channel(0).Sample);
    EXPECT_EQ(e.MixPattern, 5);
    e.ClearVoices();
    e.MixPosition += rig.lock.BlockFrames;
    auto pos = patternsPlayed(3);
    EXPECT_EQ(pos, (std::vector<int>{3, 0, 3}));
}

TEST_F(ClockSong, TheClockStopsAfterTheLastStepOfSongEnd) {
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    loop.PlayList.SetPatternAt(3, 2, true);
    e.SetSongMode(true);
    e.Start();
    e.SongEnd = 1;
    int steps = 0, lastStep = -1;
    for (int b = 0; b < 40 && e.Playing; ++b) {
        e.MixBlock();
        if (e.MixStep != lastStep) steps += (e.MixStep - lastStep + 16) % 16;
        lastStep = e.MixStep;
    }
    EXPECT_FALSE(e.Playing);
    EXPECT_EQ(e.SongPosition, 1);
    EXPECT_EQ(e.MixStep, 15);
    EXPECT_EQ(steps, 32);
}

TEST_F(ClockSong, SwitchingSongModeOnAndOff) {
    loop.CurrentPattern = 4;
    loop.PlayList.SetPatternAt(8, 0, true);
    FillConstant(loop.Channel(0).Sample, 100000, 1, 1);
    e.AddVoice(&loop.Channel(0).Sample, 0, 65536, 1.0f, 0.0f, 100000, 0, 0, 0);
    e.SetSongMode(true);
    EXPECT_EQ(e.VoiceCount, 0);
    EXPECT_EQ(e.SongPosition, 0);
    EXPECT_EQ(loop.SongPosition, 0);
    EXPECT_EQ(e.MixPatterns.First(), 8);
    EXPECT_EQ(loop.PlayingPatterns.First(), 8);
    EXPECT_EQ(e.MixStep, -1);
    EXPECT_EQ(e.CurrentStep, -1);
    e.SetSongMode(false);
    EXPECT_EQ(e.SongPosition, -1);
    EXPECT_EQ(loop.SongPosition, -1);
    EXPECT_EQ(e.MixPatterns.count, 1);
    EXPECT_EQ(e.MixPatterns.First(), 4);
}

TEST_F(ClockSong, JumpingToAPositionContinuesFromItsFirstStep) {
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 4, true);
    loop.PlayList.SetPatternAt(3, 4, true);
    e.SetSongMode(true);
    e.Start();
    rig.Run(3);
    rig.SetStep(2, 2, 0);
    e.JumpToSongPosition(2);  // normalised to 4
    EXPECT_EQ(e.SongPosition, 4);
    EXPECT_EQ(loop.SongPosition, 4);
    EXPECT_EQ(e.MixPatterns.count, 2);
    EXPECT_EQ(e.MixStep, -1);
    EXPECT_EQ(e.CurrentStep, -1);
    const FrameTime next = e.NextStepTime;
    e.AdvanceClock();
    const auto steps = int((e.NextStepTime - next) / e.StepLength);
    EXPECT_EQ(e.MixStep, steps - 1);
    EXPECT_EQ(e.SongPosition, 4);
    ASSERT_EQ(voicesOf(2).size(), 1u);  // step 0 of pattern 2 at the next step time
    EXPECT_EQ(voicesOf(2)[0]->StartTime, next);
}

TEST_F(ClockSong, ChoosingAPatternTakesEffectAtTheNextStep) {
    e.SetTempo(140);  // one step per block
    rig.SetStep(0, 1, 0);
    rig.SetStep(0, 1, 1);
    rig.SetStep(1, 2, 1);
    e.Start();
    e.AdvanceClock();
    ASSERT_EQ(e.VoiceCount, 1);
    e.ChoosePattern(2);
    EXPECT_EQ(loop.CurrentPattern, 2);
    EXPECT_EQ(loop.PlayingPatterns.First(), 2);
    e.ClearVoices();
    e.MixPosition += rig.lock.BlockFrames;
    e.AdvanceClock();  // step 1 at 1323..: in this block
    ASSERT_GE(e.VoiceCount, 1);
    EXPECT_EQ(e.Voices[0].Sample, &loop.Channel(1).Sample);
}

TEST_F(ClockSong, TransportStopGoesBackToTheFirstPosition) {
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    e.SetSongMode(true);
    e.Start();
    while (e.SongPosition == 0) rig.Run(1);
    e.Stop();
    EXPECT_FALSE(e.Playing);
    EXPECT_EQ(e.CurrentStep, -1);
    EXPECT_EQ(e.SongPosition, 0);
    EXPECT_EQ(loop.SongPosition, 0);
    e.Start();
    rig.Run(1);
    EXPECT_EQ(e.SongPosition, 0);
}

// --- the display and MIDI tick

class RecordingSink : public TMidiStepSink {
public:
    std::vector<int> patterns;
    void PlayMidiStep(int pattern) override { patterns.push_back(pattern); }
};

TEST_F(Clock, StepTickSendsMidiLastToFirstUnlessWavOnly) {
    RecordingSink sink;
    e.MidiSink = &sink;
    loop.PlayingPatterns.Clear();
    loop.PlayingPatterns.Push(3);
    loop.PlayingPatterns.Push(9);
    loop.PlayingPatterns.Push(4);
    e.UseWAVOnly = true;
    e.StepTick();
    EXPECT_TRUE(sink.patterns.empty());
    EXPECT_EQ(e.CurrentStep, 0);
    e.UseWAVOnly = false;
    e.StepTick();
    EXPECT_EQ(sink.patterns, (std::vector<int>{4, 9, 3}));
    EXPECT_EQ(e.CurrentStep, 1);
}

TEST_F(Clock, StartSendsMidiForWhatTheMixerPlaysInBothModes) {
    RecordingSink sink;
    e.MidiSink = &sink;
    e.SetUseWAVOnly(false);
    loop.PlayingPatterns.Assign(7);  // left over from an earlier loop
    loop.CurrentPattern = 5;         // as a freshly read loop sets it
    e.Start();
    e.StepTick();
    EXPECT_EQ(sink.patterns, (std::vector<int>{5}));
    e.Stop(true);

    loop.PlayList.SetPatternAt(3, 0, true);
    loop.PlayList.SetPatternAt(6, 0, true);
    loop.SongMode = true;  // read from the file, not switched on
    loop.SongPosition = -1;
    sink.patterns.clear();
    e.Start();
    e.StepTick();
    EXPECT_EQ(loop.SongPosition, 0);
    EXPECT_EQ(sink.patterns, (std::vector<int>{6, 3}));
}

TEST_F(Clock, StepTickPostsOneDisplayUpdateUntilTheDisplayAsksAgain) {
    int posted = 0;
    e.PostDisplayUpdate = [&] { ++posted; };
    e.StepTick();
    e.StepTick();
    EXPECT_EQ(posted, 1);
    e.DisplayUpdateFlag = true;  // the handler repainted
    e.StepTick();
    EXPECT_EQ(posted, 2);
}

TEST_F(Clock, StepTickMovesTheDisplayedSongPositionAfterStep15) {
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 2, true);
    e.SetSongMode(true);
    e.CurrentStep = 15;
    e.StepTick();
    EXPECT_EQ(e.CurrentStep, 0);
    EXPECT_EQ(loop.SongPosition, 2);
    EXPECT_EQ(loop.PlayingPatterns.First(), 2);
}

TEST_F(Clock, InWavOnlyModeTheMixerDrivesTheDisplayStep) {
    rig.SetStep(0, 1, 0);
    e.UseWAVOnly = true;
    e.Start();
    for (int b = 0; b < 5; ++b) {
        rig.Run(1);
        EXPECT_EQ(e.CurrentStep, e.MixStep);
    }
}

TEST_F(Clock, MidiOnlyStartEnablesTheStepTimerAndStopDisablesIt) {
    std::vector<bool> timer;
    e.EnableLoopTimer = [&](bool on) { timer.push_back(on); };
    e.SetUseWAVOnly(false);
    e.Start();
    EXPECT_TRUE(e.Playing);
    rig.Run(2);
    EXPECT_EQ(e.CurrentStep, -1);  // the timer ticks the display, not the mixer
    e.Stop();
    EXPECT_EQ(timer, (std::vector<bool>{true, false}));
    e.Start();
    e.SetUseWAVOnly(true);  // stops first
    EXPECT_FALSE(e.Playing);
    EXPECT_TRUE(e.UseWAVOnly);
}

TEST_F(Clock, SynchronisedStartGoesThroughTheMidiClockPath) {
    int syncStarts = 0;
    e.SyncStart = [&] { ++syncStarts; };
    e.SetUseWAVOnly(false);
    e.SyncToInput = true;
    e.Start();
    EXPECT_EQ(syncStarts, 1);
    EXPECT_FALSE(e.Playing);  // the hook decides
}

}  // namespace
