#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "model/Lockable.h"
#include "model/WAVSample.h"

namespace tx {

constexpr int32_t BlockGranule = 576;  // every block is a multiple of this many frames

// Frames per mixing block for a requested length: a multiple of 576, at least 576.
constexpr int32_t BlockFramesFor(int32_t frames) {
    int32_t b = (frames / BlockGranule) * BlockGranule;
    return b < BlockGranule ? BlockGranule : b;
}

// The process-wide recursive engine lock with the nesting output suspension
// and the block buffers it guards. Any thread may call Lock/Unlock; the hooks
// are set by the streaming output and run with the lock held.
//
// Threads: the mixing and render threads hold it for a whole block; the
// window thread holds it for one whole operation (see TLoop and TEngine) and
// should never hold it for more than a millisecond, or the mixer misses its
// block. StartHoldTiming measures that: the longest outermost hold by any
// thread that has not called MarkPlaybackThread. Off, it costs one relaxed
// load per lock and unlock.
class TEngineLock : public TLockable {
public:
    TEngineLock() { SetBufferLength(4410); }

    void Lock() override {
        mutex_.lock();
        entered();
    }
    void Unlock() override {
        leaving();
        mutex_.unlock();
    }
    // For a thread that must stay able to give up waiting (the mixing thread).
    bool TryLock() {
        if (!mutex_.try_lock()) return false;
        entered();
        return true;
    }

    // The calling thread's holds are playback work, not window operations.
    static void MarkPlaybackThread() { playbackThread_ = true; }
    void StartHoldTiming() {
        longestHold_.store(0, std::memory_order_relaxed);
        timing_.store(true, std::memory_order_relaxed);
    }
    void StopHoldTiming() { timing_.store(false, std::memory_order_relaxed); }
    // The longest outermost hold by a non-playback thread since StartHoldTiming.
    std::chrono::nanoseconds LongestHold() const {
        return std::chrono::nanoseconds(longestHold_.load(std::memory_order_relaxed));
    }

    // Returns with the lock held; only the outermost call stops the device.
    void SuspendOutput() {
        Lock();
        if (SuspendCount == 0 && StopHook) StopHook();
        ++SuspendCount;
    }
    void ResumeOutput() {
        --SuspendCount;
        if (SuspendCount == 0 && RestartHook) RestartHook();
        Unlock();
    }

    // Reallocates the mix, scratch and scope buffers for a new block length.
    void SetBufferLength(int32_t frames) {
        SuspendOutput();
        BlockFrames = BlockFramesFor(frames);
        MixBytes = BlockFrames * 8;
        MixBuffer.assign(size_t(BlockFrames) * 2, 0);
        ScratchBuffer.assign(size_t(BlockFrames) * 2, 0);
        if (ResizeHook) ResizeHook();
        ScopeSample.Data.assign(size_t(BlockFrames) * 2, 0);
        ScopeSample.Length = BlockFrames;
        ResumeOutput();
    }

    int32_t SuspendCount = 0;
    int32_t BlockFrames = 0;
    int32_t MixBytes = 0;
    std::vector<int32_t> MixBuffer;      // B frames of left, right; zero between blocks
    std::vector<int16_t> ScratchBuffer;  // B frames of resampled 16-bit stereo
    TWAVSample ScopeSample;

    std::function<void()> StopHook;
    std::function<void()> RestartHook;
    std::function<void()> ResizeHook;

private:
    using Clock = std::chrono::steady_clock;
    // Both run with the mutex held, so depth_ and since_ need no more guard.
    // The timing itself is kept out of line: the mixer's own locks only count.
    void entered() {
        if (++depth_ == 1 && timing_.load(std::memory_order_relaxed)) [[unlikely]]
            startHold();
    }
    void leaving() {
        if (--depth_ == 0 && timing_.load(std::memory_order_relaxed)) [[unlikely]]
            endHold();
    }
    [[gnu::noinline, gnu::cold]] void startHold() {
        if (!playbackThread_) since_ = Clock::now();
    }
    [[gnu::noinline, gnu::cold]] void endHold() {
        if (playbackThread_ || since_ == Clock::time_point{}) return;
        const int64_t held = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - since_).count();
        since_ = {};
        int64_t cur = longestHold_.load(std::memory_order_relaxed);
        while (cur < held && !longestHold_.compare_exchange_weak(cur, held, std::memory_order_relaxed)) {
        }
    }

    std::recursive_mutex mutex_;
    int32_t depth_ = 0;
    Clock::time_point since_{};
    std::atomic<bool> timing_{false};
    std::atomic<int64_t> longestHold_{0};
    static inline thread_local bool playbackThread_ = false;
};

class TSuspendGuard {
public:
    explicit TSuspendGuard(TEngineLock& l) : l_(l) { l_.SuspendOutput(); }
    ~TSuspendGuard() { l_.ResumeOutput(); }
    TSuspendGuard(const TSuspendGuard&) = delete;
    TSuspendGuard& operator=(const TSuspendGuard&) = delete;

private:
    TEngineLock& l_;
};

}  // namespace tx
