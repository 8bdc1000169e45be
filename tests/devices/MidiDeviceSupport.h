#pragma once
// Helpers for the MIDI tests on a real JACK server: whether one answers, and
// a test client that keeps every message it receives.
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace txtest {

// True when a JACK server takes a client with a MIDI port.
inline bool JackMidiAnswers() {
    std::string error;
    RtMidiIn probe(RtMidi::UNIX_JACK, "TrovamixProbe");
    probe.setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* e) {
            if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
                *static_cast<std::string*>(e) = text;
        },
        &error);
    probe.openVirtualPort("probe");
    if (!error.empty()) return false;
    probe.closePort();
    return true;
}

// A port name no other test process uses.
inline std::string UniquePortName(const std::string& stem) { return stem + "-" + std::to_string(::getpid()); }

// A JACK MIDI input port of the test's own that records what arrives.
class TMidiSink {
public:
    explicit TMidiSink(const std::string& portName) : in_(RtMidi::UNIX_JACK, "TrovamixTestSink") {
        in_.ignoreTypes(false, false, false);
        in_.setCallback(&TMidiSink::arrived, this);
        in_.openVirtualPort(portName);
    }
    // Connects to a source port whose name contains `name` instead of waiting to be connected.
    bool ConnectFrom(const std::string& name) {
        for (unsigned i = 0; i < in_.getPortCount(); ++i)
            if (in_.getPortName(i).find(name) != std::string::npos) {
                in_.closePort();
                in_.openPort(i, "from");
                return true;
            }
        return false;
    }
    std::vector<std::vector<unsigned char>> WaitFor(size_t count, std::chrono::milliseconds timeout) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            {
                std::lock_guard<std::mutex> g(m_);
                if (got_.size() >= count) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::lock_guard<std::mutex> g(m_);
        return got_;
    }

private:
    static void arrived(double, std::vector<unsigned char>* msg, void* self) {
        auto* s = static_cast<TMidiSink*>(self);
        std::lock_guard<std::mutex> g(s->m_);
        s->got_.push_back(*msg);
    }
    RtMidiIn in_;
    std::mutex m_;
    std::vector<std::vector<unsigned char>> got_;
};

}  // namespace txtest
