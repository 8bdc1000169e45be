#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace tx {

// The values of a sample's frames, shared between samples until one of them
// writes: channels that play one file with the same effects hold one copy.
// Reading never copies; any non-const access first makes the values this
// object's own (a copy only when they are shared), so a writer can never
// change frames another sample plays. Shared frames are only ever shared
// and released on the window thread; the mixer reads them through a const
// sample under the engine lock.
class TSampleFrames {
public:
    using value_type = int16_t;
    using iterator = int16_t*;
    using const_iterator = const int16_t*;

    TSampleFrames() = default;
    TSampleFrames(std::initializer_list<int16_t> v) : p_(std::make_shared<std::vector<int16_t>>(v)) {}
    TSampleFrames(std::vector<int16_t> v) : p_(std::make_shared<std::vector<int16_t>>(std::move(v))) {}
    TSampleFrames& operator=(std::vector<int16_t> v) {
        p_ = std::make_shared<std::vector<int16_t>>(std::move(v));
        return *this;
    }
    TSampleFrames& operator=(std::initializer_list<int16_t> v) { return *this = std::vector<int16_t>(v); }

    size_t size() const { return p_ ? p_->size() : 0; }
    bool empty() const { return size() == 0; }
    const int16_t* data() const { return p_ ? p_->data() : nullptr; }
    const int16_t* begin() const { return data(); }
    const int16_t* end() const { return data() + size(); }
    int16_t operator[](size_t i) const { return (*p_)[i]; }
    operator const std::vector<int16_t>&() const { return p_ ? *p_ : empty_(); }

    // Writing access: the values become this object's own first.
    std::vector<int16_t>& Mutable() {
        if (!p_)
            p_ = std::make_shared<std::vector<int16_t>>();
        else if (p_.use_count() > 1)
            p_ = std::make_shared<std::vector<int16_t>>(*p_);
        return *p_;
    }
    int16_t* data() { return Mutable().data(); }
    int16_t* begin() { return data(); }
    int16_t* end() { return data() + size(); }
    int16_t& operator[](size_t i) { return Mutable()[i]; }
    void assign(size_t n, int16_t v) { *this = std::vector<int16_t>(n, v); }
    void resize(size_t n) { Mutable().resize(n); }
    void push_back(int16_t v) { Mutable().push_back(v); }
    void clear() { p_.reset(); }
    void swap(TSampleFrames& o) noexcept { p_.swap(o.p_); }

    // True when both hold the very same values (one shared copy).
    bool SharesWith(const TSampleFrames& o) const { return p_ && p_ == o.p_; }
    // Bytes of the values (counted once however many samples share them).
    size_t Bytes() const { return size() * sizeof(int16_t); }

    friend bool operator==(const TSampleFrames& a, const TSampleFrames& b) {
        return static_cast<const std::vector<int16_t>&>(a) == static_cast<const std::vector<int16_t>&>(b);
    }
    friend bool operator==(const TSampleFrames& a, const std::vector<int16_t>& b) {
        return static_cast<const std::vector<int16_t>&>(a) == b;
    }

private:
    static const std::vector<int16_t>& empty_() {
        static const std::vector<int16_t> none;
        return none;
    }
    std::shared_ptr<std::vector<int16_t>> p_;
};

// Sample frames in the internal format: 44100 Hz, 16-bit signed, stereo,
// interleaved left then right. Only its owner frees it; the mixer reads it
// under the engine lock.
struct TWAVSample {
    TSampleFrames Data;      // 2 * Length values; empty = no data
    int32_t Length = 0;      // frames in Data
    int32_t PlayLength = 0;  // natural playing length in frames (trailing silence trimmed)
    int32_t CutGroup = 0;    // 0..99, the group this channel's notes cut
    int32_t CutByGroup = 0;  // 0..99, the group that cuts this channel's notes

    bool HasData() const { return !Data.empty(); }
    void ClearSampleData() {
        Data.clear();
        Length = 0;
    }
    int16_t Left(int32_t frame) const { return Data[size_t(frame) * 2]; }
    int16_t Right(int32_t frame) const { return Data[size_t(frame) * 2 + 1]; }
};

// The one wave-format record shared by the loader, the device and the WAV writer.
struct WaveFormat {
    static constexpr uint16_t FormatTag = 1;
    static constexpr uint16_t Channels = 2;
    static constexpr uint32_t SamplesPerSec = 44100;
    static constexpr uint32_t AvgBytesPerSec = 176400;
    static constexpr uint16_t BlockAlign = 4;
    static constexpr uint16_t BitsPerSample = 16;
    static constexpr uint16_t ExtraSize = 0;
};

}  // namespace tx
