#pragma once
// The inner loops of the voice mixer, kept apart so the benchmarks can time
// them alone (and the filter with other state types). Pure functions: any
// thread, no allocation.
#include <cstdint>
#include <cstring>
#include <limits>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif
#include <cmath>

namespace tx::mix {

inline int32_t Saturate32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// Round to nearest, ties to even (the FPU's default mode), without a libm call.
inline int64_t RoundToInt64(long double x) {
#if defined(__x86_64__) || defined(__i386__)
    int64_t r;
    __asm__("fistpll %0" : "=m"(r) : "t"(x) : "st");
    return r;
#else
    return std::llrint(x);
#endif
}
inline int64_t RoundToInt64(double x) {
#if defined(__x86_64__)
    return _mm_cvtsd_si64(_mm_set_sd(x));
#else
    return std::llrint(x);
#endif
}

// Rounded and limited to the 32-bit mix range. Values beyond the 64-bit range
// (a filter cannot get there) would come out as the lowest value.
template <typename T>
inline int32_t RoundSaturate32(T x) {
    return Saturate32(RoundToInt64(x));
}

// Drop-and-repeat resampling of a source of s frames to a voice of d frames:
// n output frames from output frame off. Exactly the walk of the rules: start
// at (s x off) div d with A = 2 x (rem - d), or at 0 with A = -2 x d; after
// each frame A += s and the source advances while A >= 0 (A -= d each time).
// The accumulator is 64-bit so very long voices cannot overflow it; in the
// 32-bit range it takes the same values. The "while" is unrolled into a
// constant number of steps per frame.
inline void Resample(const int16_t* src, int64_t s, int64_t d, int64_t off, int32_t n, int16_t* dst) {
    int64_t i, a;
    if (off > 0) {
        const int64_t p = s * off;
        i = p / d;
        a = 2 * (p % d - d);
    } else {
        i = 0;
        a = -2 * d;
    }
    const int64_t sdiv = s / d, smod = s % d;
    for (int32_t k = 0; k < n; ++k) {
        std::memcpy(dst + 2 * k, src + 2 * i, 4);
        const int64_t t = a + smod;  // a + s = t + sdiv x d
        if (t >= 0) {
            i += sdiv + 1;
            a = t - d;
        } else if (t >= -d) {
            i += sdiv;
            a = t;
        } else if (sdiv >= 1) {  // only before the first step: a was below -d
            i += sdiv - 1;
            a = t + d;
        } else {
            a = t;
        }
    }
}

// Resample's walk, resumable and with a chosen output stride (in values), for
// the vector mixer, which takes a voice's block in pieces: Start at the
// block's first output frame, then Run the pieces in order. Gives exactly the
// frames of one Resample call over the whole block.
struct TResampleWalk {
    int64_t i = 0, a = 0, d = 1, sdiv = 0, smod = 0;

    void Start(int64_t s, int64_t dLength, int64_t off) {
        d = dLength;
        if (off > 0) {
            const int64_t p = s * off;
            i = p / d;
            a = 2 * (p % d - d);
        } else {
            i = 0;
            a = -2 * d;
        }
        sdiv = s / d;
        smod = s % d;
    }

    void Run(const int16_t* src, int32_t n, int16_t* dst, int32_t stride) {
        int32_t k = 0;
        // The start values may put A below -d; the walk's first steps bring it
        // up, after which it stays in [-d, 0).
        for (; k < n && a < -d; ++k) {
            std::memcpy(dst + size_t(k) * size_t(stride), src + 2 * i, 4);
            const int64_t t = a + smod;
            if (t >= 0) {
                i += sdiv + 1;
                a = t - d;
            } else if (t >= -d) {
                i += sdiv;
                a = t;
            } else if (sdiv >= 1) {
                i += sdiv - 1;
                a = t + d;
            } else {
                a = t;
            }
        }
        // From here a + smod lies in [-d, d): one step or none beyond sdiv,
        // chosen without a branch the processor could mispredict.
        for (; k < n; ++k) {
            std::memcpy(dst + size_t(k) * size_t(stride), src + 2 * i, 4);
            const int64_t t = a + smod;
            const int64_t step = t >= 0;
            i += sdiv + step;
            a = t - (d & -step);
        }
    }
};

// Integer path, the literal form: (x x 65536 x g) shr 32 with 64-bit
// products, floor, added to the mix with saturation (a sum past the 32-bit
// range would otherwise wrap). The reference for MixIntegerVector.
inline void MixIntegerScalar(int32_t* mix, const int16_t* src, int32_t n, int64_t gL, int64_t gR) {
    for (int32_t k = 0; k < n; ++k) {
        const int64_t l = (int64_t(src[2 * k]) * 65536 * gL) >> 32;
        const int64_t r = (int64_t(src[2 * k + 1]) * 65536 * gR) >> 32;
        mix[2 * k] = Saturate32(mix[2 * k] + l);
        mix[2 * k + 1] = Saturate32(mix[2 * k + 1] + r);
    }
}

// One side's two-pole resonant low-pass state.
template <typename T>
struct FilterSide {
    T pos, vel;
};

// Filtered path: per side vel += (x - pos) x c; pos += vel; out += pos x g
// (rounded when stored); vel = vel x r. The caller rounds pos at block end.
// The gains are exact as doubles (an integer below 2^53 over 65536) and c, r
// are floats by definition, so passing them narrower loses nothing; it lets
// the extended-precision loop take them straight from memory.
template <typename T>
inline void MixFiltered(int32_t* mix, const int16_t* src, int32_t n, double gL, double gR, float c, float r,
                        FilterSide<T>& L, FilterSide<T>& R) {
    T pl = L.pos, vl = L.vel, pr = R.pos, vr = R.vel;
    for (int32_t k = 0; k < n; ++k) {
        vl += (T(src[2 * k]) - pl) * c;
        vr += (T(src[2 * k + 1]) - pr) * c;
        pl += vl;
        pr += vr;
        mix[2 * k] = RoundSaturate32(T(mix[2 * k]) + pl * gL);
        mix[2 * k + 1] = RoundSaturate32(T(mix[2 * k + 1]) + pr * gR);
        vl *= r;
        vr *= r;
    }
    L = {pl, vl};
    R = {pr, vr};
}

// The master filter over the mix in place: x = pos rounded.
template <typename T>
inline void FilterInPlace(int32_t* mix, int32_t n, float c, float r, FilterSide<T>& L, FilterSide<T>& R) {
    T pl = L.pos, vl = L.vel, pr = R.pos, vr = R.vel;
    for (int32_t k = 0; k < n; ++k) {
        vl += (T(mix[2 * k]) - pl) * c;
        vr += (T(mix[2 * k + 1]) - pr) * c;
        pl += vl;
        pr += vr;
        mix[2 * k] = RoundSaturate32(pl);
        mix[2 * k + 1] = RoundSaturate32(pr);
        vl *= r;
        vr *= r;
    }
    L = {pl, vl};
    R = {pr, vr};
}

}  // namespace tx::mix
