// The step display in time with the sound: the step timeline on its own
// (order, barriers, a reader that falls behind, a writer racing the reader),
// and the engine streaming through a null device that reports a latency,
// where the lit step must change exactly when its sound is heard.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/NullAudioDevice.h"
#include "engine/StepTimeline.h"
#include "engine/Streaming.h"

using namespace tx;
using namespace std::chrono_literals;
using txtest::EngineRig;

namespace {

TPatternList patterns(std::initializer_list<int16_t> ps) {
    TPatternList l;
    for (int16_t p : ps) l.Push(p);
    return l;
}

// A mixer step as AdvanceClock publishes it.
void mixerStep(TStepTimeline& t, FrameTime at, int step, int song, std::initializer_list<int> lit,
               bool withPosition = true) {
    t.Begin(at, step);
    if (withPosition) t.SetPosition(step, song, patterns({int16_t(1 + song)}));
    for (int c : lit) t.AddLight(c);
    t.Commit();
}

struct TLit {
    int Step, Channel;
    bool operator==(const TLit&) const = default;
};

class Timeline : public ::testing::Test {
protected:
    std::vector<TLit> read(FrameTime audible) {
        std::vector<TLit> lit;
        changed = timeline.Read(audible, shown, [&](int s, int c) { lit.push_back({s, c}); });
        return lit;
    }
    TStepTimeline timeline;
    TAudibleState shown;
    bool changed = false;
};

}  // namespace

TEST_F(Timeline, MixerStepsShowWhenDueOnceEachAndABarrierForgetsThePending) {
    mixerStep(timeline, 100, 0, 0, {2});
    mixerStep(timeline, 200, 1, 0, {});
    mixerStep(timeline, 300, 2, 1, {0, 255});
    EXPECT_TRUE(read(99).empty());
    EXPECT_EQ(shown.Step, -1);
    EXPECT_EQ(read(150), (std::vector<TLit>{{0, 2}}));
    EXPECT_EQ(shown.Step, 0);
    EXPECT_TRUE(shown.PatternPlays(1));
    EXPECT_TRUE(read(150).empty());
    EXPECT_FALSE(changed);
    EXPECT_TRUE(read(299).empty());
    EXPECT_EQ(shown.Step, 1);
    EXPECT_TRUE(changed);
    // A stop: step 2 was mixed but is never shown.
    timeline.PublishNow(-1, -1, patterns({1}), true);
    EXPECT_TRUE(read(299).empty());
    EXPECT_EQ(shown.Step, -1);
    EXPECT_TRUE(read(10000).empty());
    EXPECT_EQ(shown.Step, -1);
    EXPECT_FALSE(shown.PatternPlays(2));
}

TEST_F(Timeline, StepsShownAtOnceDoNotWaitBehindLightsStillToBeHeard) {
    // "Midi only": the timer's step is its MIDI, sent now; the samples it
    // triggered in the mixer sound later.
    mixerStep(timeline, 500, 3, 0, {1}, false);
    timeline.PublishNow(3, -1, patterns({4}), false);
    EXPECT_TRUE(read(0).empty());
    EXPECT_EQ(shown.Step, 3);
    EXPECT_TRUE(shown.PatternPlays(4));
    timeline.PublishNow(4, -1, patterns({4}), false);
    EXPECT_TRUE(read(0).empty());
    EXPECT_EQ(shown.Step, 4);
    EXPECT_EQ(read(500), (std::vector<TLit>{{3, 1}}));
    EXPECT_EQ(shown.Step, 4);  // the lights' record is older than the step shown
    EXPECT_TRUE(read(500).empty());
}

TEST_F(Timeline, AReaderThatFellBehindShowsTheLatestAndCountsWhatItMissed) {
    const int n = TStepTimeline::Capacity + 44;
    for (int i = 0; i < n; ++i) mixerStep(timeline, i, i % 16, i, {i % 3});
    EXPECT_EQ(read(EverythingAudible).size(), size_t(TStepTimeline::Capacity));
    EXPECT_EQ(shown.Step, (n - 1) % 16);
    EXPECT_EQ(shown.SongPosition, n - 1);
    EXPECT_EQ(timeline.Lost(), 44u);
}

TEST_F(Timeline, APauseForRenderingPublishesNothingAndItsEndForgetsThePending) {
    mixerStep(timeline, 1000, 5, 0, {1});
    timeline.SetPaused(true);
    const uint64_t before = timeline.Published();
    mixerStep(timeline, 10, 0, 0, {3});
    timeline.PublishNow(7, 0, patterns({1}), false);
    EXPECT_EQ(timeline.Published(), before);
    timeline.SetPaused(false);
    EXPECT_TRUE(read(EverythingAudible).empty());
    EXPECT_EQ(shown.Step, -1);
}

// The writer publishes records whose fields all derive from their number; a
// reader racing it, a lap behind, must never see a record mixed from two.
TEST(TimelineThreads, EveryRecordTheReaderSeesIsWhole) {
    TStepTimeline timeline;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop.load(std::memory_order_relaxed); ++n) {
            const int song = n % 509;  // prime, so records a lap apart differ in every field
            mixerStep(timeline, n, song % 16, song, {song % 256});
        }
    });
    TAudibleState shown;
    int torn = 0, reads = 0;
    const auto until = std::chrono::steady_clock::now() + 300ms;
    while (std::chrono::steady_clock::now() < until) {
        // Falling a ring behind makes the reader copy the slots being rewritten.
        std::this_thread::sleep_for(20us);
        timeline.Read(EverythingAudible, shown, [&](int s, int c) { torn += c % 16 != s; });
        if (shown.Sequence != 0) {
            ++reads;
            torn += shown.SongPosition % 16 != shown.Step;
            torn += !shown.PatternPlays(1 + shown.SongPosition);
            int bits = 0;
            for (int p = 0; p < TimelinePatterns; ++p) bits += shown.PatternPlays(p);
            torn += bits != 1;
        }
    }
    stop = true;
    writer.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0);
}

