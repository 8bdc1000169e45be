#include "engine/NullAudioDevice.h"

#include <chrono>
#include <cstring>

namespace tx {

namespace {
constexpr int32_t DefaultNullPeriod = 256;  // frames, when the caller names none
}

TDeviceResult TNullAudioDevice::Open(const std::string& deviceName, int32_t periodFrames, TAudioSink& sink) {
    Close();
    if (failOpen_ != TDeviceFailure::None) {
        TDeviceFailure f = failOpen_;
        failOpen_ = TDeviceFailure::None;
        return {f, "the null output was told to fail"};
    }
    if (!deviceName.empty() && deviceName != NullDeviceName) {
        return {TDeviceFailure::NoDevice, "no null output named \"" + deviceName + "\""};
    }
    period_ = forcedPeriod_ > 0 ? forcedPeriod_ : (periodFrames > 0 ? periodFrames : DefaultNullPeriod);
    openedName_ = NullDeviceName;
    scratch_.assign(size_t(period_) * 2, 0);
    lost_.store(false);
    sink_ = &sink;
    return {};
}

TDeviceResult TNullAudioDevice::Start() {
    if (!sink_) return {TDeviceFailure::StreamFailed, "the null output is not open"};
    if (failStart_) {
        failStart_ = false;
        return {TDeviceFailure::StreamFailed, "the null output was told not to start"};
    }
    if (started_.exchange(true)) return {};
    if (clocked_) clock_ = std::thread([this] { clockLoop(); });
    return {};
}

void TNullAudioDevice::Stop() {
    started_.store(false);
    if (clock_.joinable()) clock_.join();
}

void TNullAudioDevice::Close() {
    Stop();
    sink_ = nullptr;
}

void TNullAudioDevice::Disappear() {
    lost_.store(true);
    started_.store(false);
}

bool TNullAudioDevice::Process(int32_t frames) {
    if (!started_.load() || !sink_) return false;
    if (frames <= 0) frames = period_;
    std::lock_guard<std::mutex> g(captureMutex_);
    if (scratch_.size() < size_t(frames) * 2) scratch_.resize(size_t(frames) * 2);
    for (int n = dropouts_.exchange(0); n > 0; --n) sink_->Dropout();
    sink_->Pull(scratch_.data(), frames);
    if (capture_) captured_.insert(captured_.end(), scratch_.begin(), scratch_.begin() + ptrdiff_t(frames) * 2);
    played_.fetch_add(frames);
    return true;
}

std::vector<int16_t> TNullAudioDevice::Captured() const {
    std::lock_guard<std::mutex> g(captureMutex_);
    return captured_;
}

void TNullAudioDevice::clockLoop() {
    using clock = std::chrono::steady_clock;
    const auto periodTime = std::chrono::nanoseconds(int64_t(period_) * 1000000000 / 44100);
    auto next = clock::now();
    while (started_.load()) {
        Process(period_);
        next += periodTime;
        std::this_thread::sleep_until(next);
    }
}

std::vector<TAudioDeviceInfo> TNullAudioSystem::Devices(TAudioApi api) {
    if (api != TAudioApi::Null) return {};
    return {{NullDeviceName, true}};
}

std::unique_ptr<TAudioDevice> TNullAudioSystem::CreateDevice(TAudioApi api) {
    if (api != TAudioApi::Null) return nullptr;
    auto d = std::make_unique<TNullAudioDevice>(clocked_);
    last_ = d.get();
    return d;
}

}  // namespace tx
