#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/EngineLock.h"

using namespace tx;

TEST(EngineLock, BlockFramesAreMultiplesOf576) {
    EXPECT_EQ(BlockFramesFor(4410), 4032);
    EXPECT_EQ(BlockFramesFor(100), 576);
    EXPECT_EQ(BlockFramesFor(1152), 1152);
    EXPECT_EQ(BlockFramesFor(0), 576);
    TEngineLock l;
    l.SetBufferLength(4410);
    EXPECT_EQ(l.BlockFrames, 4032);
    EXPECT_EQ(l.MixBytes, 4032 * 8);
    EXPECT_EQ(l.MixBuffer.size(), 4032u * 2);
    EXPECT_EQ(l.ScratchBuffer.size(), 4032u * 2);
    EXPECT_EQ(l.ScopeSample.Length, 4032);
    l.SetBufferLength(1152);
    EXPECT_EQ(l.ScopeSample.Data.size(), 1152u * 2);
    for (int32_t v : l.MixBuffer) ASSERT_EQ(v, 0);
}

TEST(EngineLock, NestedSuspendCallsEachHookOnce) {
    TEngineLock l;
    int stops = 0, restarts = 0, resizes = 0;
    l.StopHook = [&] { ++stops; };
    l.RestartHook = [&] { ++restarts; };
    l.ResizeHook = [&] { ++resizes; };
    l.SuspendOutput();
    l.SuspendOutput();
    EXPECT_EQ(stops, 1);
    l.ResumeOutput();
    EXPECT_EQ(restarts, 0);
    l.SetBufferLength(2000);  // inside a suspension: no extra stop or restart
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(stops, 1);
    l.ResumeOutput();
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(l.SuspendCount, 0);
}

TEST(EngineLock, SuspendHoldsTheLockAgainstOtherThreads) {
    TEngineLock l;
    l.SuspendOutput();
    std::atomic<bool> entered{false};
    std::thread t([&] {
        l.Lock();
        entered = true;
        l.Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered.load());
    l.ResumeOutput();
    t.join();
    EXPECT_TRUE(entered.load());
}

// The hold timing counts the outermost hold of window threads only, nested
// locks as part of it, and nothing while it is off.
TEST(EngineLock, HoldTimingMeasuresWindowHoldsOnly) {
    using namespace std::chrono_literals;
    TEngineLock l;
    auto hold = [&l](std::chrono::milliseconds d) {
        l.Lock();
        l.Lock();
        l.Unlock();  // an inner unlock ends nothing
        std::this_thread::sleep_for(d);
        l.Unlock();
    };
    hold(30ms);  // not timed yet
    l.StartHoldTiming();
    EXPECT_EQ(l.LongestHold().count(), 0);
    std::thread playback([&] {
        TEngineLock::MarkPlaybackThread();
        hold(40ms);
    });
    playback.join();
    EXPECT_LT(l.LongestHold(), 5ms);
    hold(8ms);
    hold(2ms);
    EXPECT_GE(l.LongestHold(), 8ms);
    EXPECT_LT(l.LongestHold(), 30ms);
    l.StopHoldTiming();
    hold(40ms);
    EXPECT_LT(l.LongestHold(), 30ms);
}
