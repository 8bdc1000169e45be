// The streaming output against the null device driven by hand: the device
// buffer's halves and notification positions, the mixing thread, the output
// hooks, underruns, the CPU figure and the failures.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <new>
#include <thread>
#include <tuple>

#include "engine/NullAudioDevice.h"
#include "engine/Streaming.h"

using namespace tx;
using namespace std::chrono_literals;

namespace {

// Allocation trap for the real-time paths: counts operator new calls made on
// threads that asked to be watched. Not under the sanitizers, which bring their own.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool AllocTrap = false;
#else
constexpr bool AllocTrap = true;
#endif
thread_local bool watchAllocations = false;
std::atomic<int> watchedAllocations{0};

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The replacement pair is malloc/free underneath; GCC cannot see that they match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    if (watchAllocations) watchedAllocations.fetch_add(1);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

// Stamps every block it mixes: left = the block's number (1, 2, ...), right =
// the frame's index inside the block, so the output shows which block played
// where. MixBlock can be held at a gate to make the mixer late on purpose.
class TStampSource : public TBlockSource {
public:
    void MixBlock() override {
        if (trapAllocations) watchAllocations = true;
        std::unique_lock<std::mutex> l(m_);
        waiting_ = true;
        cv_.notify_all();
        cv_.wait(l, [&] { return open_; });
        waiting_ = false;
        ++blocks_;
        if (workNs > 0) {
            auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(workNs);
            while (std::chrono::steady_clock::now() < until) {
            }
        }
    }
    void ConvertBlock(int32_t fromFrame, int16_t* out, int32_t, int32_t byteCount) override {
        for (int32_t i = 0; i < byteCount / 4; ++i) {
            out[2 * i] = int16_t(blocks_);
            out[2 * i + 1] = int16_t(fromFrame + i);
        }
    }
    int VoiceCount() const override { return 7; }

    void Close() {
        std::lock_guard<std::mutex> l(m_);
        open_ = false;
    }
    void Open() {
        std::lock_guard<std::mutex> l(m_);
        open_ = true;
        cv_.notify_all();
    }
    bool WaitUntilHeld(std::chrono::milliseconds t = 5s) {
        std::unique_lock<std::mutex> l(m_);
        return cv_.wait_for(l, t, [&] { return waiting_ && !open_; });
    }

    int64_t workNs = 0;
    std::atomic<bool> trapAllocations{false};

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = true;
    bool waiting_ = false;
    int blocks_ = 0;  // mixing thread only
};

class StreamingTest : public ::testing::Test {
protected:
    void StartWith(int32_t bufferFrames, int32_t aheadFrames) {
        streaming.SetWatchdog(0);
        streaming.EnumerateDevices();
        streaming.SetAheadLength(aheadFrames);
        streaming.Start(bufferFrames);
        ASSERT_TRUE(streaming.DeviceOpen());
        device = system.LastDevice();
        ASSERT_NE(device, nullptr);
        device->SetCapture(true);
        ASSERT_TRUE(WaitWritten(Due())) << "the mixer did not write the first block";
    }

    // The block the mixer must have written by now, from the cursor.
    int64_t Due() const {
        const TStreamBuffer& b = streaming.Buffer();
        return (b.Cursor() + b.AheadFrames()) / b.BlockFrames();
    }
    bool WaitWritten(int64_t block) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (streaming.LastBlockWritten() < block) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(100us);
        }
        return true;
    }
    bool WaitMixed(int64_t n) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (streaming.BlocksMixed() < base + n) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(100us);
        }
        return true;
    }
    // Plays like a punctual device: one period at a time, letting the mixer
    // finish each block it was woken for.
    void Play(int64_t frames, int32_t period = 0) {
        if (period <= 0) period = device->PeriodFrames();
        while (frames > 0) {
            const int32_t n = int32_t(std::min<int64_t>(period, frames));
            ASSERT_TRUE(device->Process(n));
            frames -= n;
            ASSERT_TRUE(WaitWritten(Due())) << "mixer stuck";
        }
    }
    int32_t WriteOffsetNow() {
        TLockGuard g(&lock);
        return streaming.WriteOffset;
    }

    TEngineLock lock;
    TStampSource source;
    TNullAudioSystem system{false};
    TStreaming streaming{lock, source, system};
    TNullAudioDevice* device = nullptr;
    int64_t base = 0;
};

