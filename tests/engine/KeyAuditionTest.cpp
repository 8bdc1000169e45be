// The keyboard editor's audition: one voice at the channel's volume weighted
// by the step's, pitched by the key against the middle note.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EngineTestSupport.h"
#include "engine/KeyAudition.h"

namespace {

TEST(KeyAudition, OneVoiceWithTheStepsVolumeAndTheKeysPitch) {
    struct Case {
        int volume, stepVolume, key, middle, gainLeft, length;
        const char* why;
    };
    const Case cases[] = {
        {100, 127, 60, 60, 65536, 1000, "channel 100 at step 127 is full"},
        {127, 127, 60, 60, 65536, 1000, "held at full"},
        {50, 127, 60, 60, 32768, 1000, "half"},
        {100, 100, 72, 60, 51603, 500, "an octave up plays half as long"},
        {100, 127, 48, 60, 65536, 2000, "an octave down twice as long"},
        {0, 127, 60, 60, 0, 1000, "silent channel"},
    };
    for (const Case& c : cases) {
        txtest::EngineRig rig;
        tx::TChannel& ch = rig.loop.Channel(2);
        txtest::FillConstant(ch.Sample, 1000, 1000, 1000);
        ch.Volume = c.volume;
        ch.Pan = 0;  // all left: the left gain is the volume
        ch.MiddleNote = c.middle;
        ch.Pattern(rig.loop.CurrentPattern).SetValue(tx::RowVolume, 4, uint8_t(c.stepVolume));
        tx::PlayChannelKey(*rig.engine, 2, 4, c.key);
        ASSERT_EQ(rig.engine->VoiceCount, 1) << c.why;
        const tx::TMixChan& v = rig.engine->Voices[0];
        EXPECT_EQ(v.Sample, &ch.Sample) << c.why;
        EXPECT_EQ(v.GainLeft, c.gainLeft) << c.why;
        EXPECT_EQ(v.GainRight, 0) << c.why;
        EXPECT_LE(std::abs(v.TargetLength - c.length), 1) << c.why;
    }
}

TEST(KeyAudition, NothingWithoutASampleOrOutsideTheLoop) {
    txtest::EngineRig rig;
    tx::PlayChannelKey(*rig.engine, 0, 0, 60);  // no sample
    txtest::FillConstant(rig.loop.Channel(0).Sample, 10, 1, 1);
    tx::PlayChannelKey(*rig.engine, 9, 0, 60);
    tx::PlayChannelKey(*rig.engine, -1, 0, 60);
    tx::PlayChannelKey(*rig.engine, 0, 16, 60);
    EXPECT_EQ(rig.engine->VoiceCount, 0);
}

}  // namespace
