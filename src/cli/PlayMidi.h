#pragma once
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/Engine.h"

namespace tx {
class TMidiOutput;
class TMidiInput;
class TMidiSync;
class TLoopTimer;
}  // namespace tx

namespace txcli {

// The MIDI side of `play`: "Midi only" mode with the steps sent to a named
// MIDI output port (driven by the step timer), and optionally following the
// clock of a named input port. Set up and polled on the main thread; the
// sync events only store what the poll then prints.
class TPlayMidi {
public:
    TPlayMidi();
    ~TPlayMidi();  // sync off, input closed, timer stopped, output closed

    // outName: a port name or part of it, "default" (the default route) or
    // "-none-"; syncName: a port name or part of it, or empty for no sync.
    // Returns an empty string, or the failure naming the port.
    std::string Open(tx::TEngine& engine, const std::string& outName, const std::string& syncName);
    bool Syncing() const { return sync_ != nullptr; }
    // Prints the MIDI start, stop and tempo news since the last call.
    void Poll(std::FILE* to);

private:
    tx::TEngine* engine_ = nullptr;
    std::unique_ptr<tx::TMidiOutput> out_;
    std::unique_ptr<tx::TLoopTimer> timer_;
    std::unique_ptr<tx::TMidiInput> in_;
    std::unique_ptr<tx::TMidiSync> sync_;
    std::atomic<int> starts_{0}, stops_{0}, tempo_{0};
    int startsShown_ = 0, stopsShown_ = 0, tempoShown_ = 0;
};

}  // namespace txcli
