#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/AudioDevice.h"

namespace tx {

// An output device that plays into nothing. Driven by hand (Process, from a
// test thread: each call is one device period) or, when clocked, by its own
// thread that asks for one period of frames every period of real time. Keeps
// what it played when capturing. Tests can make it fail to open or vanish.
class TNullAudioDevice : public TAudioDevice {
public:
    explicit TNullAudioDevice(bool clocked = false) : clocked_(clocked) {}
    ~TNullAudioDevice() override { Close(); }

    TAudioApi Api() const override { return TAudioApi::Null; }
    TDeviceResult Open(const std::string& deviceName, int32_t periodFrames, TAudioSink& sink) override;
    TDeviceResult Start() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override { return sink_ != nullptr; }
    int32_t PeriodFrames() const override { return period_; }
    int32_t LatencyFrames() const override { return latency_; }
    bool IsAlive() override { return !lost_.load(); }
    std::string LostReason() const override { return "the null output was removed"; }

    // Asks the sink for `frames` frames (default: one period) as the device
    // thread would; returns false when the device is not started.
    bool Process(int32_t frames = 0);

    // --- test controls
    void FailNextOpen(TDeviceFailure failure) { failOpen_ = failure; }
    void FailNextStart() { failStart_ = true; }
    void ForcePeriod(int32_t frames) { forcedPeriod_ = frames; }  // the period the "device" insists on
    void SetLatency(int32_t frames) { latency_ = frames; }          // what LatencyFrames reports
    void ReportDropout() { dropouts_.fetch_add(1); }  // the next Process tells of an underflow first
    void Disappear();  // stops asking for frames and reports itself gone
    void SetCapture(bool on) { capture_ = on; }
    std::vector<int16_t> Captured() const;
    int64_t FramesPlayed() const { return played_.load(); }
    const std::string& OpenedName() const { return openedName_; }

private:
    void clockLoop();

    bool clocked_;
    TAudioSink* sink_ = nullptr;
    int32_t period_ = 0;
    std::string openedName_;
    TDeviceFailure failOpen_ = TDeviceFailure::None;
    bool failStart_ = false;
    int32_t forcedPeriod_ = 0;
    int32_t latency_ = 0;  // plays straight into the capture
    std::atomic<int> dropouts_{0};
    std::atomic<bool> started_{false};
    std::atomic<bool> lost_{false};
    std::atomic<int64_t> played_{0};
    bool capture_ = false;
    mutable std::mutex captureMutex_;  // test side only: Process and Captured
    std::vector<int16_t> captured_;
    std::vector<int16_t> scratch_;
    std::thread clock_;
};

// The one sound system of the null device: a single output, "Null output".
class TNullAudioSystem : public TAudioSystem {
public:
    explicit TNullAudioSystem(bool clocked = false) : clocked_(clocked) {}
    std::vector<TAudioApi> Apis() const override { return {TAudioApi::Null}; }
    std::vector<TAudioDeviceInfo> Devices(TAudioApi api) override;
    bool ServerAnswers(TAudioApi api) override { return api == TAudioApi::Null; }
    std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) override;
    // The device made last (owned by whoever took it), for tests to drive.
    TNullAudioDevice* LastDevice() const { return last_; }

private:
    bool clocked_;
    TNullAudioDevice* last_ = nullptr;
};

inline constexpr const char* NullDeviceName = "Null output";

}  // namespace tx