// Frames [from, from + n) of the capture hold block `block`, from frame `first` of it.
::testing::AssertionResult HoldsBlock(const std::vector<int16_t>& cap, size_t from, size_t n, int block,
                                      int first = 0) {
    if (cap.size() < (from + n) * 2) return ::testing::AssertionFailure() << "capture too short";
    for (size_t i = 0; i < n; ++i) {
        if (cap[(from + i) * 2] != block || cap[(from + i) * 2 + 1] != int16_t(first + int(i))) {
            return ::testing::AssertionFailure() << "frame " << from + i << " is (" << cap[(from + i) * 2] << ", "
                                                 << cap[(from + i) * 2 + 1] << "), expected (" << block << ", "
                                                 << first + int(i) << ")";
        }
    }
    return ::testing::AssertionSuccess();
}
::testing::AssertionResult Silent(const std::vector<int16_t>& cap, size_t from, size_t n) {
    for (size_t i = from * 2; i < (from + n) * 2; ++i) {
        if (i >= cap.size()) return ::testing::AssertionFailure() << "capture too short";
        if (cap[i] != 0) return ::testing::AssertionFailure() << "frame " << i / 2 << " not silent";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// ---------------------------------------------------------------- the model as numbers

TEST(StreamingModel, NotificationsForBuffer4410Ahead2000) {
    const int32_t b = BlockFramesFor(4410);
    ASSERT_EQ(b, 4032);
    const int32_t bufferBytes = b * 8;  // two halves of 4-byte frames
    EXPECT_EQ(bufferBytes, 32256);
    TNotifyPositions n = NotificationPositions(bufferBytes, 2000 * 4);
    EXPECT_EQ(n.First, 24256);  // (0 + 32256 - 8000) mod 32256
    EXPECT_EQ(n.Second, 8128);  // (16128 + 32256 - 8000) mod 32256
    EXPECT_EQ(WriteOffsetFor(8128, 8000, bufferBytes), 16128);
    EXPECT_EQ(WriteOffsetFor(24256, 8000, bufferBytes), 0);
}

TEST(StreamingModel, AheadIsKeptWithinOneBlockAndAtLeastOnePeriod) {
    EXPECT_EQ(EffectiveAheadFrames(4410, 4032, 0), 4032);  // the stored defaults
    EXPECT_EQ(EffectiveAheadFrames(2000, 4032, 128), 2000);
    EXPECT_EQ(EffectiveAheadFrames(100, 576, 128), 128);
    EXPECT_EQ(EffectiveAheadFrames(0, 576, 0), 1);
    // With the ahead length equal to the block the notifications fall on the half starts.
    TNotifyPositions n = NotificationPositions(32256, 4032 * 4);
    EXPECT_EQ(n.First, 16128);
    EXPECT_EQ(n.Second, 0);
}

TEST(StreamingModel, DevicePeriodIsAQuarterOfTheAheadInStepsOf32) {
    EXPECT_EQ(DevicePeriodFor(2000), 480);
    EXPECT_EQ(DevicePeriodFor(576), 128);
    EXPECT_EQ(DevicePeriodFor(100), 64);
    EXPECT_EQ(DevicePeriodFor(22050), 1024);
}

TEST(StreamingModel, CpuUsageRoundsToNearestEven) {
    EXPECT_EQ(CpuUsagePercent(0, 1000, 1050), 5);
    EXPECT_EQ(CpuUsagePercent(0, 1000, 1025), 2);  // 2.5
    EXPECT_EQ(CpuUsagePercent(0, 1000, 1035), 4);  // 3.5
    EXPECT_EQ(CpuUsagePercent(500, 500, 900), 0);  // period 0
}

TEST(StreamingModel, CpuUsageText) {
    EXPECT_EQ(CpuUsageText(5, false, 3), "05%");
    EXPECT_EQ(CpuUsageText(42, false, 3), "42%");
    EXPECT_EQ(CpuUsageText(0, true, 3), "");
    EXPECT_EQ(CpuUsageText(12, true, 3), "12% (3 samples)");
    EXPECT_EQ(CpuUsageText(100, false, 0), "00%");  // the last two digits
    EXPECT_EQ(UnderrunText(3), "underruns: 3");
}

TEST(StreamingModel, MillisecondConversions) {
    EXPECT_EQ(MsToFrames(100), 4410);
    EXPECT_EQ(FramesToMs(4410), 100);
    EXPECT_EQ(FramesToMs(576), 13);
}

// ---------------------------------------------------------------- playing through the null device

TEST_F(StreamingTest, WakeUpsAtTheTwoNotificationPositionsWriteTheOtherHalf) {
    StartWith(4410, 2000);
    const TStreamBuffer& b = streaming.Buffer();
    ASSERT_EQ(b.BufferBytes(), 32256);
    ASSERT_EQ(b.AheadBytes(), 8000);
    // Started the ahead distance before the first half: on the notification at 24256.
    EXPECT_EQ(b.PlayCursorBytes(), 24256);
    EXPECT_EQ(WriteOffsetNow(), 0);

    ASSERT_TRUE(device->Process(2000));  // the cleared tail of the second half
    ASSERT_TRUE(device->Process(2032));  // into the first half, up to byte 8128
    EXPECT_EQ(b.PlayCursorBytes(), 8128);
    ASSERT_TRUE(WaitMixed(2));
    EXPECT_EQ(WriteOffsetNow(), 16128);

    ASSERT_TRUE(device->Process(4032));
    EXPECT_EQ(b.PlayCursorBytes(), 24256);
    ASSERT_TRUE(WaitMixed(3));
    EXPECT_EQ(WriteOffsetNow(), 0);
    Play(2000 + 4032);

    std::vector<int16_t> cap = device->Captured();
    EXPECT_TRUE(Silent(cap, 0, 2000));
    EXPECT_TRUE(HoldsBlock(cap, 2000, 4032, 1));
    EXPECT_TRUE(HoldsBlock(cap, 2000 + 4032, 4032, 2));
    EXPECT_TRUE(HoldsBlock(cap, 2000 + 2 * 4032, 4032, 3));
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, StoredDefaultsClampTheAheadToOneBlock) {
    StartWith(4410, 4410);
    const TStreamBuffer& b = streaming.Buffer();
    EXPECT_EQ(b.BlockFrames(), 4032);
    EXPECT_EQ(b.AheadFrames(), 4032);
    EXPECT_EQ(b.PlayCursorBytes(), 16128);  // a whole cleared half first
    EXPECT_EQ(device->PeriodFrames(), 992);
    Play(4032 * 5);
    std::vector<int16_t> cap = device->Captured();
    EXPECT_TRUE(Silent(cap, 0, 4032));
    for (int k = 1; k <= 4; ++k) EXPECT_TRUE(HoldsBlock(cap, size_t(k) * 4032, 4032, k)) << "block " << k;
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, ADeviceThatFillsAheadOfTheFirstBlockHearsSilenceAndMissesNothing) {
    // Like ALSA at start: many periods asked for at once, before the mixing
    // thread has written anything.
    source.Close();
    streaming.SetWatchdog(0);
    streaming.EnumerateDevices();
    streaming.SetAheadLength(576);
    streaming.Start(576);
    ASSERT_TRUE(streaming.DeviceOpen());
    device = system.LastDevice();
    device->SetCapture(true);
    ASSERT_TRUE(source.WaitUntilHeld());
    const int64_t cursor = streaming.Buffer().Cursor();
    ASSERT_TRUE(device->Process(576 * 4));
    EXPECT_EQ(streaming.Buffer().Cursor(), cursor);
    source.Open();
    ASSERT_TRUE(WaitWritten(Due()));
    Play(576 * 4);
    std::vector<int16_t> cap = device->Captured();
    EXPECT_TRUE(Silent(cap, 0, 576 * 5));  // the wait, then the cleared lead-in
    for (int k = 1; k <= 3; ++k) EXPECT_TRUE(HoldsBlock(cap, size_t(576 * (4 + k)), 576, k)) << "block " << k;
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, ASmallBlockWithTheStoredAheadAsksForAPeriodThatFits) {
    StartWith(576, 4410);
    EXPECT_EQ(device->PeriodFrames(), 128);  // a quarter of the clamped ahead, 576
    EXPECT_EQ(streaming.Buffer().AheadFrames(), 576);
    Play(576 * 4);
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, UnevenDevicePeriodsStillPlayEveryBlockInOrder) {
    StartWith(1152, 700);
    const int periods[] = {1, 77, 500, 13, 700, 3};
    int64_t total = 0;
    for (int round = 0; round < 40; ++round) {
        const int32_t n = periods[round % 6];
        Play(n, n);
        total += n;
    }
    std::vector<int16_t> cap = device->Captured();
    ASSERT_EQ(int64_t(cap.size()), total * 2);
    EXPECT_TRUE(Silent(cap, 0, 700));
    const int64_t whole = (total - 700) / 1152;
    for (int k = 1; k <= whole; ++k) EXPECT_TRUE(HoldsBlock(cap, 700 + size_t(k - 1) * 1152, 1152, k)) << k;
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, NestedSuspendStopsOnceAndRestartsClearedOnce) {
    StartWith(576, 576);
    Play(576 * 3);  // silence, blocks 1 and 2; blocks 3 and 4 are written and waiting
    const int32_t stops = streaming.OutputStops();
    const int32_t restarts = streaming.OutputRestarts();
    lock.SuspendOutput();
    lock.SuspendOutput();
    EXPECT_EQ(streaming.OutputStops(), stops + 1);
    const int64_t cursor = streaming.Buffer().Cursor();
    ASSERT_TRUE(device->Process(300));  // the device keeps asking; it gets silence
    EXPECT_EQ(streaming.Buffer().Cursor(), cursor);
    lock.ResumeOutput();
    EXPECT_EQ(streaming.OutputRestarts(), restarts);
    ASSERT_TRUE(device->Process(300));
    EXPECT_EQ(streaming.Buffer().Cursor(), cursor);
    lock.ResumeOutput();
    EXPECT_EQ(streaming.OutputStops(), stops + 1);
    EXPECT_EQ(streaming.OutputRestarts(), restarts + 1);
    // Restarted at the notification before the first half, in the half that
    // held block 3: it must play as silence, not as the stale block.
    EXPECT_EQ(streaming.Buffer().PlayCursorBytes(), 576 * 4);
    ASSERT_TRUE(WaitWritten(Due()));
    Play(576 * 2);
    std::vector<int16_t> cap = device->Captured();
    ASSERT_EQ(cap.size(), size_t(576 * 3 + 600 + 576 * 2) * 2);
    EXPECT_TRUE(HoldsBlock(cap, 576 * 2, 576, 2));
    EXPECT_TRUE(Silent(cap, 576 * 3, 600));
    EXPECT_TRUE(Silent(cap, 576 * 3 + 600, 576));
    EXPECT_TRUE(HoldsBlock(cap, 576 * 4 + 600, 576, 5));  // blocks 3 and 4 were cleared away unheard
    EXPECT_EQ(streaming.UnderrunCount(), 0);
}

TEST_F(StreamingTest, ALateBlockCountsOnceAndItsRestIsHeard) {
    std::atomic<int> posted{0};
    streaming.PostUnderrunChange = [&] { posted.fetch_add(1); };
    StartWith(576, 576);
    // Block k plays at frames [576 k, 576 k + 576); with the ahead length one
    // block, block k + 1 is due when block k starts.
    Play(576 * 2);  // silence, block 1; blocks 2 and 3 are written
    EXPECT_EQ(streaming.UnderrunCount(), 0);

    source.Close();
    ASSERT_TRUE(device->Process(576));  // block 2 plays; block 4 is due and the mixer is held
    ASSERT_TRUE(source.WaitUntilHeld());
    ASSERT_TRUE(device->Process(576));  // block 3 plays; the wake-up for block 5 waits
    ASSERT_TRUE(device->Process(100));  // 100 frames into block 4, which is not there
    EXPECT_EQ(streaming.UnderrunCount(), 1);
    source.Open();
    ASSERT_TRUE(WaitMixed(5));  // block 4 late, then block 5 on the waiting wake-up
    Play(476);
    Play(576 * 6);
    EXPECT_EQ(streaming.UnderrunCount(), 1);
    EXPECT_EQ(posted.load(), 1);

    std::vector<int16_t> cap = device->Captured();
    EXPECT_TRUE(HoldsBlock(cap, 576 * 3, 576, 3));
    EXPECT_TRUE(Silent(cap, 576 * 4, 100));
    EXPECT_TRUE(HoldsBlock(cap, 576 * 4 + 100, 476, 4, 100));
    for (int k = 5; k <= 10; ++k) EXPECT_TRUE(HoldsBlock(cap, 576 * size_t(k), 576, k)) << k;
}

TEST_F(StreamingTest, ABlockMissedWholeCountsAsLateToo) {
    StartWith(576, 576);
    Play(576);  // silence; block 2 is written
    source.Close();
    ASSERT_TRUE(device->Process(576));  // block 1 plays; block 3 is due and the mixer is held
    ASSERT_TRUE(source.WaitUntilHeld());
    ASSERT_TRUE(device->Process(576 * 2 + 10));  // block 2, then the places of blocks 3 and 4
    EXPECT_EQ(streaming.UnderrunCount(), 2);
    source.Open();
    ASSERT_TRUE(WaitMixed(4));  // block 3 (never heard), then the next one, for place 5
    Play(566 + 576 * 4);
    EXPECT_EQ(streaming.UnderrunCount(), 2);
    std::vector<int16_t> cap = device->Captured();
    EXPECT_TRUE(Silent(cap, 576 * 3, 576 * 2));
    EXPECT_TRUE(HoldsBlock(cap, 576 * 5, 576, 4));
    EXPECT_TRUE(HoldsBlock(cap, 576 * 6, 576, 5));
}

TEST_F(StreamingTest, DropoutsTheDeviceReportsAreUnderrunsUnlessOutputIsStopped) {
    std::atomic<int> posted{0};
    streaming.PostUnderrunChange = [&] { posted.fetch_add(1); };
    StartWith(576, 576);
    Play(576 * 2);
    device->ReportDropout();  // as RtAudio's output-underflow status after a JACK xrun
    device->ReportDropout();
    Play(576);  // every block on time: only the device's word tells of the break
    EXPECT_EQ(streaming.UnderrunCount(), 2);
    EXPECT_EQ(posted.load(), 1);
    TSuspendGuard suspended(lock);  // a render: the device plays silence
    device->ReportDropout();
    ASSERT_TRUE(device->Process(576));
    EXPECT_EQ(streaming.UnderrunCount(), 2);
}

TEST_F(StreamingTest, TheWindowReadsTheCountersWhileARenderHoldsTheLock) {
    streaming.SetTiming(true);
    source.workNs = 1000000;
    StartWith(576, 576);
    for (int i = 0; i < 3; ++i, std::this_thread::sleep_for(5ms)) Play(576);
    std::promise<void> held, release;
    std::thread render([&] {
        TSuspendGuard g(lock);
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    auto read = std::async(std::launch::async, [&] {
        return std::make_tuple(streaming.UnderrunCount(), streaming.CpuUsageDisplay(true),
                               streaming.AverageCpuPercent(), streaming.AudibleFrame());
    });
    const bool answered = read.wait_for(2s) == std::future_status::ready;
    release.set_value();
    render.join();
    ASSERT_TRUE(answered) << "a counter waited for the engine lock";
    const auto [underruns, text, average, audible] = read.get();
    EXPECT_EQ(underruns, 0);
    EXPECT_NE(text.find("% (7 samples)"), std::string::npos) << text;
    EXPECT_GT(average, 0.0);
    EXPECT_NE(audible, EverythingAudible);
}

TEST_F(StreamingTest, CpuDisplayShowsTheLastWakeUpAndTheVoicesInFastMode) {
    streaming.SetTiming(true);
    source.workNs = 2000000;  // 2 ms of work a block
    StartWith(576, 576);
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(10ms);
        Play(576);
    }
    const int32_t usage = streaming.CpuUsage();
    EXPECT_GT(usage, 0);
    EXPECT_LE(usage, 100);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%02d%%", usage % 100);
    const std::string slow = streaming.CpuUsageDisplay(false);
    const std::string fast = streaming.CpuUsageDisplay(true);
    EXPECT_EQ(slow.size(), 3u) << slow;
    EXPECT_EQ(fast.substr(3), " (7 samples)") << fast;
    EXPECT_GT(streaming.AverageCpuPercent(), 0.0);
}

TEST_F(StreamingTest, CloseWhileTheMixerWaitsForTheLockReturns) {
    StartWith(576, 576);
    Play(576);
    auto done = std::async(std::launch::async, [&] {
        lock.Lock();
        device->Process(576);  // wakes the mixer, which now waits for the lock
        std::this_thread::sleep_for(20ms);
        streaming.CloseDevice();  // called with the lock still held once
        lock.Unlock();
    });
    if (done.wait_for(10s) != std::future_status::ready) {
        std::fprintf(stderr, "CloseDevice deadlocked against the mixing thread\n");
        std::_Exit(1);
    }
    EXPECT_FALSE(streaming.DeviceOpen());
    EXPECT_FALSE(streaming.MixThreadRunning());
    EXPECT_EQ(lock.SuspendCount, 0);
    EXPECT_FALSE(bool(lock.StopHook));
    // The lock is free and output can be suspended with no device.
    lock.SuspendOutput();
    lock.ResumeOutput();
}

TEST_F(StreamingTest, CloseInsideAnOuterSuspensionKeepsItsCount) {
    StartWith(576, 576);
    lock.SuspendOutput();
    streaming.CloseDevice();
    EXPECT_EQ(lock.SuspendCount, 1);
    lock.ResumeOutput();
    EXPECT_EQ(lock.SuspendCount, 0);
}

TEST_F(StreamingTest, ADeviceThatDisappearsEndsStreamingAndLeavesTheLockUsable) {
    std::atomic<int> lostCalls{0};
    streaming.OnDeviceLost = [&] { lostCalls.fetch_add(1); };
    StartWith(576, 576);
    streaming.SetWatchdog(50);
    Play(576 * 2);
    device->Disappear();
    auto until = std::chrono::steady_clock::now() + 5s;
    while (!streaming.DeviceLost() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(streaming.DeviceLost());
    until = std::chrono::steady_clock::now() + 5s;
    while (streaming.MixThreadRunning() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(streaming.MixThreadRunning());
    EXPECT_EQ(lostCalls.load(), 1);
    EXPECT_NE(streaming.LostMessage().find("Sound output stopped: the null output was removed"), std::string::npos)
        << streaming.LostMessage();
    // What a render does, before and after the device is released.
    lock.SuspendOutput();
    lock.ResumeOutput();
    streaming.CloseDevice();
    EXPECT_FALSE(streaming.DeviceOpen());
    EXPECT_TRUE(streaming.DeviceLost());
    EXPECT_NE(streaming.LostMessage().find("the null output was removed"), std::string::npos);
    lock.SuspendOutput();
    lock.ResumeOutput();
}

TEST_F(StreamingTest, TheDeviceCallbackAndTheMixingThreadAllocateNothing) {
    if (!AllocTrap) GTEST_SKIP() << "the sanitizers replace operator new";
    StartWith(576, 576);
    source.trapAllocations = true;
    Play(576 * 3);  // the mixing thread watches itself from its next block on
    std::vector<int16_t> out(576 * 2);
    watchedAllocations.store(0);
    watchAllocations = true;
    for (int i = 0; i < 8; ++i) {
        streaming.Buffer().Pull(out.data(), 144);
        ASSERT_TRUE(WaitWritten(Due()));
    }
    watchAllocations = false;
    EXPECT_EQ(watchedAllocations.load(), 0);
}

// ---------------------------------------------------------------- failures and "-none-"

class TConfigurableSystem : public TNullAudioSystem {
public:
    std::function<void(TNullAudioDevice&)> Arm;
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override {
        auto d = std::make_unique<TNullAudioDevice>(false);
        if (Arm) Arm(*d);
        made = d.get();
        (void)api;
        return d;
    }
    TNullAudioDevice* made = nullptr;
};

struct TOpenFailureCase {
    TDeviceFailure failure;
    const char* message;
};

class StreamingOpenFailure : public ::testing::TestWithParam<TOpenFailureCase> {};

TEST_P(StreamingOpenFailure, RaisesTheMessageOfItsKind) {
    TEngineLock lock;
    TStampSource source;
    TConfigurableSystem system;
    const TDeviceFailure failure = GetParam().failure;
    system.Arm = [&](TNullAudioDevice& d) { d.FailNextOpen(failure); };
    TStreaming s(lock, source, system);
    s.EnumerateDevices();
    try {
        s.OpenDevice();
        FAIL() << "no error raised";
    } catch (const TStreamingError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
        EXPECT_FALSE(e.Detail.empty());
    }
    EXPECT_FALSE(s.DeviceOpen());
    EXPECT_FALSE(bool(lock.StopHook));
}

INSTANTIATE_TEST_SUITE_P(Kinds, StreamingOpenFailure,
                         ::testing::Values(TOpenFailureCase{TDeviceFailure::Refused, ErrCooperativeLevel},
                                           TOpenFailureCase{TDeviceFailure::Format, ErrPrimaryBuffer},
                                           TOpenFailureCase{TDeviceFailure::StreamFailed, ErrStreamingBuffer}));

TEST(StreamingFailures, MessageTextsAreTheProgramsOwn) {
    EXPECT_STREQ(ErrNotifications,
                 "Error while setting the DirectSound notifications\rBe sure you're using at least DirectX 5");
    EXPECT_STREQ(ErrNotificationEvent, "ERROR WHILE CREATING THE NOTIFICATION EVENT");
}

TEST(StreamingFailures, AStreamThatCannotStartRaisesTheStreamingBufferMessage) {
    TEngineLock lock;
    TStampSource source;
    TConfigurableSystem system;
    system.Arm = [](TNullAudioDevice& d) { d.FailNextStart(); };
    TStreaming s(lock, source, system);
    s.EnumerateDevices();
    EXPECT_THROW(
        {
            try {
                s.OpenDevice();
            } catch (const TStreamingError& e) {
                EXPECT_STREQ(e.what(), ErrStreamingBuffer);
                throw;
            }
        },
        TStreamingError);
    EXPECT_FALSE(s.DeviceOpen());
}

TEST(StreamingFailures, APeriodLongerThanTheBlockRaisesTheNotificationMessage) {
    TEngineLock lock;
    TStampSource source;
    TConfigurableSystem system;
    system.Arm = [](TNullAudioDevice& d) { d.ForcePeriod(1152); };
    TStreaming s(lock, source, system);
    s.SetWatchdog(0);
    s.EnumerateDevices();
    s.OpenDevice();
    ASSERT_TRUE(s.DeviceOpen());
    try {
        s.SetBufferLength(576);
        FAIL() << "no error raised";
    } catch (const TStreamingError& e) {
        EXPECT_STREQ(e.what(), ErrNotifications);
    }
    EXPECT_EQ(lock.SuspendCount, 0);
    EXPECT_EQ(lock.BlockFrames, 576);
    // A longer block takes that period.
    s.SetBufferLength(2304);
    EXPECT_TRUE(s.Buffer().Exists());
    EXPECT_EQ(s.Buffer().AheadFrames(), 2304);
    s.CloseDevice();
}

TEST(StreamingFailures, AMissingDeviceFallsBackToTheDefaultThenOpensNothingSilently) {
    TEngineLock lock;
    TStampSource source;
    TConfigurableSystem system;
    system.Arm = [](TNullAudioDevice& d) { d.FailNextOpen(TDeviceFailure::NoDevice); };
    TStreaming s(lock, source, system);
    s.EnumerateDevices();
    s.OpenDevice();  // the named device fails once, the default one opens
    EXPECT_TRUE(s.DeviceOpen());
    EXPECT_EQ(system.made->OpenedName(), NullDeviceName);
    s.CloseDevice();

    class TGoneSystem : public TNullAudioSystem {
    public:
        std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi) override {
            class TGone : public TNullAudioDevice {
            public:
                TDeviceResult Open(const std::string&, int32_t, TAudioSink&) override {
                    return {TDeviceFailure::NoDevice, "not there"};
                }
            };
            return std::make_unique<TGone>();
        }
    } gone;
    TStreaming s2(lock, source, gone);
    s2.EnumerateDevices();
    EXPECT_NO_THROW(s2.Start(4410));
    EXPECT_FALSE(s2.DeviceOpen());
    EXPECT_EQ(s2.LastError(), "not there");
    EXPECT_FALSE(s2.MixThreadRunning());
}

TEST(StreamingNone, NoneSelectedRunsNoThreadAndLeavesTheHooksEmpty) {
    TEngineLock lock;
    TStampSource source;
    TNullAudioSystem system;
    TStreaming s(lock, source, system);
    s.EnumerateDevices(1);  // "Null: Null output", then "-none-"
    ASSERT_EQ(s.DeviceList().size(), 2u);
    EXPECT_TRUE(s.DeviceList()[size_t(s.Selected())].None);
    s.Start(1152);
    EXPECT_FALSE(s.DeviceOpen());
    EXPECT_FALSE(s.MixThreadRunning());
    EXPECT_EQ(system.LastDevice(), nullptr);
    EXPECT_EQ(lock.BlockFrames, 1152);
    EXPECT_FALSE(bool(lock.StopHook));
    EXPECT_FALSE(bool(lock.RestartHook));
    EXPECT_FALSE(bool(lock.ResizeHook));
    lock.SuspendOutput();
    lock.ResumeOutput();
}

// ---------------------------------------------------------------- the device list

class TListedSystem : public TAudioSystem {
public:
    std::vector<TAudioDeviceInfo> jack, pulse, alsa;
    std::vector<TAudioApi> Apis() const override { return {TAudioApi::Jack, TAudioApi::Pulse, TAudioApi::Alsa}; }
    std::vector<TAudioDeviceInfo> Devices(TAudioApi api) override {
        switch (api) {
            case TAudioApi::Jack: return jack;
            case TAudioApi::Pulse: return pulse;
            case TAudioApi::Alsa: return alsa;
            default: return {};
        }
    }
    bool ServerAnswers(TAudioApi api) override { return !Devices(api).empty(); }
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi) override { return nullptr; }
};

class StreamingDeviceList : public ::testing::Test {
protected:
    std::vector<std::string> Descriptions() {
        std::vector<std::string> d;
        for (const auto& e : streaming.DeviceList()) d.push_back(e.Description);
        return d;
    }
    TEngineLock lock;
    TStampSource source;
    TListedSystem system;
    TStreaming streaming{lock, source, system};
};

TEST_F(StreamingDeviceList, ListsEverySystemInOrderThenNoneAndPrefersJack) {
    system.jack = {{"system", true}};
    system.pulse = {{"PulseAudio", true}};
    system.alsa = {{"hw:0,0", false}, {"default", true}};
    streaming.EnumerateDevices();
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{"JACK: system", "PulseAudio: PulseAudio", "ALSA: hw:0,0",
                                                         "ALSA: default", "-none-"}));
    EXPECT_EQ(streaming.Selected(), 0);
}

TEST_F(StreamingDeviceList, WithoutJackPulseAudioIsTheDefault) {
    system.pulse = {{"PulseAudio", true}};
    system.alsa = {{"default", true}};
    streaming.EnumerateDevices();
    EXPECT_EQ(streaming.Selected(), 0);
    EXPECT_EQ(streaming.DeviceList()[0].Api, TAudioApi::Pulse);
}

TEST_F(StreamingDeviceList, WithNoServerAlsaDefaultIsChosenByName) {
    system.alsa = {{"hw:0,0", true}, {"default", false}};
    streaming.EnumerateDevices();
    EXPECT_EQ(streaming.Selected(), 1);
}

TEST_F(StreamingDeviceList, NothingToPlayOnSelectsNone) {
    system.alsa = {{"hw:0,0", true}};
    streaming.EnumerateDevices();
    EXPECT_EQ(streaming.Selected(), 1);
    EXPECT_TRUE(streaming.DeviceList()[1].None);
}

TEST_F(StreamingDeviceList, AStoredIndexIsClampedToTheList) {
    system.jack = {{"system", true}};
    streaming.EnumerateDevices(7);
    EXPECT_EQ(streaming.Selected(), 1);
    streaming.EnumerateDevices(0);
    EXPECT_EQ(streaming.Selected(), 0);
}

TEST_F(StreamingDeviceList, SelectDeviceByNameOrTheSystemsDefault) {
    system.jack = {{"system", true}, {"other", false}};
    system.alsa = {{"hw:0,0", false}, {"default", true}};
    streaming.EnumerateDevices();
    EXPECT_TRUE(streaming.SelectDevice(TAudioApi::Jack, "other"));
    EXPECT_EQ(streaming.Selected(), 1);
    EXPECT_TRUE(streaming.SelectDevice(TAudioApi::Alsa, ""));
    EXPECT_EQ(streaming.Selected(), 3);
    EXPECT_FALSE(streaming.SelectDevice(TAudioApi::Pulse, ""));
    EXPECT_FALSE(streaming.SelectDevice(TAudioApi::Jack, "missing"));
    EXPECT_EQ(streaming.Selected(), 3);
}
