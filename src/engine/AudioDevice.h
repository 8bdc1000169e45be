#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tx {

// The sound systems an output device can belong to. Null is our own device
// that plays into nothing (tests, and playing without a sound card).
enum class TAudioApi { Jack, Pulse, Alsa, Null };

// Short names as the command line spells them: "jack", "pulse", "alsa", "null".
const char* AudioApiName(TAudioApi api);
// Names as the device list shows them: "JACK", "PulseAudio", "ALSA", "Null".
const char* AudioApiDisplayName(TAudioApi api);
// Parses a short name; false when it is none of them.
bool ParseAudioApi(const std::string& name, TAudioApi& api);

// The frames a device asks for. Pull runs on the device's own real-time
// thread: it must fill `frames` frames of interleaved 16-bit stereo (left,
// right) without locking, allocating or waiting.
class TAudioSink {
public:
    virtual ~TAudioSink() = default;
    virtual void Pull(int16_t* out, int32_t frames) noexcept = 0;
    // The sound system says the output broke (a JACK xrun, an underflow):
    // called on the device's thread before the Pull that follows it.
    virtual void Dropout() noexcept {}
};

// How opening or starting a device failed; the streaming output turns each
// kind into its message for the user.
enum class TDeviceFailure {
    None,
    NoDevice,      // the device (or its sound system) is not there
    Refused,       // the sound system refused us the device
    Format,        // the device does not take 44100 Hz 16-bit stereo
    StreamFailed,  // the stream could not be started
};

struct TDeviceResult {
    TDeviceFailure Failure = TDeviceFailure::None;
    std::string Detail;  // the sound system's own words, for the command line
    bool Ok() const { return Failure == TDeviceFailure::None; }
};

// One output stream of the internal format (44100 Hz, 16-bit, stereo). Open,
// Start, Stop and Close are called by one thread at a time (the window
// thread); IsAlive by the mixing thread; the sink is called on the device's
// thread between Start and Stop.
class TAudioDevice {
public:
    virtual ~TAudioDevice() = default;
    virtual TAudioApi Api() const = 0;
    // `deviceName` as listed by the sound system ("" = its default device);
    // `periodFrames` is a wish: PeriodFrames() tells what the device took.
    virtual TDeviceResult Open(const std::string& deviceName, int32_t periodFrames, TAudioSink& sink) = 0;
    virtual TDeviceResult Start() = 0;
    virtual void Stop() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual int32_t PeriodFrames() const = 0;
    // Frames from the start of a Pull until its first frame is heard: the
    // device's and the sound server's own buffering, as the system reports it.
    virtual int32_t LatencyFrames() const { return PeriodFrames(); }
    // False once the device has gone away (its server stopped, a write
    // failed, or it stopped asking for frames since the previous call).
    virtual bool IsAlive() = 0;
    // Why IsAlive turned false, in words.
    virtual std::string LostReason() const = 0;
    // Name of the stream's client at the sound system (JACK: "Trovamix").
    virtual std::string ClientName() const { return {}; }
};

// The output devices of one sound system, in its own order.
struct TAudioDeviceInfo {
    std::string Name;        // as the sound system names it (JACK: a client, "system")
    bool IsDefault = false;  // the sound system's default output
};

// What the sound systems of the machine offer: lists their output devices,
// tells whether their server answers, and makes devices. Window thread only.
class TAudioSystem {
public:
    virtual ~TAudioSystem() = default;
    // The sound systems this build can reach, in the order the device list shows them.
    virtual std::vector<TAudioApi> Apis() const = 0;
    virtual std::vector<TAudioDeviceInfo> Devices(TAudioApi api) = 0;
    // True when the sound system's server runs (JACK, PulseAudio) or it has a device (ALSA).
    virtual bool ServerAnswers(TAudioApi api) = 0;
    virtual std::unique_ptr<TAudioDevice> CreateDevice(TAudioApi api) = 0;
};

// The JACK client name of the program: its ports are "Trovamix:outport 0" and "Trovamix:outport 1".
inline constexpr const char* JackClientName = "Trovamix";

}  // namespace tx
