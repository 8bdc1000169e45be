#include "midi/MidiPort.h"

namespace tx {

std::string MidiErrorText(uint16_t code) {
    switch (code) {
        case MidiNoError:
            return "The operation completed successfully.";
        case MidiErrorUnspecified:
            return "An unspecified error occurred.";
        case MidiErrorBadDeviceID:
            return "The device identifier is out of range.";
        case MidiErrorNotOpen:
            return "The device is not open.";
        case MidiErrorInvalidData:
            return "The message carries a data byte of 128 or more.";
        case MidiErrorNotInstalled:
            return "The device is not installed.";
        default:
            return "Specified error number is out of range";
    }
}

int ShortMessageLength(uint8_t status) {
    if (status < 0x80) return 0;
    switch (status & 0xF0) {
        case 0xC0:  // program change
        case 0xD0:  // channel pressure
            return 2;
        case 0xF0:
            switch (status) {
                case 0xF1:  // time code quarter frame
                case 0xF3:  // song select
                    return 2;
                case 0xF2:  // song position
                    return 3;
                case 0xF0:  // system exclusive: a long message
                case 0xF7:
                    return 0;
                default:  // tune request and the real-time messages
                    return 1;
            }
        default:
            return 3;
    }
}

bool TRecordingMidiOutPort::Open(int index, std::string& error) {
    if (FailOpen || index < DefaultMidiRoute || index >= int(names_.size())) {
        error = "The device is not available.";
        return false;
    }
    std::lock_guard<std::mutex> g(mutex_);
    open_ = true;
    openedIndex_ = index;
    return true;
}

void TRecordingMidiOutPort::Close() {
    std::lock_guard<std::mutex> g(mutex_);
    open_ = false;
}

bool TRecordingMidiOutPort::IsOpen() const {
    std::lock_guard<std::mutex> g(mutex_);
    return open_;
}

bool TRecordingMidiOutPort::Send(const uint8_t* data, size_t size, std::string& error) {
    std::lock_guard<std::mutex> g(mutex_);
    if (!open_) {
        error = "The port is not open.";
        return false;
    }
    messages_.emplace_back(data, data + size);
    return true;
}

std::vector<std::vector<uint8_t>> TRecordingMidiOutPort::Messages() const {
    std::lock_guard<std::mutex> g(mutex_);
    return messages_;
}

void TRecordingMidiOutPort::Clear() {
    std::lock_guard<std::mutex> g(mutex_);
    messages_.clear();
}

int TRecordingMidiOutPort::OpenedIndex() const {
    std::lock_guard<std::mutex> g(mutex_);
    return openedIndex_;
}

bool TFakeMidiInPort::Open(int index, Handler handler, std::string& error) {
    if (FailOpen || index < 0 || index >= int(names_.size())) {
        error = "The device is not available.";
        return false;
    }
    handler_ = std::move(handler);
    open_ = true;
    started_ = false;
    return true;
}

bool TFakeMidiInPort::Start(std::string& error) {
    if (!open_) {
        error = "The port is not open.";
        return false;
    }
    started_ = true;
    return true;
}

void TFakeMidiInPort::Close() {
    open_ = false;
    started_ = false;
    handler_ = nullptr;
}

void TFakeMidiInPort::Deliver(const std::vector<uint8_t>& bytes, int64_t ms) {
    if (open_ && started_ && handler_) handler_(bytes.data(), bytes.size(), ms);
}

}  // namespace tx
