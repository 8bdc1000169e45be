#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "midi/MidiPort.h"

namespace tx {

// The exception type of the input component.
class EMidiInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr uint8_t MidiInputOpen = 0;
constexpr uint8_t MidiInputClosed = 1;
constexpr uint8_t MidiInputCreating = 2;

constexpr uint16_t MidiInputCapacity = 1024;
constexpr uint16_t MidiSysexBufferSize = 4096;
constexpr uint16_t MidiSysexBufferCount = 16;

// Real-time messages the clock follower reacts to.
constexpr uint32_t MidiTimingClock = 0xF8;
constexpr uint32_t MidiStart = 0xFA;
constexpr uint32_t MidiContinue = 0xFB;
constexpr uint32_t MidiStop = 0xFC;

// The MIDI input device. Open/Close and the properties belong to the window
// thread; OnMidiInput is called on the port's input thread with each short
// message packed as status + data1 x 256 + data2 x 65536 and its time in ms
// since Start. Set OnMidiInput before Open.
class TMidiInput {
public:
    explicit TMidiInput(std::unique_ptr<TMidiInPort> port, uint16_t sysexBufferCount = MidiSysexBufferCount);
    ~TMidiInput();
    TMidiInput(const TMidiInput&) = delete;
    TMidiInput& operator=(const TMidiInput&) = delete;

    bool Open();
    void Start();
    void Close();

    int32_t DeviceID() const { return deviceID_; }
    void SetDeviceID(int32_t id);
    const std::string& ProductName() const { return productName_; }
    void SetProductName(const std::string& name);
    uint8_t State() const { return state_; }
    uint16_t Error() const { return error_; }
    bool SysexOnly() const { return false; }
    void SetSysexOnly(bool) {}
    uint16_t SysexBufferSize() const { return sysexBufferSize_; }
    void SetSysexBufferSize(uint16_t size);
    uint16_t SysexBufferCount() const { return sysexBufferCount_; }
    void SetSysexBufferCount(uint16_t count);
    uint16_t NumDevs() const { return uint16_t(deviceNames_.size()); }
    uint32_t DriverVersion = 0;
    uint16_t Mid = 0, Pid = 0;
    uint16_t Capacity = MidiInputCapacity;
    std::string LastErrorText;

    std::function<void(uint32_t message, int64_t ms)> OnMidiInput;
    std::function<void()> OnOverflow;  // published, never called

    // The settings window's "Sync input" list: the devices, then "-none-".
    std::vector<std::string> DeviceList() const;
    // Opens list item `item` as the settings window does ("-none-" closes) and
    // starts it; returns the text for the error box, empty on success.
    std::string SelectListItem(int item);
    // Device number of a name (exact, else the first containing it), or -1.
    int FindDevice(const std::string& name) const;

private:
    void received(const uint8_t* data, size_t size, int64_t ms);

    std::unique_ptr<TMidiInPort> port_;
    std::vector<std::string> deviceNames_;  // read once, at creation
    int32_t deviceID_ = 0;
    std::string productName_;
    uint8_t state_ = MidiInputCreating;
    uint16_t error_ = 0;
    uint16_t sysexBufferSize_ = MidiSysexBufferSize;
    uint16_t sysexBufferCount_ = MidiSysexBufferCount;
};

// Follows an external sequencer: start, continue, stop, a step every sixth
// timing clock and the tempo measured over 48 clocks. HandleMessage runs on
// the MIDI input thread (the transport may call it too, to act as a received
// start or stop); it changes the engine only under the engine lock and
// reaches the window only through the two events, which must not block.
class TMidiSync {
public:
    // Becomes the engine's SyncStart/SyncStop, so the transport acts as a
    // received start or stop while synchronised.
    explicit TMidiSync(TEngine& engine);
    ~TMidiSync();
    TMidiSync(const TMidiSync&) = delete;
    TMidiSync& operator=(const TMidiSync&) = delete;

    // Makes `input` deliver its messages here.
    void Attach(TMidiInput& input);
    void HandleMessage(uint32_t message, int64_t ms);

    std::function<void(bool started)> OnPlayingState;
    std::function<void(int bpm)> OnTempo;

    int64_t ClockCount() const;
    int64_t LastClockTime() const;

    static constexpr int ClocksPerStep = 6;          // 24 clocks a quarter note, a step is a sixteenth
    static constexpr int ClocksPerMeasure = 48;      // tempo measured over two quarter notes
    static constexpr int64_t MeasureMsBpm = 120000;  // 2 quarters x 60000 ms: tempo = this / ms
    static constexpr int64_t ClockCountAtStart = 5;  // the first clock after start plays step 0

private:
    void start(bool fromBeginning);

    TEngine& engine_;
    int64_t clockCount_ = 0;
    int64_t lastClockTime_ = 0;
};

}  // namespace tx
