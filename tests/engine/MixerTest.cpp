// The voice mixer: gains, the integer and filtered paths, resampling, cuts,
// the pool limit, conversion to 16 bits and the scope feed. Expectations are
// worked out by hand from the mixing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/MixKernels.h"
#include "engine/MixVector.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillConstant;
using txtest::FillSample;
using txtest::LeftAt;
using txtest::RightAt;

namespace {

constexpr int32_t Unity = 65536;

class Mixer : public ::testing::Test {
protected:
    EngineRig rig;
    TEngine& e = *rig.engine;
    TWAVSample a, b;

    void addPlain(const TWAVSample& s, FrameTime start, int32_t volume, int32_t pan = 0, int32_t group = 0,
                  int32_t cutGroup = 0) {
        e.AddVoice(&s, start, volume, 1.0f, 0.0f, s.PlayLength, group, cutGroup, pan);
    }
};

// --- gains

struct GainCase {
    int32_t pan;
    int32_t left, right;
};

class MixerGains : public ::testing::TestWithParam<GainCase> {};

TEST_P(MixerGains, AreRoundedCosineAndSineOfPanOver254) {
    EngineRig rig;
    TWAVSample s;
    FillConstant(s, 10, 0, 0);
    // 65536 x cos(64 pi / 254) = 46053.48, 65536 x sin(64 pi / 254) = 46626.65
    rig.engine->AddVoice(&s, 0, Unity, 1.0f, 0.0f, 10, 0, 0, GetParam().pan);
    ASSERT_EQ(rig.engine->VoiceCount, 1);
    EXPECT_EQ(rig.engine->Voices[0].GainLeft, GetParam().left);
    EXPECT_EQ(rig.engine->Voices[0].GainRight, GetParam().right);
}

INSTANTIATE_TEST_SUITE_P(Pans, MixerGains,
                         ::testing::Values(GainCase{0, 65536, 0}, GainCase{64, 46053, 46627}, GainCase{127, 0, 65536}));

TEST(MixerGainsMiddle, AreAbout0703And0711NotHalf) {
    EngineRig rig;
    TWAVSample s;
    FillConstant(s, 10, 0, 0);
    rig.engine->AddVoice(&s, 0, 100000, 1.0f, 0.0f, 10, 0, 0, 64);
    // 100000 x cos(64 pi/254) = 70272.04, x sin = 71146.61
    EXPECT_EQ(rig.engine->Voices[0].GainLeft, 70272);
    EXPECT_EQ(rig.engine->Voices[0].GainRight, 71147);
}

// --- integer path

TEST_F(Mixer, UnityLeftSampleComesOutUnchangedAndRightSilent) {
    FillSample(
        a, 4, [](int32_t i) { return int16_t(i == 0   ? 32767
                                             : i == 1 ? -32768
                                                      : 1234 * i); },
        [](int32_t) { return int16_t(20000); });
    addPlain(a, 0, Unity, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 32767);
    EXPECT_EQ(LeftAt(out, 1), -32768);
    EXPECT_EQ(LeftAt(out, 2), 2468);
    EXPECT_EQ(LeftAt(out, 3), 3702);
    for (int f = 0; f < 576; ++f) ASSERT_EQ(RightAt(out, f), 0) << f;
    EXPECT_EQ(LeftAt(out, 4), 0);
}

TEST_F(Mixer, IntegerSumsTakeTheFloorOfTheHigh32Bits) {
    // Voice A: 1000 x 65536 x (128 x 65536) >> 32 = 128000.
    // Voice B at half volume: 1001 x 65536 x (128 x 32768) >> 32 = 64064.
    // Sum 192064 >> 7 = 1500 (1500.5 floored).
    FillConstant(a, 8, 1000, -1001);
    FillConstant(b, 8, 1001, 0);
    addPlain(a, 0, Unity, 0);
    addPlain(b, 0, 32768, 0);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 192064);
    // Right of A alone: -1001 x 128 = -128128 -> -1001.
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    EXPECT_EQ(LeftAt(out, 0), 1500);
    EXPECT_EQ(RightAt(out, 0), 0);  // pan 0: GainRight 0
}

