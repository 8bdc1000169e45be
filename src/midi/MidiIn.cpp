#include "midi/MidiIn.h"

#include <algorithm>

namespace tx {

TMidiInput::TMidiInput(std::unique_ptr<TMidiInPort> port, uint16_t sysexBufferCount) : port_(std::move(port)) {
    if (port_) deviceNames_ = port_->PortNames();
    if (!deviceNames_.empty()) SetDeviceID(0);
    sysexBufferCount_ = sysexBufferCount;
    state_ = MidiInputClosed;
}

TMidiInput::~TMidiInput() {
    try {
        Close();
    } catch (const EMidiInputError&) {
        // nothing more can be done while going away
    }
}

bool TMidiInput::Open() {
    if (state_ == MidiInputOpen) return true;
    if (!port_ || deviceNames_.empty()) {
        error_ = MidiErrorBadDeviceID;
        LastErrorText = MidiErrorText(error_);
        return false;
    }
    // Ports come and go: find the device by its name in today's list.
    std::vector<std::string> now = port_->PortNames();
    auto it = std::find(now.begin(), now.end(), productName_);
    if (it == now.end()) {
        error_ = MidiErrorNotInstalled;
        LastErrorText = "MIDI Input Device " + productName_ + " not installed ";
        return false;
    }
    std::string why;
    if (!port_->Open(
            int(it - now.begin()), [this](const uint8_t* d, size_t n, int64_t ms) { received(d, n, ms); }, why)) {
        error_ = MidiErrorUnspecified;
        LastErrorText = why.empty() ? MidiErrorText(error_) : why;
        return false;
    }
    error_ = MidiNoError;
    state_ = MidiInputOpen;
    return true;
}

void TMidiInput::Start() {
    if (state_ != MidiInputOpen) return;
    std::string why;
    if (!port_->Start(why)) {
        error_ = MidiErrorUnspecified;
        throw EMidiInputError(why.empty() ? MidiErrorText(error_) : why);
    }
}

void TMidiInput::Close() {
    if (state_ != MidiInputOpen) return;
    state_ = MidiInputClosed;
    port_->Close();
    error_ = MidiNoError;
}

void TMidiInput::SetDeviceID(int32_t id) {
    if (state_ == MidiInputOpen) throw EMidiInputError("Change to DeviceID while device was open");
    if (uint16_t(id) >= NumDevs() || id < 0) throw EMidiInputError("Invalid device ID");
    deviceID_ = id;
    productName_ = deviceNames_[size_t(id)];
    error_ = MidiNoError;
}

void TMidiInput::SetProductName(const std::string& name) {
    if (state_ == MidiInputOpen) throw EMidiInputError("Change to ProductName while device was open");
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (deviceNames_[i] == name) return SetDeviceID(int32_t(i));
    throw EMidiInputError("MIDI Input Device " + name + " not installed ");
}

void TMidiInput::SetSysexBufferSize(uint16_t size) {
    if (state_ == MidiInputOpen) throw EMidiInputError("Change to SysexBufferSize while device was open");
    sysexBufferSize_ = size;
}

void TMidiInput::SetSysexBufferCount(uint16_t count) {
    if (state_ == MidiInputOpen) throw EMidiInputError("Change to SysexBuffercount while device was open");
    sysexBufferCount_ = count;
}

std::vector<std::string> TMidiInput::DeviceList() const {
    std::vector<std::string> list = deviceNames_;
    list.push_back(MidiNoneItem);
    return list;
}

std::string TMidiInput::SelectListItem(int item) {
    Close();
    int count = int(NumDevs()) + 1;
    item = std::clamp(item, 0, count - 1);
    if (item == count - 1) return {};
    SetDeviceID(item);
    std::string error;
    if (!Open()) error = LastErrorText;
    Start();
    return error;
}

int TMidiInput::FindDevice(const std::string& name) const {
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (deviceNames_[i] == name) return int(i);
    for (size_t i = 0; i < deviceNames_.size(); ++i)
        if (!name.empty() && deviceNames_[i].find(name) != std::string::npos) return int(i);
    return -1;
}

void TMidiInput::received(const uint8_t* data, size_t size, int64_t ms) {
    // Only well-formed short messages are passed on: system exclusive, empty
    // events, stray data bytes and messages of the wrong length are dropped.
    if (size == 0 || size > 3 || int(size) != ShortMessageLength(data[0])) return;
    for (size_t i = 1; i < size; ++i)
        if (data[i] >= 0x80) return;
    uint32_t m = data[0];
    if (size > 1) m += uint32_t(data[1]) << 8;
    if (size > 2) m += uint32_t(data[2]) << 16;
    if (OnMidiInput) OnMidiInput(m, ms);
}

TMidiSync::TMidiSync(TEngine& engine) : engine_(engine) {
    TLockGuard g(&engine_.EL);
    engine_.SyncStart = [this] { HandleMessage(MidiStart, 0); };
    engine_.SyncStop = [this] { HandleMessage(MidiStop, 0); };
}

TMidiSync::~TMidiSync() {
    TLockGuard g(&engine_.EL);
    engine_.SyncStart = nullptr;
    engine_.SyncStop = nullptr;
}

void TMidiSync::Attach(TMidiInput& input) {
    input.OnMidiInput = [this](uint32_t m, int64_t ms) { HandleMessage(m, ms); };
}

int64_t TMidiSync::ClockCount() const {
    TLockGuard g(&engine_.EL);
    return clockCount_;
}

int64_t TMidiSync::LastClockTime() const {
    TLockGuard g(&engine_.EL);
    return lastClockTime_;
}

void TMidiSync::start(bool fromBeginning) {
    engine_.StartClock();
    if (fromBeginning) engine_.CurrentStep = -1;
    engine_.PublishDisplay(true);
    clockCount_ = ClockCountAtStart;
    lastClockTime_ = 0;
}

void TMidiSync::HandleMessage(uint32_t message, int64_t ms) {
    int tempo = 0;
    int playingState = -1;  // -1 no change, 0 stopped, 1 started
    {
        TLockGuard g(&engine_.EL);
        if (!engine_.SyncToInput) return;
        switch (message) {
            case MidiTimingClock:
                ++clockCount_;
                if (engine_.Playing && clockCount_ % ClocksPerStep == 0) engine_.StepTick();
                if (clockCount_ % ClocksPerMeasure == 0) {
                    // A stamp that went backwards gives no tempo (it would be negative).
                    if (lastClockTime_ != 0 && ms > lastClockTime_) {
                        tempo = int(std::clamp<int64_t>(MeasureMsBpm / (ms - lastClockTime_), MinTempo, MaxTempo));
                        engine_.SetTempo(tempo);
                    }
                    lastClockTime_ = ms;
                }
                break;
            case MidiStart:
                start(true);
                playingState = 1;
                break;
            case MidiContinue:
                start(false);
                playingState = 1;
                break;
            case MidiStop:
                // The whole stop happens here, in order with the messages
                // around it, not later when the window handles its event.
                engine_.Playing = false;
                engine_.CurrentStep = -1;
                engine_.PublishDisplay(true);
                playingState = 0;
                break;
            default:
                return;  // notes, controllers and everything else
        }
    }
    if (tempo != 0 && OnTempo) OnTempo(tempo);
    if (playingState >= 0 && OnPlayingState) OnPlayingState(playingState == 1);
}

}  // namespace tx
