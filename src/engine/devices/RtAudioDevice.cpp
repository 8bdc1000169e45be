#include "engine/devices/RtAudioDevice.h"

#include <dlfcn.h>
#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace tx {

namespace {

constexpr unsigned SampleRate = 44100;
constexpr unsigned StreamChannels = 2;
constexpr unsigned ServerBuffers = 4;          // PulseAudio/ALSA periods queued: low latency without a 2 s server buffer
constexpr int FatalErrorRun = 3;               // sound-system errors (other than underruns) that end the stream...
constexpr int64_t ErrorRunGapNs = 1000000000;   // ...when each follows the one before within 1 s
constexpr int64_t StaleCallbackNs = 200000000;  // 200 ms without a callback: JACK may be closing the stream itself
constexpr int CloseWaitSteps = 100;             // times 10 ms: how long to let RtAudio finish its own close

RtAudio::Api rtApi(TAudioApi api) {
    switch (api) {
        case TAudioApi::Jack: return RtAudio::UNIX_JACK;
        case TAudioApi::Pulse: return RtAudio::LINUX_PULSE;
        case TAudioApi::Alsa: return RtAudio::LINUX_ALSA;
        case TAudioApi::Null: break;
    }
    return RtAudio::RTAUDIO_DUMMY;
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// alsa-lib prints its probing failures (no card on this machine) straight to
// stderr; the device list has no use for them.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}
void silenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* h = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
        if (!h) h = ::dlopen("libasound.so.2", RTLD_NOW);
        if (!h) return;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(::dlsym(h, "snd_lib_error_set_handler"))) set(silentAlsaError);
    });
}