TEST_F(Mixer, FloorRoundsNegativeValuesDown) {
    // -1001 at volume 32768: (-1001 x 65536 x 4194304) >> 32 = -64064 exactly; >> 7 = -500.5 -> -501.
    // 32767 at volume 1: 32767 x 65536 x 128 >> 32 = 63.998 -> 63.
    FillConstant(a, 4, -1001, 0);
    FillConstant(b, 4, 0, 0);
    addPlain(a, 0, 32768, 0);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], -64064);
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    EXPECT_EQ(LeftAt(out, 0), -501);

    TWAVSample c;
    FillConstant(c, 4, 32767, -32768);
    e.AddVoice(&c, e.MixPosition, 1, 1.0f, 0.0f, 4, 0, 0, 0);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 63);
    EXPECT_EQ(rig.lock.MixBuffer[1], 0);
}

TEST_F(Mixer, MainVolumeScalesTheGains) {
    FillConstant(a, 4, 1000, 1000);
    rig.loop.MainVolume = 64;  // half
    addPlain(a, 0, Unity, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 500);
    rig.loop.MainVolume = 0;
    addPlain(a, e.MixPosition, Unity, 0);
    out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 0);
}

TEST_F(Mixer, TwoFullScaleVoicesClipInTheOutputNotInTheMix) {
    FillConstant(a, 8, 32767, -32768);
    addPlain(a, 0, Unity, 0);
    addPlain(a, 0, Unity, 127);  // right only
    addPlain(a, 0, Unity, 0);
    addPlain(a, 0, Unity, 127);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 2 * 32767 * 128);
    EXPECT_EQ(rig.lock.MixBuffer[1], 2 * -32768 * 128);
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    EXPECT_EQ(LeftAt(out, 0), 32767);
    EXPECT_EQ(RightAt(out, 0), -32768);
    for (int32_t v : rig.lock.MixBuffer) ASSERT_EQ(v, 0);
}

TEST_F(Mixer, SurroundNegatesTheRightSideBeforeClipping) {
    rig.engine->SetSurround(true);
    FillSample(
        a, 2, [](int32_t) { return int16_t(1000); }, [](int32_t i) { return int16_t(i ? -32768 : 1000); });
    addPlain(a, 0, Unity, 127);
    addPlain(a, 0, Unity, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 1000);
    EXPECT_EQ(RightAt(out, 0), -1000);
    EXPECT_EQ(RightAt(out, 1), 32767);  // 32768 clipped
}

// --- pool, cuts and removal

TEST_F(Mixer, The513thVoiceIsDropped) {
    FillConstant(a, 100000, 1, 1);
    for (int i = 0; i < 513; ++i) addPlain(a, 0, Unity, 0);
    EXPECT_EQ(e.VoiceCount, 512);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 512 * 128);
}

TEST_F(Mixer, AVoiceThatWouldAlreadyBeOverIsDropped) {
    FillConstant(a, 100, 1000, 0);
    rig.Run(2);                      // MixPosition 1152
    addPlain(a, 1152 - 100, Unity);  // ends exactly at MixPosition
    EXPECT_EQ(e.VoiceCount, 0);
    addPlain(a, 1152 - 99, Unity);
    EXPECT_EQ(e.VoiceCount, 1);
}

TEST_F(Mixer, AVoiceIsCutByItsGroupButNotAtTheSameFrame) {
    FillConstant(a, 1000, 1000, 0);
    FillConstant(b, 1000, 100, 0);
    addPlain(a, 0, Unity, 0, /*group*/ 512, 0);
    addPlain(b, 0, Unity, 0, 0, /*cutGroup*/ 512);  // same frame: no cut
    EXPECT_EQ(e.Voices[0].Length, 1000);
    addPlain(b, 300, Unity, 0, 0, 512);
    EXPECT_EQ(e.Voices[0].Length, 300);
    auto out = rig.Run(2);
    EXPECT_EQ(LeftAt(out, 299), 1100);
    EXPECT_EQ(LeftAt(out, 300), 200);  // A gone, both B voices
    EXPECT_EQ(LeftAt(out, 999), 200);
    EXPECT_EQ(LeftAt(out, 1000), 100);
}

