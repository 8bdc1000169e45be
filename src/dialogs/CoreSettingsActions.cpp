#include "dialogs/CoreSettingsActions.h"

#include "engine/DspPlugin.h"
#include "engine/Engine.h"
#include "engine/Streaming.h"
#include "midi/MidiIn.h"
#include "midi/MidiOut.h"

namespace tx {

namespace {
constexpr int InternalRate = 44100;  // every device runs the internal format
constexpr int InternalBits = 16;
constexpr int InternalChannels = 2;
}  // namespace

std::string DeviceFormatText(bool open, int rate, int bits, int channels) {
    if (!open) return "(not opened)";
    return "(set at " + std::to_string(rate) + "Hz " + std::to_string(bits) + "Bit " +
           (channels == 1 ? "MONO" : "STEREO") + ")";
}

TCoreSettingsActions::TCoreSettingsActions(TEngine& engine, TSettings& settings, TStreaming* streaming,
                                           TMidiOutput* midiOut, TMidiInput* midiIn, TDspPlugin* plugin)
    : engine_(engine),
      settings_(settings),
      streaming_(streaming),
      midiOut_(midiOut),
      midiIn_(midiIn),
      plugin_(plugin) {}

std::vector<std::string> TCoreSettingsActions::MidiOutputList() {
    if (!midiOut_) return {"MIDI Mapper", MidiNoneItem};
    std::vector<std::string> list = midiOut_->DeviceList();
    if (!list.empty()) list.front() = "MIDI Mapper";  // device -1 is always shown by this name
    return list;
}

std::vector<std::string> TCoreSettingsActions::MidiInputList() {
    return midiIn_ ? midiIn_->DeviceList() : std::vector<std::string>{MidiNoneItem};
}

std::string TCoreSettingsActions::OpenMidiOut(int item) { return midiOut_ ? midiOut_->SelectListItem(item) : ""; }

std::string TCoreSettingsActions::OpenMidiIn(int item) {
    // The input is open only while playback follows it.
    if (!midiIn_ || !engine_.SyncToInput) return "";
    return midiIn_->SelectListItem(item);
}

void TCoreSettingsActions::SetBankSelectMethod(int method) {
    settings_.BankSelectMethod = method != 0 ? 1 : 0;
    engine_.SetSettings(settings_);
}

std::vector<std::string> TCoreSettingsActions::AudioOutputList() {
    std::vector<std::string> list;
    if (streaming_)
        for (const TOutputEntry& e : streaming_->DeviceList()) list.push_back(e.Description);
    if (list.empty()) list.push_back(NoneEntryText);
    return list;
}

std::string TCoreSettingsActions::OpenAudioDevice(int item) {
    if (!streaming_) return "";
    try {
        streaming_->ChangeDevice(item);
    } catch (const TStreamingError& e) {
        if (AudioDeviceChanged) AudioDeviceChanged();
        return e.what();
    }
    if (AudioDeviceChanged) AudioDeviceChanged();
    return streaming_->DeviceOpen() || streaming_->LastError().empty() ? "" : streaming_->LastError();
}

std::string TCoreSettingsActions::DeviceFormat() {
    const bool open = streaming_ && streaming_->DeviceOpen();
    return DeviceFormatText(open, InternalRate, InternalBits, InternalChannels);
}

void TCoreSettingsActions::SetBufferLength(int32_t frames) {
    settings_.BufferLength = frames;
    if (!streaming_) {
        engine_.EL.SetBufferLength(frames);
        return;
    }
    try {
        streaming_->SetBufferLength(frames);
    } catch (const TStreamingError&) {
        // The device keeps running with what it had; the next device change reports.
    }
}

void TCoreSettingsActions::SetAheadLength(int32_t frames) {
    settings_.AheadLength = frames;
    if (!streaming_) return;
    streaming_->SetAheadLength(frames);
    // The buffer is rebuilt for the new ahead time with the block unchanged.
    SetBufferLength(settings_.BufferLength);
}

void TCoreSettingsActions::SetTiming(bool on) {
    if (streaming_) streaming_->SetTiming(on);
}

void TCoreSettingsActions::sample() {
    // Figures the mixing thread publishes as atomics: a render holds the
    // engine lock for its whole run, and the meter must not wait for it.
    lastUsage_ = streaming_ ? streaming_->CpuUsage() : 0;
    lastVoices_ = streaming_ ? streaming_->VoicesPlaying() : 0;
}

int32_t TCoreSettingsActions::CpuUsage() {
    sample();
    return lastUsage_;
}

int TCoreSettingsActions::VoiceCount() { return lastVoices_; }

int32_t TCoreSettingsActions::UnderrunCount() { return streaming_ ? streaming_->UnderrunCount() : 0; }

void TCoreSettingsActions::SetRemainder(TRemainder remainder) {
    settings_.RenderingRemainder = remainder;
    engine_.SetSettings(settings_);
}

void TCoreSettingsActions::SetSurround(bool on) {
    settings_.Surround = on;
    engine_.SetSurround(on);  // the mixer picks it up at its next block
}

bool TCoreSettingsActions::SetPluginEnabled(bool on) {
    settings_.UsePlugin = on;
    if (!plugin_ || !plugin_->Loaded()) return false;
    plugin_->Select(on);
    return plugin_->Active();
}

}  // namespace tx