// ---------------------------------------------------------------- engine, stream and a device with latency

namespace {

constexpr int32_t Block = 576;
constexpr int32_t Latency = 300;      // frames the "device" holds before they are heard
constexpr int32_t StepFrames = 1323;  // 661500 div 500 BPM
constexpr int16_t Click = 1000;

class AudibleDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        // Channel 0 clicks on every step (200 frames), channel 1 only on step 2.
        for (int c = 0; c < 2; ++c) txtest::FillConstant(loop.Channel(c).Sample, 200, Click, Click);
        for (int s = 0; s < 16; ++s) rig.SetStep(0, 1, s);
        rig.SetStep(1, 1, 2);
        loop.Channel(0).Pan = 0;  // hard left: only channel 0 in the left channel
        loop.Channel(1).Pan = 127;
        e.SetTempo(500);
        streaming.SetWatchdog(0);
        streaming.EnumerateDevices();
        streaming.SetAheadLength(Block);
        streaming.Start(Block);
        ASSERT_TRUE(streaming.DeviceOpen());
        device = system.LastDevice();
        device->SetLatency(Latency);
        device->SetCapture(true);
        ASSERT_TRUE(waitWritten());
    }
    void TearDown() override { streaming.CloseDevice(); }

    bool waitWritten() {
        const TStreamBuffer& b = streaming.Buffer();
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (streaming.LastBlockWritten() < (b.Cursor() + b.AheadFrames()) / b.BlockFrames()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(100us);
        }
        return true;
    }

    EngineRig rig{Block};
    TLoop& loop = rig.loop;
    TEngine& e = *rig.engine;
    TNullAudioSystem system{false};
    TEngineBlockSource source{e};
    TStreaming streaming{rig.lock, source, system};
    TNullAudioDevice* device = nullptr;
};

}  // namespace

TEST_F(AudibleDisplay, TheLitStepChangesWhenItsSoundIsHeard) {
    EXPECT_EQ(streaming.AudibleFrame(), NothingAudible);  // nothing mixed has been heard
    e.Start();
    FrameTime start;
    {
        TLockGuard g(&rig.lock);
        start = e.MixPosition;
    }
    TAudibleState shown;
    struct TPull {
        size_t CaptureFrame;
        FrameTime Frame;
    };
    std::vector<TPull> pulls;
    size_t captured = 0;
    bool step2Lit = false;
    const int32_t period = device->PeriodFrames();
    for (int i = 0; i < 40 * StepFrames / period; ++i) {
        ASSERT_TRUE(device->Process());
        ASSERT_TRUE(waitWritten());
        TPullStamp p;
        if (streaming.Buffer().LastPull(p)) {
            pulls.push_back({captured, p.Frame});
            // Heard now: what this pull began with, less the latency; a period later, a period on.
            for (const int64_t ns : {p.Ns, p.Ns + (int64_t(period) * 1000000000 + 44099) / 44100}) {
                const FrameTime audible = streaming.AudibleFrame(ns);
                EXPECT_EQ(audible, p.Frame - Latency + (ns == p.Ns ? 0 : period));
                e.ShowAudible(audible, shown);
                const int expected = audible < start ? -1 : int((audible - start) / StepFrames % 16);
                ASSERT_EQ(shown.Step, expected) << "at frame " << audible;
                const bool lit = loop.Channel(1).StepLight[2].exchange(0) == 288;
                const FrameTime step2 = start + 2 * StepFrames;
                // Channel 1's light comes on the first time a step 2 is heard, and not before.
                if (!step2Lit) {
                    EXPECT_EQ(lit, audible >= step2) << "at frame " << audible;
                }
                step2Lit = step2Lit || lit;
            }
        }
        captured += size_t(period);
    }
    EXPECT_TRUE(step2Lit);

    // Each click starts in the capture at the frame the display maps to its step's start.
    const std::vector<int16_t> cap = device->Captured();
    int onsets = 0;
    for (size_t i = 1; i < cap.size() / 2; ++i) {
        if (cap[i * 2] == 0 || cap[(i - 1) * 2] != 0) continue;
        const TPull* at = nullptr;
        for (const TPull& p : pulls)
            if (p.CaptureFrame <= i) at = &p;
        ASSERT_NE(at, nullptr);
        const FrameTime frame = at->Frame + FrameTime(i - at->CaptureFrame);
        EXPECT_EQ((frame - start) % StepFrames, 0) << "click at capture frame " << i;
        ++onsets;
    }
    EXPECT_GE(onsets, 30);
}

TEST_F(AudibleDisplay, InMidiOnlyModeTheTimersStepIsShownAtOnce) {
    e.SetUseWAVOnly(false);
    e.Start();
    e.StepTick();  // as the step timer does
    TAudibleState shown;
    e.ShowAudible(streaming.AudibleFrame(), shown);
    EXPECT_EQ(shown.Step, 0);
    e.StepTick();
    e.ShowAudible(streaming.AudibleFrame(), shown);
    EXPECT_EQ(shown.Step, 1);
    e.Stop();
    e.ShowAudible(streaming.AudibleFrame(), shown);
    EXPECT_EQ(shown.Step, -1);
}

TEST(AudibleWithoutDevice, EverythingMixedIsDueWhenNoDeviceStreams) {
    TEngineLock lock;
    EngineRig rig(Block);
    TNullAudioSystem system;
    TEngineBlockSource source(*rig.engine);
    TStreaming streaming(rig.lock, source, system);
    EXPECT_EQ(streaming.AudibleFrame(), EverythingAudible);
}
