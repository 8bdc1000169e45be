#pragma once
// Field-by-field comparison of two loops' document values (run-time state
// such as Selected or the lights is not part of the document).
#include <gtest/gtest.h>

#include "model/Loop.h"

namespace txtest {

// clang-format off
#define TXTEST_CHANNEL_FIELDS(X)                                                                                   \
    X(Volume) X(Pan) X(MidiChannel) X(MidiNote) X(MidiPatch) X(MidiBank) X(Name) X(Color) X(ControllerTable)        \
    X(DelayFeed) X(DelayPan) X(DelayPitch) X(DelayEchoes) X(DelayTime) X(DelayReso) X(DelayCutOff) X(DelayShift)    \
    X(MixWith) X(RandomWith) X(FXFirst) X(FXSecondMix) X(FXSecondSine) X(CutOff) X(Resonance) X(Stretch) X(PreAmp) \
    X(Decay) X(Attack) X(StereoDelay) X(FXThird) X(MiddleNote) X(Enabled) X(RevStereo) X(FadeLR) X(ReverseSample)  \
    X(Pitchable) X(DelayShuffled) X(Minimized) X(Sample.CutGroup) X(Sample.CutByGroup) X(SampleFileName)
#define TXTEST_LOOP_FIELDS(X)                                                                                    \
    X(CurrentPattern) X(Tempo) X(Shuffle) X(MainVolume) X(MainPitch) X(MainResonance) X(MainCutOff) X(SongMode) \
    X(SongLoopPosition) X(Title) X(InfoRich) X(URL) X(ShowInfo) X(WindowHeight)
// clang-format on
#define TXTEST_SAME(field) EXPECT_EQ(a.field, b.field) << #field;

inline void ExpectSameChannel(const tx::TChannel& a, const tx::TChannel& b) {
    TXTEST_CHANNEL_FIELDS(TXTEST_SAME)
    int differing = 0;
    for (int p = 0; p < tx::PatternCount; ++p)
        if (!(a.Pattern(p) == b.Pattern(p)) && ++differing <= 3) ADD_FAILURE() << "pattern " << p << " differs";
    EXPECT_EQ(differing, 0);
}

inline void ExpectSameDocument(const tx::TLoop& a, const tx::TLoop& b) {
    TXTEST_LOOP_FIELDS(TXTEST_SAME)
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) EXPECT_EQ(a.PlayList.At(pos), b.PlayList.At(pos)) << pos;
    ASSERT_EQ(a.ChannelCount(), b.ChannelCount());
    for (int i = 0; i < a.ChannelCount(); ++i) {
        SCOPED_TRACE("channel " + std::to_string(i));
        ExpectSameChannel(a.Channel(i), b.Channel(i));
    }
}

#undef TXTEST_SAME
#undef TXTEST_LOOP_FIELDS
#undef TXTEST_CHANNEL_FIELDS

}  // namespace txtest
