// The "Midi only" step timer: ticks on a fixed grid, no drift, clean stops.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
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

// The main thread of a test may itself wake late on a busy machine, so counts
// are checked against the time it really let pass, not the time it asked for.

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
    Clock::time_point off = Clock::now();
    t.SetEnabled(false);
    Clock::time_point anchor = t.Anchor();
    std::vector<Clock::time_point> times = log.get();
    int64_t skipped = t.SkippedTicks();
    const double due = std::floor(msBetween(anchor, off) / 20);
    EXPECT_NEAR(double(times.size() + size_t(skipped)), due, 1.0);
    EXPECT_LE(skipped, 3);  // a loaded machine may drop one now and then
    // Every tick comes at or shortly after its grid time, never early.
    int64_t n = 1;
    int late15 = 0;
    for (Clock::time_point at : times) {
        double late = msBetween(anchor + milliseconds(20) * n, at);
        while (late > 20 && skipped > 0) {  // a skipped tick: this one belongs further on
            ++n;
            --skipped;
            late = msBetween(anchor + milliseconds(20) * n, at);
        }
        EXPECT_GE(late, 0.0) << "tick " << n;
        late15 += late >= 15.0;
        ++n;
    }
    EXPECT_LE(late15, 2);
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
    Clock::time_point anchor = t.Anchor();
    ASSERT_GE(times.size(), 4u);
    // A tick never follows the end of a 45 ms one at once: the grid points it
    // overran are dropped and the next comes at 60 ms, on the 20 ms grid.
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(msBetween(times[i - 1], times[i]), 48.0) << "tick " << i;
        double phase = std::fmod(msBetween(anchor, times[i]), 20.0);
        EXPECT_LT(phase, 15.0) << "tick " << i;
    }
    EXPECT_GE(t.SkippedTicks(), 2 * int64_t(times.size() - 1));
}

TEST(LoopTimerTest, AChangedIntervalCountsFromTheLastTickAndDisablingStopsTheTicks) {
    TickLog log;
    tx::TLoopTimer t([&] { log.add(); });
    t.SetInterval(30);
    std::this_thread::sleep_for(milliseconds(40));
    EXPECT_TRUE(log.get().empty());  // never enabled
    t.SetEnabled(true);
    Clock::time_point anchor = t.Anchor();
    std::this_thread::sleep_for(milliseconds(75));  // between the ticks at 60 and 90
    Clock::time_point change = Clock::now();
    t.SetInterval(100);
    std::this_thread::sleep_for(milliseconds(160));
    t.SetEnabled(false);
    std::vector<Clock::time_point> times = log.get();
    // The ticks before the change were on the 30 ms grid; the next one comes
    // 100 ms after the last grid point before the change.
    const int64_t before = int64_t(std::floor(msBetween(anchor, change) / 30));
    ASSERT_GT(times.size(), size_t(before));
    const double expected = 30.0 * double(before) + 100.0;
    EXPECT_GE(msBetween(anchor, times[size_t(before)]), expected - 0.5);
    EXPECT_LT(msBetween(anchor, times[size_t(before)]), expected + 15.0);
    std::this_thread::sleep_for(milliseconds(20));  // a tick already under way lands
    const size_t seen = log.get().size();
    std::this_thread::sleep_for(milliseconds(120));
    EXPECT_EQ(log.get().size(), seen);
    // Enabled again: a new grid, whose first tick comes one interval later.
    t.SetInterval(200);
    const Clock::time_point on = Clock::now();
    t.SetEnabled(true);
    EXPECT_GE(t.Anchor(), on);
    std::this_thread::sleep_for(milliseconds(100));
    if (msBetween(on, Clock::now()) < 190) {
        EXPECT_EQ(log.get().size(), seen);
    }
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
    engine->SetTempo(140);  // 15000 div 140
    EXPECT_EQ(timer->Interval(), 107);
    engine->SetTempo(500);
    EXPECT_EQ(timer->Interval(), 30);
    engine->Start();
    EXPECT_TRUE(timer->Enabled());
    Clock::time_point on = timer->Anchor();
    std::this_thread::sleep_for(milliseconds(100));  // steps at 30, 60, 90
    Clock::time_point off = Clock::now();
    engine->Stop();
    EXPECT_FALSE(timer->Enabled());
    int notes = 0;
    for (const auto& m : port->Messages()) notes += (m[0] & 0xF0) == 0x90;
    EXPECT_NEAR(notes, std::floor(msBetween(on, off) / 30), 1.0);
    EXPECT_EQ(engine->CurrentStep, -1);
    engine->UseWAVOnly = true;  // the mixer's steps: no timer
    engine->Start();
    EXPECT_FALSE(timer->Enabled());
    engine->Stop();
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

}  // namespace
