#pragma once
#include <functional>

#include "dialogs/SettingsActions.h"

namespace tx {

class TDspPlugin;
class TEngine;
class TMidiInput;
class TMidiOutput;
class TStreaming;

// "(set at 44100Hz 16Bit STEREO)", or "(not opened)".
std::string DeviceFormatText(bool open, int rate, int bits, int channels);

// The settings window's actions on the core: the streaming output, the engine
// settings, the MIDI devices and the DSP plug-in (any may be absent). Window
// thread. The meter's figures come from counters the mixing thread publishes
// or, where a figure is guarded by the engine lock, from a try of the lock
// that keeps the last figure when the lock is taken: a render holds the lock
// for its whole run, and waiting for it here would freeze the window.
class TCoreSettingsActions : public TSettingsActions {
public:
    TCoreSettingsActions(TEngine& engine, TSettings& settings, TStreaming* streaming, TMidiOutput* midiOut,
                         TMidiInput* midiIn, TDspPlugin* plugin);

    std::vector<std::string> MidiOutputList() override;
    std::vector<std::string> MidiInputList() override;
    std::string OpenMidiOut(int item) override;
    std::string OpenMidiIn(int item) override;
    void SetBankSelectMethod(int method) override;

    std::vector<std::string> AudioOutputList() override;
    std::string OpenAudioDevice(int item) override;
    std::string DeviceFormat() override;
    void SetBufferLength(int32_t frames) override;
    void SetAheadLength(int32_t frames) override;
    void SetTiming(bool on) override;
    int32_t CpuUsage() override;
    int VoiceCount() override;
    int32_t UnderrunCount() override;
    void SetRemainder(TRemainder remainder) override;
    void SetSurround(bool on) override;
    bool SetPluginEnabled(bool on) override;

    // After the sound output was changed (whether or not it opened).
    std::function<void()> AudioDeviceChanged;

private:
    void sample();  // reads the lock-guarded figures when the lock is free

    TEngine& engine_;
    TSettings& settings_;
    TStreaming* streaming_;
    TMidiOutput* midiOut_;
    TMidiInput* midiIn_;
    TDspPlugin* plugin_;
    int32_t lastUsage_ = 0;
    int lastVoices_ = 0;
};

}  // namespace tx
