#include "midi/devices/RtMidiPorts.h"

#include <rtmidi/RtMidi.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <semaphore>
#include <thread>

namespace tx {

namespace {

constexpr const char* OutPortName = "MIDI out";
constexpr const char* InPortName = "MIDI in";
constexpr const char* SystemPlaybackPrefix = "system:midi_playback";
constexpr unsigned InQueueLimit = 100;  // RtMidi's own queue; unused with a callback

RtMidi::Api rtApi(TMidiApi api) { return api == TMidiApi::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK; }

// What RtMidi reported since it was last cleared. Its warnings are kept apart:
// a missing service shows there first, and the error that follows ("error
// creating virtual port") does not say why.
struct TRtErrors {
    std::string Error;
    bool ServiceMissing = false;
    void Clear() { *this = {}; }
};

// RtMidi reports errors through this callback instead of printing or throwing.
void keepError(RtMidiError::Type type, const std::string& text, void* where) {
    auto* errors = static_cast<TRtErrors*>(where);
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
        if (text.find("server not running") != std::string::npos ||
            text.find("error creating ALSA sequencer client") != std::string::npos)
            errors->ServiceMissing = true;
        return;
    }
    errors->Error = text;
}

// RtMidi's JACK output frees its message queue before it closes its client,
// so a process cycle running at that moment reads freed memory (seen as a
// crash under load). An output object is therefore never deleted: a retired
// one waits here, its port closed, until the process ends.
void retireOut(RtMidiOut* out) {
    static auto* mutex = new std::mutex;
    static auto* retired = new std::vector<RtMidiOut*>;
    static auto* errors = new TRtErrors;
    std::lock_guard<std::mutex> g(*mutex);
    out->setErrorCallback(&keepError, errors);
    retired->push_back(out);
}

class TRtMidiOutPort : public TMidiOutPort {
public:
    TRtMidiOutPort(TMidiApi api, std::string client) : api_(api), client_(std::move(client)) {}
    ~TRtMidiOutPort() override {
        Close();
        if (out_) retireOut(out_);
    }

    std::vector<std::string> PortNames() override {
        std::vector<std::string> names;
        std::string error;
        if (!ensure(error)) return names;
        unsigned n = out_->getPortCount();
        for (unsigned i = 0; i < n; ++i) names.push_back(out_->getPortName(i));
        return names;
    }

    std::string DefaultRouteName() override { return "Default MIDI route"; }

    bool Open(int index, std::string& error) override {
        if (!ensure(error)) return false;
        if (open_) Close();
        std::vector<std::string> names = PortNames();
        if (index != DefaultMidiRoute && (index < 0 || index >= int(names.size()))) {
            error = "The device identifier is out of range.";
            return false;
        }
        const std::string name = index == DefaultMidiRoute ? std::string() : names[size_t(index)];
        if (openNamed(name)) return true;
        // The client may be left from a JACK server that has since restarted:
        // try once more on a new one.
        retireOut(out_);
        out_ = nullptr;
        if (!ensure(error)) return false;
        if (openNamed(name)) return true;
        error = MidiErrorInWords(api_, true, lastError_.Error, lastError_.ServiceMissing);
        return false;
    }

    void Close() override {
        if (open_ && out_) out_->closePort();
        open_ = false;
    }

    bool IsOpen() const override { return open_; }

    bool Send(const uint8_t* data, size_t size, std::string& error) override {
        if (!open_) {
            error = "The port is not open.";
            return false;
        }
        lastError_.Clear();
        out_->sendMessage(data, size);
        if (!lastError_.Error.empty()) {
            error = MidiErrorInWords(api_, true, lastError_.Error, lastError_.ServiceMissing);
            return false;
        }
        return true;
    }

private:
    // Opens the destination of that name, or the default route for "".
    bool openNamed(const std::string& name) {
        lastError_.Clear();
        std::vector<std::string> names = PortNames();
        int index = -1;
        for (size_t i = 0; i < names.size() && index < 0; ++i)
            if (name.empty() ? names[i].rfind(SystemPlaybackPrefix, 0) == 0 : names[i] == name) index = int(i);
        if (index < 0 && !name.empty()) {
            lastError_.Error = "MIDI output Device " + name + " not installed";
            return false;
        }
        if (index < 0)
            out_->openVirtualPort(OutPortName);
        else
            out_->openPort(unsigned(index), OutPortName);
        if (!lastError_.Error.empty()) {
            out_->closePort();
            return false;
        }
        open_ = true;
        return true;
    }

    bool ensure(std::string& error) {
        if (out_) return true;
        try {
            out_ = new RtMidiOut(rtApi(api_), client_);
            out_->setErrorCallback(&keepError, &lastError_);
            return true;
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return false;
        }
    }

    TMidiApi api_;
    std::string client_;
    RtMidiOut* out_ = nullptr;  // never deleted: see retireOut
    TRtErrors lastError_;
    bool open_ = false;
};

class TRtMidiInPort : public TMidiInPort {
public:
    TRtMidiInPort(TMidiApi api, std::string client) : api_(api), client_(std::move(client)) {}
    ~TRtMidiInPort() override {
        Close();
        in_.reset();  // closes the client before the queue it may still write goes
    }

    std::vector<std::string> PortNames() override {
        std::vector<std::string> names;
        std::string error;
        if (!ensure(error)) return names;
        unsigned n = in_->getPortCount();
        for (unsigned i = 0; i < n; ++i) names.push_back(in_->getPortName(i));
        return names;
    }