TEST_F(Mixer, OtherGroupsAreNotCut) {
    FillConstant(a, 1000, 1000, 0);
    addPlain(a, 0, Unity, 0, 1024, 0);
    addPlain(a, 300, Unity, 0, 0, 512);
    EXPECT_EQ(e.Voices[0].Length, 1000);
}

TEST_F(Mixer, AVoiceCutBeforeItBeginsIsDroppedWithoutSounding) {
    FillConstant(a, 1000, 1000, 0);
    FillConstant(b, 1000, 7, 0);
    addPlain(a, 700, Unity, 0, 512, 0);
    addPlain(b, 100, Unity, 0, 0, 512);
    EXPECT_EQ(e.Voices[0].Length, -600);
    auto out = rig.Run(4);
    for (int f = 0; f < 4 * 576; ++f) ASSERT_EQ(LeftAt(out, f), f >= 100 && f < 1100 ? 7 : 0) << f;
    EXPECT_EQ(e.VoiceCount, 0);
}

TEST_F(Mixer, RemoveSampleVoicesAndClearVoices) {
    FillConstant(a, 10000, 1000, 0);
    FillConstant(b, 10000, 10, 0);
    addPlain(a, 0, Unity);
    addPlain(b, 0, Unity);
    addPlain(a, 0, Unity);
    e.RemoveSampleVoices(&a);
    ASSERT_EQ(e.VoiceCount, 1);
    EXPECT_EQ(e.Voices[0].Sample, &b);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 10);
    e.ClearVoices();
    EXPECT_EQ(e.VoiceCount, 0);
}

TEST_F(Mixer, ClearVoicesLeavesNoPartlyConvertedMixBehind) {
    // A render's last block converts only part of the mix buffer.
    FillConstant(a, 10000, 1000, 0);
    addPlain(a, 0, Unity);
    e.MixBlock();
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 100 * 4);
    EXPECT_NE(rig.lock.MixBuffer[200], 0);
    e.ClearVoices();
    for (int32_t v : rig.lock.MixBuffer) ASSERT_EQ(v, 0);
}

TEST_F(Mixer, VoicesEndInTheBlockOfTheirEnd) {
    FillConstant(a, 576, 1000, 0);
    addPlain(a, 0, Unity);
    e.MixBlock();
    EXPECT_EQ(e.VoiceCount, 0);  // E = 576 >= 0 + 576
    addPlain(a, 577, Unity);
    e.MixBlock();
    EXPECT_EQ(e.VoiceCount, 1);  // not begun: 1152 > 577 but ends later
}

// --- resampling: the source index of each output frame

class MixerResample : public ::testing::Test {
protected:
    EngineRig rig;
    TEngine& e = *rig.engine;
    TWAVSample ramp;  // left = 10 x source index
    void SetUp() override {}
    void make(int32_t s) {
        FillSample(
            ramp, s, [](int32_t i) { return int16_t(10 * i); }, [](int32_t i) { return int16_t(-i); });
    }
    std::vector<int> indices(const std::vector<int16_t>& out, int64_t from, int count) {
        std::vector<int> r;
        for (int k = 0; k < count; ++k) r.push_back(LeftAt(out, from + k) / 10);
        return r;
    }
};

