// The "Midi only" step timer: ticks on a fixed grid, no drift, clean stops.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "MidiRig.h"
#include "midi/LoopTimer.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct TickLog {
    std::mutex m;
    std::vector<Clock::time_point> times;
    void add() {
        std::lock_guard<std::mutex> g(m);
        times.push_back(Clock::now());
    }
    std::vector<Clock::time_point> get() {
        std::lock_guard<std::mutex> g(m);
        return times;
    }
};

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

TEST(LoopTimerTest, IntervalIs15000DivTempo) {
    tx::TLoopTimer t([] {});
    t.SetTempo(140);
    EXPECT_EQ(t.Interval(), 107);
    t.SetTempo(500);
    EXPECT_EQ(t.Interval(), 30);
    t.SetTempo(10);
    EXPECT_EQ(t.Interval(), 1500);
}

TEST(LoopTimerTest, TicksFallOnTheGridAndASlowTickDoesNotPushTheNextOnes) {
    TickLog log;
    // Each tick takes 12 ms of a 20 ms interval: a timer that slept one
    // interval after each tick would fall 12 ms behind every time.
    tx::TLoopTimer t([&] {
        log.add();
        std::this_thread::sleep_for(milliseconds(12));
    });
    t.SetInterval(20);
    t.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(1010));
    t.SetEnabled(false);
    Clock::time_point anchor = t.Anchor();
    std::vector<Clock::time_point> times = log.get();
    int64_t skipped = t.SkippedTicks();
    ASSERT_GE(times.size() + size_t(skipped), 49u);
    EXPECT_LE(times.size() + size_t(skipped), 51u);
    EXPECT_LE(skipped, 3);  // a loaded machine may drop one now and then
    // Every tick comes at or shortly after its grid time, never early.
    int64_t n = 1;
    for (Clock::time_point at : times) {
        double late = msBetween(anchor + milliseconds(20) * n, at);
        while (late > 20 && skipped > 0) {  // a skipped tick: this one belongs further on
            ++n;
            --skipped;
            late = msBetween(anchor + milliseconds(20) * n, at);
        }
        EXPECT_GE(late, 0.0) << "tick " << n;
        EXPECT_LT(late, 15.0) << "tick " << n;
        ++n;
    }
}

TEST(LoopTimerTest, ATickLongerThanTheIntervalSkipsRatherThanBunching) {
    TickLog log;
    tx::TLoopTimer t([&] {
        log.add();
        std::this_thread::sleep_for(milliseconds(45));
    });
    t.SetInterval(20);
    t.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(500));
    t.SetEnabled(false);
    std::vector<Clock::time_point> times = log.get();
    ASSERT_GE(times.size(), 5u);
    // Ticks stay on the 20 ms grid, 60 ms apart (two skipped each time).
    for (size_t i = 1; i < times.size(); ++i) {
        double gap = msBetween(times[i - 1], times[i]);
        EXPECT_GT(gap, 50.0);
        EXPECT_LT(gap, 75.0);
    }
    EXPECT_GE(t.SkippedTicks(), 2 * int64_t(times.size() - 1));
}

TEST(LoopTimerTest, DisablingStopsTheTicksAndEnablingStartsANewGrid) {
    std::atomic<int> ticks{0};
    tx::TLoopTimer t([&] { ++ticks; });
    t.SetInterval(10);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(ticks, 0);  // never enabled
    t.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(105));
    t.SetEnabled(false);
    int seen = ticks;
    EXPECT_GE(seen, 8);
    EXPECT_LE(seen, 11);
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(ticks, seen);
    // A long interval, re-enabled: the first tick comes one interval after enabling.
    t.SetInterval(200);
    t.SetEnabled(true);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(ticks, seen);
}

TEST(LoopTimerTest, AChangedIntervalCountsFromTheLastTick) {
    TickLog log;
    tx::TLoopTimer t([&] { log.add(); });
    t.SetInterval(30);
    t.SetEnabled(true);
    Clock::time_point anchor = t.Anchor();
    std::this_thread::sleep_for(milliseconds(75));  // ticks at 30 and 60
    t.SetInterval(100);                             // next at 60 + 100
    std::this_thread::sleep_for(milliseconds(140));
    t.SetEnabled(false);
    std::vector<Clock::time_point> times = log.get();
    ASSERT_EQ(times.size(), 3u);
    EXPECT_NEAR(msBetween(anchor, times[2]), 160.0, 12.0);
}

// --- driving the engine in "Midi only" mode
class LoopTimerEngineTest : public ::testing::Test, public txtest::MidiRig {
protected:
    void SetUp() override {
        Midi(0, 36, 9).Pattern(1).StepMask = 0xFFFF;
        timer = std::make_unique<tx::TLoopTimer>(*engine);
    }
    void TearDown() override { timer.reset(); }
    std::unique_ptr<tx::TLoopTimer> timer;
};

TEST_F(LoopTimerEngineTest, StartEnablesTheTimerAndTempoSetsItsInterval) {
    engine->SetTempo(500);  // 30 ms a step
    EXPECT_EQ(timer->Interval(), 30);
    engine->Start();
    EXPECT_TRUE(timer->Enabled());
    std::this_thread::sleep_for(milliseconds(100));  // steps at 30, 60, 90
    engine->Stop();
    EXPECT_FALSE(timer->Enabled());
    int notes = 0;
    for (const auto& m : port->Messages()) notes += (m[0] & 0xF0) == 0x90;
    EXPECT_GE(notes, 2);
    EXPECT_LE(notes, 4);
    EXPECT_EQ(engine->CurrentStep, -1);
}

TEST_F(LoopTimerEngineTest, ATickThatFellDueDuringStopPlaysNothing) {
    engine->SetTempo(500);
    engine->Start();
    port->Clear();
    {
        // Hold the lock across a due tick, then stop while it waits for it.
        tx::TLockGuard g(&lock);
        std::this_thread::sleep_for(milliseconds(45));
        engine->Stop();
    }
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(engine->CurrentStep, -1);
    EXPECT_TRUE(port->Messages().empty());
}

TEST_F(LoopTimerEngineTest, WavOnlyModeLeavesTheTimerOff) {
    engine->UseWAVOnly = true;
    engine->Start();
    EXPECT_FALSE(timer->Enabled());
    engine->Stop();
}

}  // namespace
