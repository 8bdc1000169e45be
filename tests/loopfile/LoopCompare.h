#pragma once
// Field-by-field comparison of two loops' document values (run-time state
// such as Selected or the lights is not part of the document).
#include <gtest/gtest.h>

#include "model/Loop.h"

namespace txtest {

inline void ExpectSameChannel(const tx::TChannel& a, const tx::TChannel& b) {
    EXPECT_EQ(a.Volume, b.Volume);
    EXPECT_EQ(a.Pan, b.Pan);
    EXPECT_EQ(a.MidiChannel, b.MidiChannel);
    EXPECT_EQ(a.MidiNote, b.MidiNote);
    EXPECT_EQ(a.MidiPatch, b.MidiPatch);
    EXPECT_EQ(a.MidiBank, b.MidiBank);
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Color, b.Color);
    EXPECT_EQ(a.ControllerTable, b.ControllerTable);
    EXPECT_EQ(a.DelayFeed, b.DelayFeed);
    EXPECT_EQ(a.DelayPan, b.DelayPan);
    EXPECT_EQ(a.DelayPitch, b.DelayPitch);
    EXPECT_EQ(a.DelayEchoes, b.DelayEchoes);
    EXPECT_EQ(a.DelayTime, b.DelayTime);
    EXPECT_EQ(a.DelayReso, b.DelayReso);
    EXPECT_EQ(a.DelayCutOff, b.DelayCutOff);
    EXPECT_EQ(a.DelayShift, b.DelayShift);
    EXPECT_EQ(a.MixWith, b.MixWith);
    EXPECT_EQ(a.RandomWith, b.RandomWith);
    EXPECT_EQ(a.FXFirst, b.FXFirst);
    EXPECT_EQ(a.FXSecondMix, b.FXSecondMix);
    EXPECT_EQ(a.FXSecondSine, b.FXSecondSine);
    EXPECT_EQ(a.CutOff, b.CutOff);
    EXPECT_EQ(a.Resonance, b.Resonance);
    EXPECT_EQ(a.Stretch, b.Stretch);
    EXPECT_EQ(a.PreAmp, b.PreAmp);
    EXPECT_EQ(a.Decay, b.Decay);
    EXPECT_EQ(a.Attack, b.Attack);
    EXPECT_EQ(a.StereoDelay, b.StereoDelay);
    EXPECT_EQ(a.FXThird, b.FXThird);
    EXPECT_EQ(a.MiddleNote, b.MiddleNote);
    EXPECT_EQ(a.Enabled, b.Enabled);
    EXPECT_EQ(a.RevStereo, b.RevStereo);
    EXPECT_EQ(a.FadeLR, b.FadeLR);
    EXPECT_EQ(a.ReverseSample, b.ReverseSample);
    EXPECT_EQ(a.Pitchable, b.Pitchable);
    EXPECT_EQ(a.DelayShuffled, b.DelayShuffled);
    EXPECT_EQ(a.Minimized, b.Minimized);
    EXPECT_EQ(a.Sample.CutGroup, b.Sample.CutGroup);
    EXPECT_EQ(a.Sample.CutByGroup, b.Sample.CutByGroup);
    EXPECT_EQ(a.SampleFileName, b.SampleFileName);
    int differing = 0;
    for (int p = 0; p < tx::PatternCount; ++p)
        if (!(a.Pattern(p) == b.Pattern(p))) {
            if (++differing <= 3) ADD_FAILURE() << "pattern " << p << " differs";
        }
    EXPECT_EQ(differing, 0);
}

inline void ExpectSameDocument(const tx::TLoop& a, const tx::TLoop& b) {
    EXPECT_EQ(a.CurrentPattern, b.CurrentPattern);
    EXPECT_EQ(a.Tempo, b.Tempo);
    EXPECT_EQ(a.Shuffle, b.Shuffle);
    EXPECT_EQ(a.MainVolume, b.MainVolume);
    EXPECT_EQ(a.MainPitch, b.MainPitch);
    EXPECT_EQ(a.MainResonance, b.MainResonance);
    EXPECT_EQ(a.MainCutOff, b.MainCutOff);
    EXPECT_EQ(a.SongMode, b.SongMode);
    EXPECT_EQ(a.SongLoopPosition, b.SongLoopPosition);
    EXPECT_EQ(a.Title, b.Title);
    EXPECT_EQ(a.InfoRich, b.InfoRich);
    EXPECT_EQ(a.URL, b.URL);
    EXPECT_EQ(a.ShowInfo, b.ShowInfo);
    EXPECT_EQ(a.WindowHeight, b.WindowHeight);
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) EXPECT_EQ(a.PlayList.At(pos), b.PlayList.At(pos)) << pos;
    ASSERT_EQ(a.ChannelCount(), b.ChannelCount());
    for (int i = 0; i < a.ChannelCount(); ++i) {
        SCOPED_TRACE("channel " + std::to_string(i));
        ExpectSameChannel(a.Channel(i), b.Channel(i));
    }
}

}  // namespace txtest