TEST_F(MixerResample, SlowingDownRepeatsFramesLaggingOneBehind) {
    // s = 4, d = 8: A starts at -16; +4 per frame; advances at A = 0.
    make(4);
    e.AddVoice(&ramp, 0, Unity, 1.0f, 0.0f, 8, 0, 0, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(indices(out, 0, 8), (std::vector<int>{0, 0, 0, 0, 1, 1, 2, 2}));
    EXPECT_EQ(LeftAt(out, 8), 0);
}

TEST_F(MixerResample, SpeedingUpDropsFrames) {
    // s = 10, d = 4: indices max(0, (10k div 4) - 1) = 0, 1, 4, 6.
    make(10);
    e.AddVoice(&ramp, 0, Unity, 1.0f, 0.0f, 4, 0, 0, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(indices(out, 0, 4), (std::vector<int>{0, 1, 4, 6}));
}

TEST_F(MixerResample, AVoiceStartingInsideTheBlockWalksFromZero) {
    make(4);
    e.AddVoice(&ramp, 100, Unity, 1.0f, 0.0f, 8, 0, 0, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 99), 0);
    EXPECT_EQ(indices(out, 100, 8), (std::vector<int>{0, 0, 0, 0, 1, 1, 2, 2}));
}

TEST_F(MixerResample, ABlockStartingInsideTheVoiceRestartsFromItsOffset) {
    // s = 9, d = 20, off = 7: q = 63 div 20 = 3, rem = 3, A = 2 x (3 - 20) = -34.
    make(9);
    rig.Run(1);
    e.AddVoice(&ramp, e.MixPosition - 7, Unity, 1.0f, 0.0f, 20, 0, 0, 0);
    auto out = rig.Run(1);
    EXPECT_EQ(indices(out, 0, 13), (std::vector<int>{3, 3, 3, 3, 4, 4, 5, 5, 5, 6, 6, 7, 7}));
    EXPECT_EQ(LeftAt(out, 13), 0);
}

TEST_F(MixerResample, TheWalkRestartsAtEachBlockBoundary) {
    // s = 600, d = 1000. Block 1 (off 0): index of frame k = (600k div 1000) - 1,
    // so 574 -> 343 and 575 -> 344. Block 2 restarts at off 576: q = 345,
    // rem = 600, A = -800: 345, 345, 346, 347, 347, 348.
    make(600);
    e.AddVoice(&ramp, 0, Unity, 1.0f, 0.0f, 1000, 0, 0, 0);
    auto out = rig.Run(2);
    EXPECT_EQ(indices(out, 1, 4), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(indices(out, 574, 8), (std::vector<int>{343, 344, 345, 345, 346, 347, 347, 348}));
    // Frame 999 = off 576 + 423: 345 + (1200 + 423 x 600) div 1000 - 1 = 599, one
    // ahead of the continuous walk's 598.
    EXPECT_EQ(LeftAt(out, 999) / 10, 599);
}

TEST_F(MixerResample, EqualLengthsCopyTheSampleUnchanged) {
    make(300);
    e.AddVoice(&ramp, 5, Unity, 1.0f, 0.0f, 300, 0, 0, 0);
    auto out = rig.Run(1);
    for (int k = 0; k < 300; ++k) {
        ASSERT_EQ(LeftAt(out, 5 + k), 10 * k);
        ASSERT_EQ(RightAt(out, 5 + k), 0);  // pan 0
    }
}

// Literal model of the resampling rules, to check long walks against.
std::vector<int> literalWalk(int32_t s, int32_t d, int32_t off, int32_t n) {
    int64_t i, A;
    if (off > 0) {
        i = int64_t(s) * off / d;
        A = 2 * (int64_t(s) * off % d - d);
    } else {
        i = 0;
        A = -2 * int64_t(d);
    }
    std::vector<int> r;
    for (int k = 0; k < n; ++k) {
        r.push_back(int(i));
        A += s;
        while (A >= 0) {
            ++i;
            A -= d;
        }
    }
    return r;
}

TEST_F(MixerResample, LongWalksAcrossBlocksFollowTheRulesForManyRatios) {
    for (auto [s, d] : {std::pair{1000, 333}, std::pair{1000, 1999}, std::pair{777, 2000}, std::pair{3000, 1000},
                        std::pair{2000, 1000}, std::pair{1001, 1000}}) {
        EngineRig r2;
        make(s);
        r2.engine->AddVoice(&ramp, 0, Unity, 1.0f, 0.0f, d, 0, 0, 0);
        auto out = r2.Run((d + 575) / 576);
        for (int blockStart = 0; blockStart < d; blockStart += 576) {
            const int n = std::min(576, d - blockStart);
            auto want = literalWalk(s, d, blockStart, n);
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(LeftAt(out, blockStart + k), 10 * want[size_t(k)]) << s << "/" << d << " @" << blockStart + k;
        }
    }
}

// --- filtered path

TEST_F(Mixer, FilteredPathFollowsTheTwoPoleRecurrence) {
    // c = 0.5, r = 0.5 on a constant 1000: pos = 500, 1000, 1250, 1250, 1125,
    // 1000, 937.5, 937.5; out = pos x 128 rounded.
    FillConstant(a, 100, 1000, 0);
    e.AddVoice(&a, 0, Unity, 0.5f, 0.5f, 100, 0, 0, 0);
    e.MixBlock();
    const std::vector<int32_t> want = {64000, 128000, 160000, 160000, 144000, 128000, 120000, 120000};
    for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(rig.lock.MixBuffer[k * 2], want[k]) << k;
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    EXPECT_EQ(LeftAt(out, 6), 937);
}

TEST_F(Mixer, FilterPositionIsRoundedAtTheEndOfEachBlock) {
    // As above, but frames 0..6 fall in the first block: pos 937.5 is rounded
    // to 938 (ties to even), vel stays -31.25. Frame 7: vel = -31.25 + 31 =
    // -0.25, pos = 937.75, out = 120032 (120000 without the rounding).
    FillConstant(a, 100, 1000, 0);
    e.AddVoice(&a, 576 - 7, Unity, 0.5f, 0.5f, 100, 0, 0, 0);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[575 * 2], 120000);
    EXPECT_EQ(double(e.Voices[0].Filter.PosLeft), 938.0);
    EXPECT_EQ(double(e.Voices[0].Filter.VelLeft), -31.25);
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 120032);
}

