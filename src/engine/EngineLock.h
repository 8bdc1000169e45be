#pragma once
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
class TEngineLock : public TLockable {
public:
    TEngineLock() { SetBufferLength(4410); }

    void Lock() override { mutex_.lock(); }
    void Unlock() override { mutex_.unlock(); }
    // For a thread that must stay able to give up waiting (the mixing thread).
    bool TryLock() { return mutex_.try_lock(); }

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
    std::recursive_mutex mutex_;
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
