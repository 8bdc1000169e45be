// Whole-loop output through the live path (clock, voices, conversion): a
// hand-computed one-channel stream, and a busy loop rendered at block lengths
// from 576 to 8064 frames giving the same stream. The loop avoids pitch and
// filters, whose state is by rule restarted or rounded at every block start.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "EngineTestSupport.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillConstant;
using txtest::FillSample;
using txtest::LeftAt;
using txtest::RightAt;

namespace {

TEST(LoopOutput, OneChannelStreamMatchesTheHandComputedValues) {
    EngineRig rig(4032);
    TChannel& ch = rig.loop.Channel(0);
    FillConstant(ch.Sample, 1000, 800, -800);
    rig.SetStep(0, 1, 0, 127);
    rig.SetStep(0, 1, 4, 127);
    rig.engine->Start();
    auto out = rig.RunFrames(16 * 4725);
    // Unity volume at pan 64: gains 46053 / 46627. Left: 800 x 128 x 46053 / 65536
    // = 71957.8 -> 71957, >> 7 = 562. Right: -800 x 128 x 46627 / 65536 = -72854.7
    // -> -72855, >> 7 = -570.
    for (int64_t f = 0; f < 16 * 4725; ++f) {
        const bool on = f < 1000 || (f >= 4 * 4725 && f < 4 * 4725 + 1000);
        ASSERT_EQ(LeftAt(out, f), on ? 562 : 0) << f;
        ASSERT_EQ(RightAt(out, f), on ? -570 : 0) << f;
    }
}

// A loop touching every integer-path feature of the clock: shuffle, delay
// shift, echoes with pan and volume changes, cut groups, mix-with, random-with,
// song mode over a playlist, main volume.
void buildBusyLoop(EngineRig& rig) {
    TLoop& loop = rig.loop;
    while (loop.ChannelCount() < 6) loop.AddChannel();
    for (int c = 0; c < 6; ++c) {
        TChannel& ch = loop.Channel(c);
        const int32_t len = 2000 + 3100 * c;
        FillSample(
            ch.Sample, len, [c](int32_t i) { return int16_t(((i * (7 + 3 * c)) % 4000 - 2000) * (c + 1)); },
            [c](int32_t i) { return int16_t(((i * (5 + c)) % 3000 - 1500) * (6 - c)); });
        ch.Volume = 60 + 10 * c;
        ch.Pan = 10 + 20 * c;
        for (int p : {1, 2, 3}) {
            auto& rec = ch.Pattern(p);
            rec.StepMask = uint16_t(0x1111 << (c % 4)) | uint16_t(p == 2 ? 0x8000 : 0);
            for (int s = 0; s < 16; ++s) {
                rec.StepVolume()[size_t(s)] = uint8_t(60 + (s * 13 + c) % 68);
                rec.StepPan()[size_t(s)] = uint8_t((s * 17 + c * 5) % 128);
                rec.StepMix()[size_t(s)] = uint8_t(c == 0 ? 64 : 0);
            }
        }
    }
    loop.Channel(0).MixWith = 5;
    loop.Channel(1).DelayFeed = 90;
    loop.Channel(1).DelayEchoes = 5;
    loop.Channel(1).DelayTime = 40;
    loop.Channel(1).DelayPan = 160;
    loop.Channel(2).DelayShift = 77;
    loop.Channel(2).DelayFeed = 200;
    loop.Channel(2).DelayEchoes = 3;
    loop.Channel(2).DelayTime = 23;
    loop.Channel(2).DelayShuffled = true;
    loop.Channel(3).Sample.CutGroup = 1;
    loop.Channel(4).Sample.CutByGroup = 1;
    loop.Channel(3).Sample.CutByGroup = 2;
    loop.Channel(5).Sample.CutGroup = 2;
    loop.Channel(4).RandomWith = {4, 3, 5};
    loop.Shuffle = 90;
    loop.MainVolume = 110;
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    loop.PlayList.SetPatternAt(3, 1, true);
    loop.PlayList.SetPatternAt(3, 3, true);
    rig.engine->SetTempo(131);
    rig.engine->SetSongMode(true);
    rig.engine->SeedRandom(99);
    rig.engine->Start();
}

class BlockSweep : public ::testing::TestWithParam<int32_t> {};

TEST_P(BlockSweep, TheSameLoopGivesTheSameStreamAtAnyBlockLength) {
    const int64_t frames = 5 * 16 * (661500 / 131) + 20000;  // five patterns and a tail
    EngineRig ref(576), rig(GetParam());
    buildBusyLoop(ref);
    buildBusyLoop(rig);
    ASSERT_EQ(rig.lock.BlockFrames, GetParam());
    const auto want = ref.RunFrames(frames);
    const auto got = rig.RunFrames(frames);
    int64_t loud = 0;
    for (int64_t f = 0; f < frames; ++f) loud += LeftAt(want, f) != 0;
    EXPECT_GT(loud, frames / 2);  // the loop really sounds
    for (int64_t f = 0; f < frames; ++f) {
        ASSERT_EQ(LeftAt(got, f), LeftAt(want, f)) << "frame " << f;
        ASSERT_EQ(RightAt(got, f), RightAt(want, f)) << "frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, BlockSweep, ::testing::Values(1152, 1728, 2304, 4032, 4608, 6912, 8064));

}  // namespace