TEST_F(Mixer, GainsAndMainVolumeScaleTheFilteredPath) {
    // Volume 32768 with MainVolume 64: g = 64 x 32768 / 65536 = 32; frame 0 = 500 x 32.
    FillConstant(a, 100, 1000, 1000);
    rig.loop.MainVolume = 64;
    e.AddVoice(&a, 0, 32768, 0.5f, 0.5f, 100, 0, 0, 0);
    e.MixBlock();
    EXPECT_EQ(rig.lock.MixBuffer[0], 16000);
    EXPECT_EQ(rig.lock.MixBuffer[1], 0);
}

// --- master filter and scope

TEST_F(Mixer, MasterFilterCoefficientsFromTheSliders) {
    e.SetMainCutOff(1008);
    e.SetMainResonance(992);
    EXPECT_TRUE(e.MasterFilter.IsOpen());
    e.SetMainCutOff(0);     // 1 - cos(16 pi / 2048)
    e.SetMainResonance(0);  // cos(32 pi / 2048)
    EXPECT_FLOAT_EQ(e.MasterFilter.Cutoff, 0.000301181304f);
    EXPECT_FLOAT_EQ(e.MasterFilter.Resonance, 0.998795456f);
    e.SetMainCutOff(500);  // 1 - cos(516 pi / 2048)
    EXPECT_FLOAT_EQ(e.MasterFilter.Cutoff, 0.297245256f);
    EXPECT_EQ(rig.loop.MainCutOff, 500);
    e.SetMainCutOff(5000);
    EXPECT_EQ(e.MasterFilter.Cutoff, 1.0f);
}

TEST_F(Mixer, MasterFilterRunsOverTheMixAndKeepsItsState) {
    FillConstant(a, 100, 1000, 1000);
    addPlain(a, 0, Unity, 0);
    e.MasterFilter.Cutoff = 0.5f;
    e.MasterFilter.Resonance = 0.5f;
    auto out = rig.Run(1);
    const std::vector<int16_t> want = {500, 1000, 1250, 1250, 1125, 1000, 937};
    for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(LeftAt(out, int64_t(k)), want[k]) << k;
    EXPECT_EQ(double(e.MasterFilter.PosRight), 0.0);
    e.ClearMasterFilter();
    EXPECT_EQ(e.MasterFilter.Cutoff, 0.5f);
}

TEST_F(Mixer, ScopeTakesTheOutputOnceAndRaisesThePeaks) {
    FillSample(
        a, 576, [](int32_t i) { return int16_t(i == 10 ? -20000 : 300); },
        [](int32_t i) { return int16_t(i == 20 ? 12345 : -5); });
    addPlain(a, 0, Unity, 0);
    addPlain(a, 0, Unity, 127);
    e.ScopeButton = true;
    e.PeakLeft = 100;
    e.PeakRight = 20000;
    e.MixBlock();
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), 0, 576 * 4);
    EXPECT_TRUE(e.ScopeFilled.load());
    EXPECT_EQ(rig.lock.ScopeSample.Data, out);
    EXPECT_EQ(e.PeakLeft.load(), 20000);
    EXPECT_EQ(e.PeakRight.load(), 20000);  // held peak 20000 > 12345

    // Not taken yet: the next block leaves the scope data alone.
    auto before = rig.lock.ScopeSample.Data;
    addPlain(a, e.MixPosition, Unity, 0);
    e.MixBlock();
    e.ConvertBlock(0, out.data(), 0, 576 * 4);
    EXPECT_EQ(rig.lock.ScopeSample.Data, before);

    // Taken by the display: the next block fills it again.
    e.ScopeFilled = false;
    e.PeakRight = 0;
    addPlain(a, e.MixPosition, Unity, 127);
    e.MixBlock();
    e.ConvertBlock(0, out.data(), 0, 576 * 4);
    EXPECT_EQ(rig.lock.ScopeSample.Data, out);
    EXPECT_EQ(e.PeakRight.load(), 12345);
}

