#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "midi/MidiPort.h"
#include "midi/MidiSteps.h"

namespace tx {

// The exception the output component raises; it carries only a message.
class EmidioutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TMidiOutputState { Open, Closed };

constexpr size_t MidiLongMessageMax = 65535;

// Technology values of the capabilities.
constexpr uint16_t MidiTechnologyPort = 1;
constexpr uint16_t MidiTechnologyDefaultRoute = 5;
constexpr uint16_t MidiAllChannels = 0xFFFF;

// An event for SendEvent: a short message, or a long one when Data is not empty.
struct TMidiEvent {
    uint8_t Status = 0;
    uint8_t Data1 = 0;
    uint8_t Data2 = 0;
    std::vector<uint8_t> Data;
};

// The MIDI output device and the step, setup, preview and panic messages sent
// through it. Open/Close and the device properties belong to the window
// thread; the messages may be sent from any thread (sends are serialised);
// PlayMidiStep runs on the step timer or the MIDI input thread under the
// engine lock.
class TMidiOutput : public TMidiStepSink {
public:
    explicit TMidiOutput(std::unique_ptr<TMidiOutPort> port);
    ~TMidiOutput() override;
    TMidiOutput(const TMidiOutput&) = delete;
    TMidiOutput& operator=(const TMidiOutput&) = delete;

    // --- the device
    bool Open();
    bool Close();
    void SendEvent(const TMidiEvent& event);
    // Sends status + data; does nothing while closed; failures only go to Error.
    // A message whose data would be 128 or more is not sent (Error = invalid data).
    void SendShort(uint8_t status, uint8_t data1, uint8_t data2);
    void SendLong(const uint8_t* data, size_t length);

    int32_t DeviceID() const { return deviceID_; }
    void SetDeviceID(int32_t id);
    const std::string& ProductName() const { return productName_; }
    void SetProductName(const std::string& name);
    TMidiOutputState State() const { return state_; }
    uint16_t Error() const { return error_; }
    uint32_t DriverVersion = 0;
    uint16_t Technology = 0, Voices = 0, Notes = 0, ChannelMask = 0;
    uint32_t Support = 0;
    uint16_t NumDevs() const { return uint16_t(deviceNames_.size()); }
    std::string LastErrorText;
    std::function<void()> Onmidioutput;  // published, never assigned

    // The settings window's list: the default route, the devices, "-none-".
    std::vector<std::string> DeviceList() const;
    // Opens list item `item` as the settings window does; "-none-" closes.
    // Returns the text for the error box, empty on success.
    std::string SelectListItem(int item);
    // Device number of a name (exact, else the first containing it), or -2.
    int FindDevice(const std::string& name) const;

    // --- messages of the loop (all harmless while closed or unbound)
    // Takes the loop, the bank method and the step position from the engine
    // and makes this the engine's MIDI step sink.
    void Bind(TEngine& engine);
    // Sends step CurrentStep of `pattern` for every channel, in channel order.
    void PlayMidiStep(int pattern) override;
    void SendChannelSetup(int channel);
    void SendControllerTable(int channel);
    void SendController(int channel, int number, int value);
    void PreviewNoteOn(int channel, int key);
    void PreviewNoteOff(int channel, int key);
    // "Panic!": all sound off on the 16 MIDI channels, then the sample voices go.
    void Panic();
    void SeedRandom(uint64_t seed) { rng_.Seed(seed); }

private:
    void readCaps();
    void triggerMidiChannelStep(int c, int pattern, int s);

    std::unique_ptr<TMidiOutPort> port_;
    std::vector<std::string> deviceNames_;  // read once, at creation
    std::string defaultRouteName_;
    int32_t deviceID_ = DefaultMidiRoute;
    std::string productName_;
    TMidiOutputState state_ = TMidiOutputState::Closed;
    uint16_t error_ = MidiNoError;
    std::mutex sendMutex_;  // the port takes one sender at a time
    TEngine* engine_ = nullptr;
    TMidiRandom rng_;
};

}  // namespace tx
