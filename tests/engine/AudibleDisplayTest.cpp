// The step display in time with the sound: the step timeline's order and
// barriers, and the engine streaming through a null device that reports a
// latency, where the lit step must change exactly when its sound is heard.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/NullAudioDevice.h"
#include "engine/Streaming.h"

using namespace tx;
using namespace std::chrono_literals;

namespace {

// A mixer step as AdvanceClock publishes it in "WAV only" mode.
void mixerStep(TStepTimeline& t, FrameTime at, int step, const TPatternList& playing) {
    t.Begin(at, step);
    t.SetPosition(step, -1, playing);
    t.AddLight(2);
    t.Commit();
}

class Timeline : public ::testing::Test {
protected:
    int lit(FrameTime audible) {  // how many lights the read raised
        int n = 0;
        timeline.Read(audible, shown, [&](int, int) { ++n; });
        return n;
    }
    TStepTimeline timeline;
    TAudibleState shown;
};

}  // namespace

TEST_F(Timeline, MixerStepsShowWhenDueOnceEachAndAStopForgetsThePending) {
    TPatternList one;
    one.Assign(1);
    for (int s = 0; s < 3; ++s) mixerStep(timeline, 100 * (s + 1), s, one);
    EXPECT_EQ(lit(99), 0);
    EXPECT_EQ(shown.Step, -1);
    EXPECT_EQ(lit(250), 2);
    EXPECT_EQ(shown.Step, 1);
    EXPECT_TRUE(shown.PatternPlays(1));
    EXPECT_EQ(lit(250), 0);
    timeline.PublishNow(-1, -1, one, true);  // a stop: step 2 was mixed but is never shown
    EXPECT_EQ(lit(10000), 0);
    EXPECT_EQ(shown.Step, -1);
}

TEST(AudibleDisplay, TheLitStepChangesWhenItsSoundIsHeard) {
    constexpr int32_t Latency = 300, StepFrames = 1323;  // 661500 div 500 BPM
    txtest::EngineRig rig(576);
    TEngine& e = *rig.engine;
    // Channel 0 clicks (hard left) on every step, channel 1 (hard right) on step 2.
    for (int c = 0; c < 2; ++c) txtest::FillConstant(rig.loop.Channel(c).Sample, 200, 1000, 1000);
    for (int s = 0; s < 16; ++s) rig.SetStep(0, 1, s);
    rig.SetStep(1, 1, 2);
    rig.loop.Channel(0).Pan = 0;
    rig.loop.Channel(1).Pan = 127;
    e.SetTempo(500);
    TNullAudioSystem system;
    TEngineBlockSource source(e);
    TStreaming streaming(rig.lock, source, system);
    streaming.SetWatchdog(0);
    streaming.EnumerateDevices();
    streaming.SetAheadLength(576);
    streaming.Start(576);
    TNullAudioDevice* device = system.LastDevice();
    ASSERT_NE(device, nullptr);
    device->SetLatency(Latency);
    device->SetCapture(true);
    auto mixed = [&] {
        const TStreamBuffer& b = streaming.Buffer();
        for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;)
            if (streaming.LastBlockWritten() >= (b.Cursor() + b.AheadFrames()) / b.BlockFrames()) return true;
        return false;
    };
    ASSERT_TRUE(mixed());
    EXPECT_EQ(streaming.AudibleFrame(), NothingAudible);
    e.Start();
    FrameTime start;
    {
        TLockGuard g(&rig.lock);
        start = e.MixPosition;
    }

    TAudibleState shown;
    std::vector<FrameTime> frameAt;  // engine frame of each captured frame
    bool step2Lit = false;
    const int32_t period = device->PeriodFrames();
    for (int i = 0; i < 40 * StepFrames / period; ++i) {
        ASSERT_TRUE(device->Process());
        ASSERT_TRUE(mixed());
        TPullStamp p;
        const bool heard = streaming.Buffer().LastPull(p);
        for (int32_t k = 0; k < period; ++k) frameAt.push_back(heard ? p.Frame + k : -1);
        if (!heard) continue;
        // Heard as the pull began: its first frame less the latency; a period later, a period on.
        for (const int64_t ns : {p.Ns, p.Ns + (int64_t(period) * 1000000000 + 44099) / 44100}) {
            const FrameTime audible = streaming.AudibleFrame(ns);
            EXPECT_EQ(audible, p.Frame - Latency + (ns == p.Ns ? 0 : period));
            e.ShowAudible(audible, shown);
            ASSERT_EQ(shown.Step, audible < start ? -1 : int((audible - start) / StepFrames % 16)) << audible;
            const bool lit = rig.loop.Channel(1).StepLight[2].exchange(0) == 288;
            if (!step2Lit) {
                EXPECT_EQ(lit, audible >= start + 2 * StepFrames) << audible;
            }
            step2Lit = step2Lit || lit;
        }
    }
    EXPECT_TRUE(step2Lit);
    // Each click starts at a frame the display maps to a step's start.
    const std::vector<int16_t> cap = device->Captured();
    int clicks = 0;
    for (size_t i = 1; i < frameAt.size(); ++i) {
        if (cap[i * 2] == 0 || cap[(i - 1) * 2] != 0 || frameAt[i] < 0) continue;
        EXPECT_EQ((frameAt[i] - start) % StepFrames, 0) << "click at capture frame " << i;
        ++clicks;
    }
    EXPECT_GE(clicks, 30);

    e.SetUseWAVOnly(false);  // "Midi only": the step timer's step is shown at once
    e.Start();
    e.StepTick();
    e.ShowAudible(streaming.AudibleFrame(), shown);
    EXPECT_EQ(shown.Step, 0);
    streaming.CloseDevice();
}