TEST_F(Mixer, NoScopeOffsetOrButtonUpLeavesTheScopeAlone) {
    FillConstant(a, 576, 300, 300);
    addPlain(a, 0, Unity, 64);
    e.ScopeButton = true;
    e.MixBlock();
    std::vector<int16_t> out(576 * 2);
    e.ConvertBlock(0, out.data(), NoScope, 576 * 4);
    EXPECT_FALSE(e.ScopeFilled.load());
    EXPECT_EQ(e.PeakLeft.load(), 0);
    e.ScopeButton = false;
    addPlain(a, e.MixPosition, Unity, 64);
    e.MixBlock();
    e.ConvertBlock(0, out.data(), 0, 576 * 4);
    EXPECT_FALSE(e.ScopeFilled.load());
}

TEST_F(Mixer, ConvertingInTwoRegionsCoversTheBlock) {
    FillSample(
        a, 576, [](int32_t i) { return int16_t(i); }, [](int32_t i) { return int16_t(-i); });
    addPlain(a, 0, Unity, 0);
    e.MixBlock();
    std::vector<int16_t> first(200 * 2), second(376 * 2);
    e.ConvertBlock(0, first.data(), 0, 200 * 4);
    e.ConvertBlock(200, second.data(), 200 * 4, 376 * 4);
    EXPECT_EQ(LeftAt(first, 199), 199);
    EXPECT_EQ(LeftAt(second, 0), 200);
    EXPECT_EQ(LeftAt(second, 375), 575);
    for (int32_t v : rig.lock.MixBuffer) ASSERT_EQ(v, 0);
}

// --- 64-bit frame times

TEST_F(Mixer, VoicesPlayBeyondThe32BitFrameRange) {
    FillSample(
        a, 1000, [](int32_t i) { return int16_t(i); }, [](int32_t) { return int16_t(0); });
    for (FrameTime base : {FrameTime(1) << 31, (FrameTime(1) << 32) + 123, FrameTime(2147483647) - 300}) {
        EngineRig r2;
        r2.engine->MixPosition = base;
        r2.engine->AddVoice(&a, base + 10, Unity, 1.0f, 0.0f, 1000, 512, 0, 0);
        auto out = r2.Run(2);
        EXPECT_EQ(LeftAt(out, 9), 0);
        EXPECT_EQ(LeftAt(out, 10), 0);
        EXPECT_EQ(LeftAt(out, 11), 1);
        EXPECT_EQ(LeftAt(out, 1009), 999);
        EXPECT_EQ(LeftAt(out, 1010), 0);
        EXPECT_EQ(r2.engine->VoiceCount, 0);
        EXPECT_EQ(r2.engine->MixPosition, base + 1152);
        // Cuts at such times work too.
        r2.engine->AddVoice(&a, base + 1200, Unity, 1.0f, 0.0f, 1000, 512, 0, 0);
        r2.engine->AddVoice(&a, base + 1500, Unity, 1.0f, 0.0f, 1000, 0, 512, 0);
        EXPECT_EQ(r2.engine->Voices[0].Length, 300);
    }
}

}  // namespace

