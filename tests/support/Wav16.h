#pragma once
// 16-bit stereo 44100 Hz WAV files for tests: written plainly for samples, read
// by walking the chunks (renders put a LIST chunk after the frames).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "TestSupport.h"

namespace txtest {

// `pcm` holds interleaved frames: left, right, left, ...
inline void WriteWav16(const std::filesystem::path& p, const std::vector<int16_t>& pcm) {
    const uint32_t data = uint32_t(pcm.size() * 2);
    std::vector<unsigned char> b(44 + size_t(data));
    auto le = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + size_t(i)] = (unsigned char)(v >> (8 * i));
    };
    std::memcpy(&b[0], "RIFF....WAVEfmt ", 16);
    le(4, 36 + data, 4);
    le(16, 16, 4);
    le(20, 1, 2);  // PCM
    le(22, 2, 2);  // stereo
    le(24, 44100, 4);
    le(28, 44100 * 4, 4);
    le(32, 4, 2);   // bytes a frame
    le(34, 16, 2);  // bits a sample
    std::memcpy(&b[36], "data", 4);
    le(40, data, 4);
    std::memcpy(&b[44], pcm.data(), data);
    WriteFileBytes(p, b);
}

// A sample of `frames` frames of constant (left, right).
inline void WriteConstantWav16(const std::filesystem::path& p, uint32_t frames, int16_t left, int16_t right) {
    std::vector<int16_t> pcm;
    for (uint32_t i = 0; i < frames; ++i) pcm.insert(pcm.end(), {left, right});
    WriteWav16(p, pcm);
}

// The interleaved frames of the data chunk; empty when there is none.
inline std::vector<int16_t> ReadWav16(const std::filesystem::path& p) {
    const std::vector<unsigned char> b = ReadFileBytes(p);
    for (size_t pos = 12; pos + 8 <= b.size();) {
        const uint32_t size = uint32_t(b[pos + 4]) | uint32_t(b[pos + 5]) << 8 | uint32_t(b[pos + 6]) << 16 |
                              uint32_t(b[pos + 7]) << 24;
        if (std::memcmp(&b[pos], "data", 4) == 0) {
            std::vector<int16_t> pcm(std::min<size_t>(size, b.size() - pos - 8) / 2);
            std::memcpy(pcm.data(), &b[pos + 8], pcm.size() * 2);
            return pcm;
        }
        pos += 8 + size + (size & 1);
    }
    return {};
}

}  // namespace txtest
