// The program's own drum synthesis: oscillators, filtered noise and envelopes
// with fixed-seed generators, so every build writes the very same bytes. Shared
// by the drum kit and the default style's start sound.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace drumsynth {

inline constexpr double Rate = 44100.0;  // frames per second of every file
inline constexpr double Pi = 3.14159265358979323846;
inline constexpr double PeakLevel = 0.89;  // normalised peak, about -1 dBFS

// xorshift64*: small, fast and the same on every platform.
class TNoise {
public:
    explicit TNoise(uint64_t seed) : s_(seed ? seed : 1) {}
    double next() {  // uniform in [-1, 1)
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        uint64_t v = s_ * 0x2545F4914F6CDD1Dull;
        return double(v >> 11) / double(1ull << 52) - 1.0;
    }

private:
    uint64_t s_;
};

// Second-order filter sections after the well-known audio cookbook formulas.
class TBiquad {
public:
    static TBiquad LowPass(double f, double q) { return make(f, q, 0); }
    static TBiquad HighPass(double f, double q) { return make(f, q, 1); }
    static TBiquad BandPass(double f, double q) { return make(f, q, 2); }

    double operator()(double x) {
        double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    static TBiquad make(double f, double q, int kind) {
        double w = 2 * Pi * f / Rate, cs = std::cos(w), alpha = std::sin(w) / (2 * q);
        double b0, b1, b2;
        if (kind == 0) {
            b0 = (1 - cs) / 2, b1 = 1 - cs, b2 = (1 - cs) / 2;
        } else if (kind == 1) {
            b0 = (1 + cs) / 2, b1 = -(1 + cs), b2 = (1 + cs) / 2;
        } else {
            b0 = alpha, b1 = 0, b2 = -alpha;
        }
        double a0 = 1 + alpha;
        TBiquad b;
        b.b0_ = b0 / a0, b.b1_ = b1 / a0, b.b2_ = b2 / a0;
        b.a1_ = -2 * cs / a0, b.a2_ = (1 - alpha) / a0;
        return b;
    }
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

struct TStereo {
    std::vector<double> L, R;
    explicit TStereo(double seconds) : L(size_t(seconds * Rate)), R(L.size()) {}
    size_t size() const { return L.size(); }
};

// Exponential decay with a short linear attack, so no hit starts with a click.
inline double envelope(double t, double attack, double decay) {
    double a = attack > 0 && t < attack ? t / attack : 1.0;
    return a * std::exp(-t / decay);
}

// Six square oscillators at inharmonic ratios: the metallic core of hats and cymbals.
inline double metal(double t, double scale) {
    static const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double s = 0;
    for (double f : freqs) s += std::fmod(t * f * scale, 1.0) < 0.5 ? 1.0 : -1.0;
    return s / 6;
}

inline double saturate(double x, double drive) { return std::tanh(x * drive) / std::tanh(drive); }

inline TStereo kick() {
    TStereo s(0.5);
    TNoise n(11);
    TBiquad clickLp = TBiquad::LowPass(3500, 0.7);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double f = 46 + 120 * std::exp(-t / 0.04);  // fast downward sweep gives the punch
        phase += f / Rate;
        double body = std::sin(2 * Pi * phase) * envelope(t, 0.0015, 0.16);
        double click = clickLp(n.next()) * envelope(t, 0.0003, 0.004) * 0.5;
        double v = saturate(body + click, 1.6);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline TStereo snare() {
    TStereo s(0.38);
    TNoise n(23);
    TBiquad hp = TBiquad::HighPass(1400, 0.7), lp = TBiquad::LowPass(9000, 0.7);
    double p1 = 0, p2 = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double bend = 1 + 0.12 * std::exp(-t / 0.012);
        p1 += 186 * bend / Rate;
        p2 += 334 * bend / Rate;
        double tone = std::sin(2 * Pi * p1) * envelope(t, 0.001, 0.055) * 0.55 +
                      std::sin(2 * Pi * p2) * envelope(t, 0.001, 0.03) * 0.3;
        double rattle = lp(hp(n.next())) * envelope(t, 0.001, 0.11) * 0.9;
        double v = saturate(tone + rattle, 1.3);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline TStereo clap() {
    TStereo s(0.45);
    TNoise common(37), left(41), right(43);
    TBiquad bpL = TBiquad::BandPass(1150, 1.1), bpR = TBiquad::BandPass(1150, 1.1);
    TBiquad hpL = TBiquad::HighPass(500, 0.7), hpR = TBiquad::HighPass(500, 0.7);
    const double bursts[4] = {0.0, 0.011, 0.021, 0.033};  // several hands, slightly apart
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double e = 0;
        for (double b : bursts)
            if (t >= b) e = std::max(e, envelope(t - b, 0.0005, 0.007));
        if (t >= bursts[3]) e = std::max(e, 0.7 * envelope(t - bursts[3], 0.001, 0.13));
        double c = common.next();
        s.L[i] = hpL(bpL(0.75 * c + 0.25 * left.next())) * e;
        s.R[i] = hpR(bpR(0.75 * c + 0.25 * right.next())) * e;
    }
    return s;
}

inline TStereo hat(double seconds, double decay, uint64_t seed) {
    TStereo s(seconds);
    TNoise n(seed);
    TBiquad hp1 = TBiquad::HighPass(7000, 0.7), hp2 = TBiquad::HighPass(7000, 0.7);
    TBiquad bp = TBiquad::BandPass(10500, 0.9);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double x = 0.75 * metal(t, 1.7) + 0.35 * n.next();
        double y = hp2(hp1(x));
        y = 0.6 * y + 0.6 * bp(y);
        double v = y * envelope(t, 0.0004, decay);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline TStereo tom(double base, double sweep, double decay, double seconds, uint64_t seed) {
    TStereo s(seconds);
    TNoise n(seed);
    TBiquad lp = TBiquad::LowPass(2500, 0.7);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        phase += (base + sweep * std::exp(-t / 0.07)) / Rate;
        double body = std::sin(2 * Pi * phase) * envelope(t, 0.001, decay);
        double stick = lp(n.next()) * envelope(t, 0.0005, 0.012) * 0.35;
        double v = saturate(body + stick, 1.2);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline TStereo rim() {
    TStereo s(0.09);
    TNoise n(59);
    TBiquad hp = TBiquad::HighPass(600, 0.7), bp = TBiquad::BandPass(2500, 1.5);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double tone = std::sin(2 * Pi * 1720 * t) * envelope(t, 0.0003, 0.009) +
                      0.7 * std::sin(2 * Pi * 495 * t) * envelope(t, 0.0003, 0.014);
        double click = bp(n.next()) * envelope(t, 0.0002, 0.003) * 1.5;
        double v = saturate(hp(tone + click), 2.5);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline TStereo cymbal() {
    TStereo s(2.6);
    TNoise nl(67), nr(71);
    TBiquad hpL = TBiquad::HighPass(4500, 0.7), hpR = TBiquad::HighPass(4500, 0.7);
    TBiquad hpL2 = TBiquad::HighPass(4500, 0.7), hpR2 = TBiquad::HighPass(4500, 0.7);
    TBiquad lpL = TBiquad::LowPass(14000, 0.7), lpR = TBiquad::LowPass(14000, 0.7);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        double m = metal(t, 1.33) * 0.6 + metal(t + 0.0003, 2.21) * 0.4;
        double e = envelope(t, 0.0008, 0.55) + 0.6 * envelope(t, 0.0005, 0.03);
        s.L[i] = lpL(hpL2(hpL(0.55 * m + 0.55 * nl.next()))) * e;
        s.R[i] = lpR(hpR2(hpR(0.55 * m + 0.55 * nr.next()))) * e;
    }
    return s;
}

// A round sub bass at A (55 Hz); the loop plays other notes by pitching it.
inline TStereo bass() {
    TStereo s(0.34);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = i / Rate;
        phase += 55.0 * (1 + 0.06 * std::exp(-t / 0.01)) / Rate;
        double x = std::sin(2 * Pi * phase) + 0.18 * std::sin(4 * Pi * phase);
        double tail = t > 0.29 ? (0.34 - t) / 0.05 : 1.0;  // ends at zero instead of stopping dead
        double v = saturate(x * envelope(t, 0.003, 0.15) * tail, 1.4);
        s.L[i] = s.R[i] = v;
    }
    return s;
}

inline void putLE(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

inline constexpr double FadeSeconds = 0.01;  // every sound ends in a short fade, never with a click

// Fades the end, normalises to PeakLevel and converts to a 16-bit WAV file's bytes.
inline std::vector<uint8_t> encodeWAV(TStereo s) {
    const size_t fade = std::min(s.size(), size_t(FadeSeconds * Rate));
    for (size_t k = 0; k < fade; ++k) {
        double g = double(k) / double(fade);  // 0 on the very last frame
        s.L[s.size() - 1 - k] *= g;
        s.R[s.size() - 1 - k] *= g;
    }
    double peak = 1e-9;
    for (size_t i = 0; i < s.size(); ++i) peak = std::max({peak, std::fabs(s.L[i]), std::fabs(s.R[i])});
    double gain = PeakLevel / peak;
    uint32_t dataBytes = uint32_t(s.size() * 4);
    std::vector<uint8_t> b;
    b.reserve(44 + dataBytes);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    putLE(b, 36 + dataBytes, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLE(b, 16, 4);
    putLE(b, 1, 2);       // PCM
    putLE(b, 2, 2);       // channels
    putLE(b, 44100, 4);   // frames per second
    putLE(b, 176400, 4);  // bytes per second
    putLE(b, 4, 2);       // block align
    putLE(b, 16, 2);      // bits per sample
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    putLE(b, dataBytes, 4);
    for (size_t i = 0; i < s.size(); ++i) {
        for (double v : {s.L[i], s.R[i]}) {
            long q = std::lround(std::clamp(v * gain, -1.0, 1.0) * 32767.0);
            putLE(b, uint32_t(int16_t(q)) & 0xFFFFu, 2);
        }
    }
    return b;
}

// The WAV file written through a temporary file.
inline bool writeWAV(const std::filesystem::path& path, TStereo s) {
    std::vector<uint8_t> b = encodeWAV(std::move(s));
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok) std::filesystem::rename(tmp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(tmp, ec);
        return false;
    }
    return true;
}

}  // namespace drumsynth