namespace {

// The vector integer path against the literal 64-bit formula, over random
// samples, gains (up to 16 x unity x main volume, negative too), lengths and
// starting sums near the 32-bit limits.
TEST(MixerIntegerKernel, MatchesThe64BitFormulaForRandomInputs) {
    std::mt19937_64 rng(2024);
    auto pick = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
    for (int trial = 0; trial < 400; ++trial) {
        const int32_t n = int32_t(pick(0, 70));
        std::vector<int16_t> src(size_t(n) * 2);
        for (auto& v : src) v = int16_t(trial % 5 == 0 ? (pick(0, 1) ? 32767 : -32768) : pick(-32768, 32767));
        std::vector<int32_t> mix(size_t(n) * 2);
        for (auto& v : mix)
            v = int32_t(trial % 3 == 0 ? pick(INT32_MAX - 3000000, INT32_MAX) * (pick(0, 1) ? 1 : -1)
                                       : pick(-1000000, 1000000));
        const int64_t limit = trial % 4 == 0 ? (int64_t(1) << 30) - 1 : 128 * 65536;
        const int64_t gL = pick(-limit, limit), gR = trial % 7 == 0 ? pick(0, 3) : pick(0, limit);
        std::vector<int32_t> want = mix;
        for (int32_t k = 0; k < 2 * n; ++k) {
            const int64_t g = k % 2 ? gR : gL;
            const int64_t sum = int64_t(want[size_t(k)]) + ((int64_t(src[size_t(k)]) * 65536 * g) >> 32);
            want[size_t(k)] = int32_t(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
        }
        mix::MixIntegerVector(mix.data(), src.data(), n, gL, gR);
        ASSERT_EQ(mix, want) << "trial " << trial << " n " << n << " gains " << gL << " " << gR;
    }
}

TEST(MixerIntegerKernel, GainsBeyondTheVectorRangeStillFollowTheFormula) {
    const std::vector<int16_t> src = {32767, -32768, -1, 1, 12345, -12345};
    std::vector<int32_t> mix(6, 0);
    const int64_t g = int64_t(1) << 31;  // volume 16 x 16 x unity, main volume 128
    mix::MixIntegerVector(mix.data(), src.data(), 3, g, g);
    // (x x 65536 x 2^31) >> 32 = x x 32768
    EXPECT_EQ(mix, (std::vector<int32_t>{32767 * 32768, -32768 * 32768, -32768, 32768, 12345 * 32768, -12345 * 32768}));
}

}  // namespace

namespace {

// Voices hold plain pointers to channel samples; freeing a channel must drop
// them first (run under the address sanitizer this would otherwise read freed data).
TEST(MixerChannelFreeing, DeletingAChannelDropsTheVoicesOfItsSample) {
    EngineRig rig;
    TLoop& loop = rig.loop;
    loop.AddChannel();
    for (int c = 0; c < 5; ++c) FillConstant(loop.Channel(c).Sample, 100000, int16_t(100 * (c + 1)), 0);
    for (int c = 0; c < 5; ++c) rig.engine->AddVoice(&loop.Channel(c).Sample, 0, Unity, 1.0f, 0.0f, 100000, 0, 0, 0);
    rig.Run(1);
    ASSERT_TRUE(loop.DeleteChannel(2));
    EXPECT_EQ(rig.engine->VoiceCount, 4);
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 100 + 200 + 400 + 500);
}

TEST(MixerChannelFreeing, ANewLoopDropsEveryChannelsVoices) {
    EngineRig rig;
    TWAVSample preview;
    FillConstant(preview, 100000, 7, 0);
    for (int c = 0; c < 4; ++c) {
        FillConstant(rig.loop.Channel(c).Sample, 100000, 1000, 0);
        rig.engine->AddVoice(&rig.loop.Channel(c).Sample, 0, Unity, 1.0f, 0.0f, 100000, 0, 0, 0);
    }
    rig.engine->AddVoice(&preview, 0, Unity, 1.0f, 0.0f, 100000, 0, 0, 0);
    rig.loop.ResetToNew();
    EXPECT_EQ(rig.engine->VoiceCount, 1);  // the preview sample is not the loop's
    auto out = rig.Run(1);
    EXPECT_EQ(LeftAt(out, 0), 7);
}

TEST(MixerChannelFreeing, AGoneEngineLeavesNoHookBehind) {
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    loop.SetEngineLock(&lock);
    { TEngine e(loop, lock, settings); }
    EXPECT_FALSE(loop.SampleFreeing);
    loop.ResetToNew();
}

}  // namespace
