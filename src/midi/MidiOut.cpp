#include "midi/MidiOut.h"

namespace tx {

TMidiOutput::TMidiOutput(std::unique_ptr<TMidiOutPort> port) : port_(std::move(port)) {
    if (port_) {
        deviceNames_ = port_->PortNames();
        defaultRouteName_ = port_->DefaultRouteName();
    }
    readCaps();
}

TMidiOutput::~TMidiOutput() {
    if (engine_ && engine_->MidiSink == this) {
        TLockGuard g(&engine_->EL);
        engine_->MidiSink = nullptr;
    }
    Close();
}

void TMidiOutput::readCaps() {
    // What the platform tells of a device here is its name.
    productName_ = deviceID_ == DefaultMidiRoute ? defaultRouteName_ : deviceNames_[size_t(deviceID_)];
    Technology = deviceID_ == DefaultMidiRoute ? MidiTechnologyDefaultRoute : MidiTechnologyPort;
    ChannelMask = MidiAllChannels;
    DriverVersion = 0;
    Voices = Notes = 0;
    Support = 0;
    error_ = MidiNoError;
}

bool TMidiOutput::Open() {
    if (state_ == TMidiOutputState::Open) return true;
    if (!port_) {
        error_ = MidiErrorBadDeviceID;
        LastErrorText = MidiErrorText(error_);
        return false;
    }
    int index = deviceID_;
    if (index != DefaultMidiRoute) {
        // Ports come and go: find the device by its name in today's list.
        std::vector<std::string> now = port_->PortNames();
        index = -2;
        for (size_t i = 0; i < now.size(); ++i)
            if (now[i] == productName_) index = int(i);
        if (index == -2) {
            error_ = MidiErrorNotInstalled;
            LastErrorText = "MIDI output Device " + productName_ + " not installed";
            return false;
        }
    }
    std::string why;
    std::lock_guard<std::mutex> g(sendMutex_);
    if (!port_->Open(index, why)) {
        error_ = MidiErrorUnspecified;
        LastErrorText = why.empty() ? MidiErrorText(error_) : why;
        return false;
    }
    error_ = MidiNoError;
    state_ = TMidiOutputState::Open;
    return true;
}

bool TMidiOutput::Close() {
    std::lock_guard<std::mutex> g(sendMutex_);
    if (state_ != TMidiOutputState::Open) return false;
    port_->Close();
    error_ = MidiNoError;
    state_ = TMidiOutputState::Closed;
    return true;
}

void TMidiOutput::SendEvent(const TMidiEvent& event) {
    if (state_ != TMidiOutputState::Open) throw EmidioutputError("MIDI Output device not open");
    if (!event.Data.empty())
        SendLong(event.Data.data(), event.Data.size());
    else
        SendShort(event.Status, event.Data1, event.Data2);
}

void TMidiOutput::SendShort(uint8_t status, uint8_t data1, uint8_t data2) {
    std::lock_guard<std::mutex> g(sendMutex_);
    if (state_ != TMidiOutputState::Open) return;
    const uint8_t msg[3] = {status, data1, data2};
    int len = ShortMessageLength(status);
    // Last line of defence: a data byte of 128 or more would be read as a status.
    if (len == 0 || (len > 1 && data1 > MidiDataMax) || (len > 2 && data2 > MidiDataMax)) {
        error_ = MidiErrorInvalidData;
        return;
    }
    std::string why;
    error_ = port_->Send(msg, size_t(len), why) ? MidiNoError : MidiErrorUnspecified;
}

void TMidiOutput::SendLong(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> g(sendMutex_);
    if (state_ != TMidiOutputState::Open) throw EmidioutputError("MIDI Output device not open");
    if (length == 0 || length > MidiLongMessageMax) {
        error_ = MidiErrorInvalidData;
        throw EmidioutputError(MidiErrorText(error_));
    }
    std::string why;
    if (!port_->Send(data, length, why)) {
        error_ = MidiErrorUnspecified;
        throw EmidioutputError(why.empty() ? MidiErrorText(error_) : why);
    }
    error_ = MidiNoError;
}

void TMidiOutput::SetDeviceID(int32_t id) {
    if (state_ == TMidiOutputState::Open) throw EmidioutputError("Change to DeviceID while device was open");
    if (id != DefaultMidiRoute && (id < 0 || id >= int32_t(NumDevs()))) throw EmidioutputError("Invalid device ID");
    deviceID_ = id;
    readCaps();
}

void TMidiOutput::SetProductName(const std::string& name) {
    if (state_ == TMidiOutputState::Open) throw EmidioutputError("Change to ProductName while device was open");
    if (name == defaultRouteName_) return SetDeviceID(DefaultMidiRoute);
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (deviceNames_[i] == name) return SetDeviceID(int32_t(i));
    throw EmidioutputError("MIDI output Device " + name + " not installed");
}

std::vector<std::string> TMidiOutput::DeviceList() const {
    std::vector<std::string> list;
    list.push_back(defaultRouteName_);
    list.insert(list.end(), deviceNames_.begin(), deviceNames_.end());
    list.push_back(MidiNoneItem);
    return list;
}

std::string TMidiOutput::SelectListItem(int item) {
    Close();
    int count = int(NumDevs()) + 2;
    item = std::clamp(item, 0, count - 1);
    if (item == count - 1) return {};
    SetDeviceID(item - 1);
    return Open() ? std::string() : LastErrorText;
}

int TMidiOutput::FindDevice(const std::string& name) const {
    if (name == defaultRouteName_) return DefaultMidiRoute;
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (deviceNames_[i] == name) return int(i);
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (!name.empty() && deviceNames_[i].find(name) != std::string::npos) return int(i);
    return -2;
}

void TMidiOutput::Bind(TEngine& engine) {
    engine_ = &engine;
    TLockGuard g(&engine.EL);
    engine.MidiSink = this;
}

void TMidiOutput::PlayMidiStep(int pattern) {
    if (!engine_) return;
    TLockGuard g(&engine_->EL);
    if (engine_->UseWAVOnly) return;
    int s = engine_->CurrentStep;
    if (s < 0 || s >= StepsPerPattern) return;
    for (int c = 0; c < engine_->Loop.ChannelCount(); ++c) triggerMidiChannelStep(c, pattern, s);
}

void TMidiOutput::triggerMidiChannelStep(int c, int pattern, int s) {
    TLoop& loop = engine_->Loop;
    ForEachMidiStepNote(loop, c, pattern, s, rng_, [&](const TMidiStepNote& n) {
        TChannel& t = loop.Channel(n.Target);
        // The previous note ends with the new note's velocity.
        if (IsMidiSet(t.LastNote)) SendShort(uint8_t(0x80 + n.Channel), t.LastNote, n.Velocity);
        if (n.KeyValid()) {
            t.LastNote = uint8_t(n.Key);
            SendShort(uint8_t(0xB0 + n.Channel), MidiPanController, n.Pan);
            SendShort(uint8_t(0x90 + n.Channel), uint8_t(n.Key), n.Velocity);
        } else {
            // A key outside 0..127 is not played; nothing sounds on the channel now.
            t.LastNote = MidiNone;
        }
        t.StepLight[size_t(s)] = StepLightOn;
        t.ActivityLight = ActivityLightOn;
    });
}

void TMidiOutput::SendChannelSetup(int channel) {
    if (!engine_ || channel < 0 || channel >= engine_->Loop.ChannelCount()) return;
    const TChannel& c = engine_->Loop.Channel(channel);
    uint8_t ch = MidiChannelOf(c);
    if (IsMidiSet(c.MidiBank)) {
        if (engine_->Settings.BankSelectMethod != 0) {
            SendShort(uint8_t(0xB0 + ch), MidiBankController, 0);
            SendShort(uint8_t(0xB0 + ch), MidiBankLsbController, c.MidiBank);
        } else {
            SendShort(uint8_t(0xB0 + ch), MidiBankController, c.MidiBank);
        }
    }
    if (IsMidiSet(c.MidiPatch)) SendShort(uint8_t(0xC0 + ch), c.MidiPatch, 0);
    if (c.Pan != MidiPanCentre) SendShort(uint8_t(0xB0 + ch), MidiPanController, MidiData(c.Pan));
}

void TMidiOutput::SendControllerTable(int channel) {
    if (!engine_ || channel < 0 || channel >= engine_->Loop.ChannelCount()) return;
    const TChannel& c = engine_->Loop.Channel(channel);
    uint8_t ch = MidiChannelOf(c);
    for (int n = 0; n < int(c.ControllerTable.size()); ++n)
        if (IsMidiSet(c.ControllerTable[size_t(n)]))
            SendShort(uint8_t(0xB0 + ch), uint8_t(n), c.ControllerTable[size_t(n)]);
}

void TMidiOutput::SendController(int channel, int number, int value) {
    if (!engine_ || channel < 0 || channel >= engine_->Loop.ChannelCount()) return;
    // Negative is "not set"; numbers and values beyond 127 are no MIDI data.
    if (value < 0 || value > MidiDataMax || number < 0 || number > MidiDataMax) return;
    SendShort(uint8_t(0xB0 + MidiChannelOf(engine_->Loop.Channel(channel))), uint8_t(number), uint8_t(value));
}

void TMidiOutput::PreviewNoteOn(int channel, int key) {
    if (!engine_ || channel < 0 || channel >= engine_->Loop.ChannelCount() || key < 0 || key > MidiDataMax) return;
    const TChannel& c = engine_->Loop.Channel(channel);
    SendShort(uint8_t(0x90 + MidiChannelOf(c)), uint8_t(key), MidiData(c.Volume));
}

void TMidiOutput::PreviewNoteOff(int channel, int key) {
    if (!engine_ || channel < 0 || channel >= engine_->Loop.ChannelCount() || key < 0 || key > MidiDataMax) return;
    const TChannel& c = engine_->Loop.Channel(channel);
    SendShort(uint8_t(0x80 + MidiChannelOf(c)), uint8_t(key), MidiData(c.Volume));
}

void TMidiOutput::Panic() {
    for (int ch = 0; ch <= MidiChannelMax; ++ch) SendShort(uint8_t(0xB0 + ch), MidiAllSoundOffController, 0);
    if (engine_) {
        TLockGuard g(&engine_->EL);
        engine_->ClearVoices();
    }
}

}  // namespace tx
