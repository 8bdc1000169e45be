#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tx {

// Device number of the system's default MIDI route.
constexpr int DefaultMidiRoute = -1;

// Result codes kept in Error (ours; the port's own text goes to LastErrorText).
constexpr uint16_t MidiNoError = 0;
constexpr uint16_t MidiErrorUnspecified = 1;
constexpr uint16_t MidiErrorBadDeviceID = 2;
constexpr uint16_t MidiErrorNotOpen = 3;
constexpr uint16_t MidiErrorInvalidData = 4;
constexpr uint16_t MidiErrorNotInstalled = 5;
std::string MidiErrorText(uint16_t code);  // "Specified error number is out of range" for unknown codes

constexpr const char* MidiNoneItem = "-none-";  // the last item of the device lists: no device

// Bytes a short message with this status byte carries, status included
// (0 for a data byte or a status that starts a long message).
int ShortMessageLength(uint8_t status);

// One MIDI output port of the platform's MIDI service. Open and Close are
// called on the window thread; Send may be called from any thread but never
// from two at once (the output component serialises it).
class TMidiOutPort {
public:
    virtual ~TMidiOutPort() = default;
    // Names of the destinations, in device-number order.
    virtual std::vector<std::string> PortNames() = 0;
    // The name shown for device -1.
    virtual std::string DefaultRouteName() = 0;
    // Opens device `index` (DefaultMidiRoute for the default route); on failure
    // returns false with the reason in `error`.
    virtual bool Open(int index, std::string& error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual bool Send(const uint8_t* data, size_t size, std::string& error) = 0;
};

// One MIDI input port. The handler receives each message with its time in
// milliseconds since Start, on the port's own input thread, never concurrently.
// A port may leave out system-exclusive messages.
class TMidiInPort {
public:
    using Handler = std::function<void(const uint8_t* data, size_t size, int64_t ms)>;
    virtual ~TMidiInPort() = default;
    virtual std::vector<std::string> PortNames() = 0;
    virtual bool Open(int index, Handler handler, std::string& error) = 0;
    // Messages arriving before Start are dropped.
    virtual bool Start(std::string& error) = 0;
    // After Close returns the handler is no longer called.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

// An output port that keeps what it is sent: the null backend, and the test double.
class TRecordingMidiOutPort : public TMidiOutPort {
public:
    explicit TRecordingMidiOutPort(std::vector<std::string> names = {"Recorder"}) : names_(std::move(names)) {}

    std::vector<std::string> PortNames() override { return names_; }
    std::string DefaultRouteName() override { return "Default route"; }
    bool Open(int index, std::string& error) override;
    void Close() override;
    bool IsOpen() const override;
    bool Send(const uint8_t* data, size_t size, std::string& error) override;

    // Every message sent since the last Clear, in order.
    std::vector<std::vector<uint8_t>> Messages() const;
    void Clear();
    int OpenedIndex() const;

    bool FailOpen = false;  // makes Open fail, as a missing device does
    void SetNames(std::vector<std::string> names) { names_ = std::move(names); }

private:
    std::vector<std::string> names_;
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> messages_;
    bool open_ = false;
    int openedIndex_ = -2;
};

// An input port whose messages come from the caller of Deliver (tests), on the
// caller's thread.
class TFakeMidiInPort : public TMidiInPort {
public:
    explicit TFakeMidiInPort(std::vector<std::string> names = {"Fake in"}) : names_(std::move(names)) {}

    std::vector<std::string> PortNames() override { return names_; }
    bool Open(int index, Handler handler, std::string& error) override;
    bool Start(std::string& error) override;
    void Close() override;
    bool IsOpen() const override { return open_; }

    void Deliver(const std::vector<uint8_t>& bytes, int64_t ms);

    bool FailOpen = false;

private:
    std::vector<std::string> names_;
    Handler handler_;
    bool open_ = false;
    bool started_ = false;
};

}  // namespace tx