bool hasCompiledApi(RtAudio::Api api) {
    std::vector<RtAudio::Api> apis;
    RtAudio::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// Lists the outputs of one sound system; an unreachable server lists none.
std::vector<TAudioDeviceInfo> listOutputs(TAudioApi api) {
    std::vector<TAudioDeviceInfo> out;
    if (!hasCompiledApi(rtApi(api))) return out;
    silenceAlsa();
    try {
        RtAudio rt(rtApi(api));
        rt.showWarnings(false);
        const unsigned n = rt.getDeviceCount();
        for (unsigned i = 0; i < n; ++i) {
            RtAudio::DeviceInfo info = rt.getDeviceInfo(i);
            if (!info.probed || info.outputChannels < StreamChannels) continue;
            out.push_back({info.name, info.isDefaultOutput});
        }
    } catch (const RtAudioError&) {
        out.clear();
    }
    return out;
}

class TRtAudioDevice;
// RtAudio's error callback carries no user pointer; only one stream runs at a time.
std::atomic<TRtAudioDevice*> streamingDevice{nullptr};

class TRtAudioDevice : public TAudioDevice {
public:
    explicit TRtAudioDevice(TAudioApi api) : api_(api) {}
    ~TRtAudioDevice() override { Close(); }

    TAudioApi Api() const override { return api_; }

    TDeviceResult Open(const std::string& deviceName, int32_t periodFrames, TAudioSink& sink) override {
        Close();
        silenceAlsa();
        const char* system = AudioApiDisplayName(api_);
        if (!hasCompiledApi(rtApi(api_))) {
            return {TDeviceFailure::NoDevice, std::string(system) + " is not compiled into RtAudio"};
        }
        try {
            rt_ = std::make_unique<RtAudio>(rtApi(api_));
            rt_->showWarnings(false);
            const unsigned n = rt_->getDeviceCount();
            if (n == 0) {
                rt_.reset();
                return {TDeviceFailure::NoDevice, api_ == TAudioApi::Alsa ? "ALSA has no output device"
                                                                          : std::string(system) + " server not answering"};
            }
            unsigned id = n;
            if (deviceName.empty()) {
                const unsigned d = rt_->getDefaultOutputDevice();
                if (d < n && rt_->getDeviceInfo(d).outputChannels >= StreamChannels) id = d;
                for (unsigned i = 0; i < n && id == n; ++i) {
                    if (rt_->getDeviceInfo(i).outputChannels >= StreamChannels) id = i;
                }
            } else {
                for (unsigned i = 0; i < n && id == n; ++i) {
                    if (rt_->getDeviceInfo(i).name == deviceName) id = i;
                }
            }
            if (id == n) {
                rt_.reset();
                return {TDeviceFailure::NoDevice, std::string(system) + " has no output \"" + deviceName + "\""};
            }
            RtAudio::DeviceInfo info = rt_->getDeviceInfo(id);
            const bool rateOk = std::find(info.sampleRates.begin(), info.sampleRates.end(), SampleRate) !=
                                info.sampleRates.end();
            if (info.outputChannels < StreamChannels || (!info.sampleRates.empty() && !rateOk)) {
                std::string rates;
                for (unsigned r : info.sampleRates) rates += (rates.empty() ? "" : ", ") + std::to_string(r);
                rt_.reset();
                return {TDeviceFailure::Format, std::string(system) + " output \"" + info.name +
                                                    "\" does not take 44100 Hz stereo (it runs at " + rates + " Hz)"};
            }
            RtAudio::StreamParameters params;
            params.deviceId = id;
            params.nChannels = StreamChannels;
            params.firstChannel = 0;
            RtAudio::StreamOptions options;
            options.streamName = JackClientName;
            options.numberOfBuffers = ServerBuffers;
            unsigned frames = unsigned(std::max(periodFrames, int32_t(16)));
            sink_ = &sink;
            rt_->openStream(&params, nullptr, RTAUDIO_SINT16, SampleRate, &frames, &TRtAudioDevice::callback, this,
                            &options, &TRtAudioDevice::errorCallback);
            period_ = int32_t(frames);
            deviceName_ = info.name;
            // JACK reports its playback ports' latency, ALSA its buffer;
            // PulseAudio reports nothing, and at least one period always passes.
            const long reported = rt_->getStreamLatency();
            latency_ = reported > 0 ? int32_t(std::min<long>(reported, SampleRate)) : period_;
        } catch (const RtAudioError& e) {
            rt_.reset();
            sink_ = nullptr;
            const auto t = e.getType();
            const bool missing = t == RtAudioError::NO_DEVICES_FOUND || t == RtAudioError::INVALID_DEVICE;
            return {missing ? TDeviceFailure::NoDevice : TDeviceFailure::Refused, trim(e.getMessage())};
        }
        failed_.store(false);
        errorRun_.store(0);
        return {};
    }

    TDeviceResult Start() override {
        if (!rt_ || !rt_->isStreamOpen()) return {TDeviceFailure::StreamFailed, "no stream is open"};
        lastCallbackNs_.store(nowNs());
        streamingDevice.store(this);
        try {
            rt_->startStream();
        } catch (const RtAudioError& e) {
            streamingDevice.store(nullptr);
            return {TDeviceFailure::StreamFailed, trim(e.getMessage())};
        }
        return {};
    }

    void Stop() override {
        if (!rt_) return;
        waitForOwnClose();
        try {
            if (rt_->isStreamOpen() && rt_->isStreamRunning()) rt_->stopStream();
        } catch (const RtAudioError&) {
        }
    }

    void Close() override {
        if (!rt_) return;
        waitForOwnClose();
        try {
            if (rt_->isStreamOpen()) rt_->closeStream();
        } catch (const RtAudioError&) {
        }
        TRtAudioDevice* self = this;
        streamingDevice.compare_exchange_strong(self, nullptr);
        rt_.reset();
        sink_ = nullptr;
    }

    bool IsOpen() const override { return rt_ != nullptr; }
    int32_t PeriodFrames() const override { return period_; }
    int32_t LatencyFrames() const override { return latency_; }
    bool IsAlive() override { return !failed_.load(); }

    std::string LostReason() const override {
        std::lock_guard<std::mutex> g(errorMutex_);
        if (!lastError_.empty()) return lastError_;
        switch (api_) {
            case TAudioApi::Jack: return "the JACK server stopped or dropped the Trovamix client";
            case TAudioApi::Pulse: return "the PulseAudio server stopped answering";
            default: break;
        }
        return std::string(AudioApiDisplayName(api_)) + " output \"" + deviceName_ + "\" stopped asking for sound";
    }

    std::string ClientName() const override { return api_ == TAudioApi::Jack ? JackClientName : ""; }

private:
    static std::string trim(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
        size_t i = s.find_first_not_of("\n ");
        return i == std::string::npos ? std::string() : s.substr(i);
    }

    static int callback(void* out, void*, unsigned int frames, double, RtAudioStreamStatus status, void* user) {
        auto* self = static_cast<TRtAudioDevice*>(user);
        self->lastCallbackNs_.store(nowNs(), std::memory_order_relaxed);
        // RtAudio raises this after a JACK xrun and an ALSA underrun: the
        // sound broke even when every block of ours was on time.
        if (status & RTAUDIO_OUTPUT_UNDERFLOW) self->sink_->Dropout();
        self->sink_->Pull(static_cast<int16_t*>(out), int32_t(frames));
        return 0;
    }

    // Called by RtAudio on whichever thread met the problem.
    static void errorCallback(RtAudioError::Type type, const std::string& text) {
        TRtAudioDevice* self = streamingDevice.load();
        if (!self) return;
        // An ALSA underrun is recovered by RtAudio itself; the rest, repeated, means the stream is gone.
        if (type == RtAudioError::WARNING && text.find("underrun") != std::string::npos) return;
        {
            std::lock_guard<std::mutex> g(self->errorMutex_);
            self->lastError_ = trim(text);
        }
        const int64_t now = nowNs();
        if (now - self->lastErrorNs_.exchange(now) > ErrorRunGapNs) self->errorRun_.store(0);
        if (self->errorRun_.fetch_add(1) + 1 >= FatalErrorRun || type != RtAudioError::WARNING) {
            self->failed_.store(true);
        }
    }

    // When the JACK server goes away RtAudio closes the stream from a thread
    // of its own; closing it again at the same time would free it twice.
    void waitForOwnClose() {
        if (api_ != TAudioApi::Jack) return;
        if (nowNs() - lastCallbackNs_.load() < StaleCallbackNs) return;
        for (int i = 0; i < CloseWaitSteps && rt_->isStreamRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!rt_->isStreamOpen()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    TAudioApi api_;
    std::unique_ptr<RtAudio> rt_;
    TAudioSink* sink_ = nullptr;
    int32_t period_ = 0;
    int32_t latency_ = 0;
    std::string deviceName_;
    std::atomic<bool> failed_{false};
    std::atomic<int> errorRun_{0};
    std::atomic<int64_t> lastCallbackNs_{0};
    std::atomic<int64_t> lastErrorNs_{0};
    mutable std::mutex errorMutex_;  // error path only, never the callback
    std::string lastError_;
};

}  // namespace

TRtAudioSystem::TRtAudioSystem() { silenceAlsa(); }

std::vector<TAudioApi> TRtAudioSystem::Apis() const { return {TAudioApi::Jack, TAudioApi::Pulse, TAudioApi::Alsa}; }

std::vector<TAudioDeviceInfo> TRtAudioSystem::Devices(TAudioApi api) {
    if (api == TAudioApi::Null) return {};
    return listOutputs(api);
}

bool TRtAudioSystem::ServerAnswers(TAudioApi api) { return !Devices(api).empty(); }

std::unique_ptr<TAudioDevice> TRtAudioSystem::CreateDevice(TAudioApi api) { return CreateRtAudioDevice(api); }

std::unique_ptr<TAudioDevice> CreateRtAudioDevice(TAudioApi api) {
    if (api == TAudioApi::Null) return nullptr;
    return std::make_unique<TRtAudioDevice>(api);
}

}  // namespace tx
