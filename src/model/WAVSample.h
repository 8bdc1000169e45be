#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tx {

// Sample frames in the internal format: 44100 Hz, 16-bit signed, stereo,
// interleaved left then right. Only its owner frees it; the mixer reads it
// under the engine lock.
struct TWAVSample {
    std::vector<int16_t> Data;  // 2 * Length values; empty = no data
    int32_t Length = 0;         // frames in Data
    int32_t PlayLength = 0;     // natural playing length in frames (trailing silence trimmed)
    int32_t CutGroup = 0;       // 0..99, the group this channel's notes cut
    int32_t CutByGroup = 0;     // 0..99, the group that cuts this channel's notes

    bool HasData() const { return !Data.empty(); }
    void ClearSampleData() {
        std::vector<int16_t>().swap(Data);
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
