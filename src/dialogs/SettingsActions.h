#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/Settings.h"

namespace tx {

// What the settings window changes at once, and the figures it shows. The
// main window gives it an implementation wired to the core; tests give it a
// fake. Called on the window thread only. The figures (CpuUsage, VoiceCount,
// UnderrunCount) are polled by a timer and must return at once: they may
// never wait for the engine lock, which a render holds for its whole run.
class TSettingsActions {
public:
    virtual ~TSettingsActions() = default;

    // --- MIDI: lists as shown ("MIDI Mapper", the devices, "-none-"; the
    // input devices, "-none-"); opening returns the error text, "" when fine.
    virtual std::vector<std::string> MidiOutputList() = 0;
    virtual std::vector<std::string> MidiInputList() = 0;
    virtual std::string OpenMidiOut(int item) = 0;
    virtual std::string OpenMidiIn(int item) = 0;
    virtual void SetBankSelectMethod(int method) = 0;

    // --- WAV
    virtual std::vector<std::string> AudioOutputList() = 0;  // ..., "-none-"
    virtual std::string OpenAudioDevice(int item) = 0;       // error text, "" when fine
    virtual std::string DeviceFormat() = 0;                  // the format label's text
    virtual void SetBufferLength(int32_t frames) = 0;
    virtual void SetAheadLength(int32_t frames) = 0;
    virtual void SetTiming(bool on) = 0;  // while the window is shown
    virtual int32_t CpuUsage() = 0;
    virtual int VoiceCount() = 0;
    virtual int32_t UnderrunCount() = 0;
    virtual void SetRemainder(TRemainder remainder) = 0;
    virtual void SetSurround(bool on) = 0;

    // --- Plugins: returns whether the plug-in now runs.
    virtual bool SetPluginEnabled(bool on) = 0;
};

}  // namespace tx
