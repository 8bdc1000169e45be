#pragma once
// Helpers for the sample tests: hand-built RIFF images and sox-made files.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "model/WAVSample.h"

namespace txtest {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void Append(Bytes& b, const Bytes& more) {
    for (unsigned char c : more) b.push_back(c);
}
inline void PutId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(id[i]));
}

// A chunk with its id, body and the size its header claims (body size unless given).
inline Bytes Chunk(const char* id, const Bytes& body, int64_t claimedSize = -1) {
    Bytes b;
    PutId(b, id);
    Put32(b, uint32_t(claimedSize < 0 ? body.size() : uint64_t(claimedSize)));
    Append(b, body);
    return b;
}

// The 16-byte wave-format record (no extra size field).
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes b;
    uint16_t align = uint16_t(channels * bits / 8);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    return b;
}

// "RIFF" size "WAVE" then the chunks; the RIFF size is the true one unless given.
inline Bytes Riff(const std::vector<Bytes>& chunks, int64_t claimedRiffSize = -1) {
    Bytes body;
    for (const auto& c : chunks) Append(body, c);
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, uint32_t(claimedRiffSize < 0 ? body.size() + 4 : uint64_t(claimedRiffSize)));
    PutId(b, "WAVE");
    Append(b, body);
    return b;
}

inline Bytes Pcm16(const std::vector<int16_t>& values) {
    Bytes b;
    for (int16_t v : values) Put16(b, uint16_t(v));
    return b;
}

// Runs sox to make a test file: `format` are the output options (-r, -c, -b, -e),
// `effects` what to synthesise. Returns false when sox fails.
inline bool Sox(const std::string& format, const std::string& effects, const std::filesystem::path& out) {
    // No dither: sox would add random noise below 16 bits, and the figures would vary run to run.
    std::string cmd = "sox -V1 -D -n " + format + " '" + out.string() + "' " + effects + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

struct SideStats {
    double rms = 0;
    int peak = 0;
    int crossings = 0;  // sign changes from negative to non-negative
};

inline SideStats Stats(const tx::TWAVSample& s, int side, int32_t from = 0, int32_t to = -1) {
    SideStats st;
    if (to < 0) to = s.Length;
    double sum = 0;
    int prev = 0;
    for (int32_t i = from; i < to; ++i) {
        int v = s.Data[size_t(i) * 2 + size_t(side)];
        sum += double(v) * v;
        st.peak = std::max(st.peak, std::abs(v));
        if (i > from && prev < 0 && v >= 0) ++st.crossings;
        prev = v;
    }
    st.rms = to > from ? std::sqrt(sum / (to - from)) : 0;
    return st;
}

}  // namespace txtest