    bool Open(int index, Handler handler, std::string& error) override {
        if (!ensure(error)) return false;
        Close();
        if (index < 0 || index >= int(in_->getPortCount())) {
            error = "The device identifier is out of range.";
            return false;
        }
        handler_ = std::move(handler);
        started_ = false;
        head_ = tail_ = 0;
        running_ = true;
        worker_ = std::thread([this] { deliver(); });
        lastError_.Clear();
        in_->ignoreTypes(false, false, false);  // system exclusive and clock too
        in_->setCallback(&TRtMidiInPort::arrived, this);
        in_->openPort(unsigned(index), InPortName);
        if (!lastError_.Error.empty()) {
            error = MidiErrorInWords(api_, false, lastError_.Error, lastError_.ServiceMissing);
            Close();
            return false;
        }
        open_ = true;
        return true;
    }

    bool Start(std::string& error) override {
        if (!open_) {
            error = "The port is not open.";
            return false;
        }
        startTime_ = std::chrono::steady_clock::now();
        seconds_ = -1;
        started_ = true;
        return true;
    }

    void Close() override {
        started_ = false;
        if (in_) {
            if (open_) in_->closePort();
            in_->cancelCallback();
        }
        open_ = false;
        if (worker_.joinable()) {
            running_ = false;
            ready_.release();
            worker_.join();
        }
        handler_ = nullptr;
    }

    bool IsOpen() const override { return open_; }

private:
    struct TQueued {
        std::array<uint8_t, 3> Bytes;
        size_t Size;
        int64_t Ms;
    };
    static constexpr size_t QueueLength = 1024;  // a second of dense clock and notes

    bool ensure(std::string& error) {
        if (in_) return true;
        try {
            in_ = std::make_unique<RtMidiIn>(rtApi(api_), client_, InQueueLimit);
            in_->setErrorCallback(&keepError, &lastError_);
            return true;
        } catch (const RtMidiError& e) {
            error = e.getMessage();
            return false;
        }
    }

    // On the service's real-time thread: stamp, queue and wake the worker;
    // nothing here blocks or allocates.
    static void arrived(double delta, std::vector<unsigned char>* message, void* self) {
        auto* p = static_cast<TRtMidiInPort*>(self);
        if (!p->started_ || !message) return;
        // Time since Start: anchored on the clock at the first message, then
        // RtMidi's own deltas, which are as exact as the service makes them.
        if (p->seconds_ < 0)
            p->seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - p->startTime_).count();
        else
            p->seconds_ += delta;
        if (message->size() > 3) return;  // system exclusive: nobody here wants it
        size_t head = p->head_.load(std::memory_order_relaxed);
        if (head - p->tail_.load(std::memory_order_acquire) >= QueueLength) return;  // full: dropped
        TQueued& q = p->queue_[head % QueueLength];
        q.Size = message->size();
        q.Bytes = {0, 0, 0};
        for (size_t i = 0; i < q.Size; ++i) q.Bytes[i] = (*message)[i];
        q.Ms = int64_t(p->seconds_ * 1000.0);
        p->head_.store(head + 1, std::memory_order_release);
        p->ready_.release();
    }

    // The MIDI input thread: hands each message to the handler in order.
    void deliver() {
        while (true) {
            ready_.acquire();
            size_t tail = tail_.load(std::memory_order_relaxed);
            while (tail != head_.load(std::memory_order_acquire)) {
                const TQueued& q = queue_[tail % QueueLength];
                if (running_ && handler_) handler_(q.Bytes.data(), q.Size, q.Ms);
                tail_.store(++tail, std::memory_order_release);
            }
            if (!running_) return;
        }
    }

    TMidiApi api_;
    std::string client_;
    std::unique_ptr<RtMidiIn> in_;
    TRtErrors lastError_;
    bool open_ = false;
    Handler handler_;
    std::atomic<bool> started_{false};
    std::atomic<bool> running_{false};
    std::chrono::steady_clock::time_point startTime_;
    double seconds_ = -1;  // written on the service thread only
    std::array<TQueued, QueueLength> queue_{};
    std::atomic<size_t> head_{0}, tail_{0};
    std::counting_semaphore<> ready_{0};
    std::thread worker_;
};

}  // namespace

std::string MidiErrorInWords(TMidiApi api, bool output, const std::string& raw, bool serviceMissing) {
    const std::string what = output ? "The MIDI output" : "The MIDI sync input";
    const std::string where = output ? "the output" : "the sync input";
    if (serviceMissing) {
        const std::string service = api == TMidiApi::Jack ? "the JACK sound server is not running"
                                                          : "the ALSA sequencer is not available on this machine";
        return what + " cannot be used: " + service + ". Start it, or choose \"-none-\" as " + where +
               " on the MIDI sheet of the settings window.";
    }
    if (raw.empty()) return what + " could not be opened: the device is not available.";
    // RtMidi's texts start with the class and function that failed.
    std::string reason = raw;
    if (const size_t colon = reason.find(": "); colon != std::string::npos && reason.find("::") < colon)
        reason.erase(0, colon + 2);
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    return what + " could not be opened (" + reason + ").";
}

std::unique_ptr<TMidiOutPort> MakeRtMidiOutPort(TMidiApi api, const std::string& clientName) {
    return std::make_unique<TRtMidiOutPort>(api, clientName);
}

std::unique_ptr<TMidiInPort> MakeRtMidiInPort(TMidiApi api, const std::string& clientName) {
    return std::make_unique<TRtMidiInPort>(api, clientName);
}

}  // namespace tx
