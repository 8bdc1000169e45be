// A channel's offline effect chain, run on the raw frames of the work sample
// whenever the sample is loaded or an effect changes. Integer arithmetic
// truncating toward zero throughout, floating point only for the filter
// coefficients and the time warp. Called on the window thread (or a loader
// thread); it touches nothing the mixer reads.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <utility>
#include <vector>

#include "samples/Samples.h"

namespace tx {

namespace {

constexpr int32_t StereoDelayCentre = 2048;  // no delay between the sides
constexpr int32_t FXThirdCentre = 256;       // no time warp
constexpr int32_t FXFirstCentre = 128;       // no feedback colour
constexpr int32_t SineScale = 16384;         // SineTable entries are sin x 16384
constexpr int32_t GainUnity = 256;           // ramps and mixes in 1/256 steps

// Entry d = integer part of sin(d degrees) x 16384; built once.
const std::array<int32_t, 360>& sineTable() {
    static const std::array<int32_t, 360> table = [] {
        std::array<int32_t, 360> t{};
        for (int d = 0; d < 360; ++d)
            t[size_t(d)] = int32_t(std::trunc(std::sin(d * std::numbers::pi / 180) * SineScale));
        return t;
    }();
    return table;
}

// (a x b) div c with a wide intermediate, truncating toward zero.
inline int64_t mulDiv(int64_t a, int64_t b, int64_t c) { return int64_t((__int128(a) * b) / c); }

// MulDiv(a, b, 1024) for |b| <= 2048: a 64-bit product unless a is huge.
inline int64_t mulDiv1024(int64_t a, int64_t b) {
    constexpr uint64_t limit = uint64_t(1) << 50;
    if (uint64_t(a) + limit < 2 * limit) return (a * b) / 1024;
    return mulDiv(a, b, 1024);
}

// MulDiv(x, i, last) for a fixed last: x x i / last as x x R / 2^53 with
// R = ceil(i x 2^53 / last), exact while |x| < 2^21 and last < 2^31 (the
// error x (R last - i 2^53) / (last 2^53) stays below 1 / last, the least
// distance of x i / last from the next integer). R is stepped exactly.
class TFadeScale {
public:
    static constexpr int Shift = 53;
    explicit TFadeScale(int64_t last)
        : last_(last),
          step_(last > 0 ? (uint64_t(1) << Shift) / uint64_t(last) : 0),
          stepRem_(last > 0 ? (uint64_t(1) << Shift) % uint64_t(last) : 0) {}

    // x x i / last and x x (last - i) / last for the current frame i.
    int64_t right(int64_t x) const { return scale(x, floor_ + (rem_ != 0), i_); }
    int64_t left(int64_t x) const { return scale(x, (uint64_t(1) << Shift) - floor_, last_ - i_); }
    void next() {
        ++i_;
        floor_ += step_;
        rem_ += stepRem_;
        if (rem_ >= uint64_t(last_)) {
            rem_ -= uint64_t(last_);
            ++floor_;
        }
    }

private:
    int64_t scale(int64_t x, uint64_t r, int64_t num) const {
        constexpr int64_t limit = int64_t(1) << 21;
        if (x <= -limit || x >= limit) return mulDiv(x, num, last_);
        const uint64_t a = uint64_t(x < 0 ? -x : x);
        const uint64_t q = uint64_t((unsigned __int128)a * r >> Shift);
        return x < 0 ? -int64_t(q) : int64_t(q);
    }
    int64_t last_;
    uint64_t step_, stepRem_;
    int64_t i_ = 0;
    uint64_t floor_ = 0, rem_ = 0;  // i x 2^53 = floor_ x last + rem_
};

inline int64_t clamp16(int64_t x) { return x < -32768 ? -32768 : x > 32767 ? 32767 : x; }

// Values a loop file may bring out of range are limited to the controls' ranges.
struct TEffectValues {
    int32_t StereoDelay, FXThird, FXSecondMix, FXSecondSine, CutOff, Resonance, Attack, Decay, PreAmp, FXFirst;
    bool ReverseSample, FadeLR, RevStereo;
    explicit TEffectValues(const TChannel& c)
        : StereoDelay(std::clamp(c.StereoDelay, 0, 4096)),
          FXThird(std::clamp(c.FXThird, 0, 512)),
          FXSecondMix(std::clamp(c.FXSecondMix, 0, 256)),
          FXSecondSine(std::clamp(c.FXSecondSine, 0, 256)),
          CutOff(std::clamp(c.CutOff, 0, 1020)),
          Resonance(std::clamp(c.Resonance, 0, 1020)),
          Attack(std::clamp(c.Attack, 0, 1024)),
          Decay(std::clamp(c.Decay, 0, 1024)),
          PreAmp(std::clamp(c.PreAmp, 0, 256)),
          FXFirst(std::clamp(c.FXFirst, 0, 256)),
          ReverseSample(c.ReverseSample),
          FadeLR(c.FadeLR),
          RevStereo(c.RevStereo) {}
};

// Fast sin on [0, pi/2] and asin on [-1, 1], within 1e-13 of the library's.
// The warp only needs the integer part of a scaled value, so where a fast
// result lies close to an integer the library is asked instead (below).
constexpr int SinTerms = 10;   // next term x^21 / 21! < 1e-15 at pi / 2
constexpr int AsinTerms = 20;  // series in w <= 1/4: tail below 1e-14

constexpr std::array<double, SinTerms> SinCoefficients = [] {
    std::array<double, SinTerms> a{};
    double f = 1;
    for (int k = 0; k < SinTerms; ++k) {
        if (k > 0) f *= double(2 * k) * double(2 * k + 1);
        a[size_t(k)] = (k % 2 ? -1.0 : 1.0) / f;
    }
    return a;
}();

// asin(s) / s = sum of (2n)! / (4^n (n!)^2 (2n + 1)) s^2n
constexpr std::array<double, AsinTerms> AsinCoefficients = [] {
    std::array<double, AsinTerms> a{};
    double binom = 1;
    for (int n = 0; n < AsinTerms; ++n) {
        if (n > 0) binom *= double(2 * n - 1) / double(2 * n);
        a[size_t(n)] = binom / double(2 * n + 1);
    }
    return a;
}();

// Integer part (toward zero) of a value known as `fast` to well within `tol`;
// `exact` computes it with the library where `fast` is that close to an integer.
template <class Exact>
inline int64_t truncChecked(double fast, double tol, Exact exact) {
    const int64_t t = int64_t(fast);
    const double frac = std::fabs(fast - double(t));
    if (frac < tol || frac > 1 - tol) return int64_t(exact());
    return t;
}

// The time warp's source frame for output frame i (the same for both sides).
// Both curves lie on or above the straight reading (sine and arcsine are
// concave here), so j >= i: the warp can read ahead in place.
class TWarp {
public:
    TWarp(int32_t fxThird, int32_t last)
        : below_(fxThird < FXThirdCentre),
          w_(std::abs(fxThird - FXThirdCentre)),
          last_(last),
          L_(double(last)),
          k_(double(last) * (2 / std::numbers::pi)),
          // The fast functions are within 1e-13 of the library's; scaled by
          // L that stays far below this margin.
          tol_(1e-9 * double(last) + 1e-9) {}

    // Source frames for output frames first .. first + count - 1 (count <= Lanes x n).
    // The fast values are computed a few lanes at a time, without branches,
    // so their arithmetic overlaps; each is then checked against its integer.
    static constexpr int Lanes = 16;  // enough independent chains to hide each step's latency
    void block(int32_t first, int32_t count, int32_t* out) const {
        if (last_ == 0) {  // one frame reads itself
            for (int32_t b = 0; b < count; ++b) out[b] = 0;
            return;
        }
        const double pi = std::numbers::pi;
        for (int32_t g = 0; g < count; g += Lanes) {
            double x[Lanes], v[Lanes];
            for (int l = 0; l < Lanes; ++l) x[l] = double(std::min(first + g + l, last_)) / L_;
            if (below_) {
                double u[Lanes], a[Lanes], w[Lanes], sq[Lanes], p[Lanes];
                for (int l = 0; l < Lanes; ++l) {
                    u[l] = x[l] - 1;
                    a[l] = std::fabs(u[l]);
                    const double z = (1 - a[l]) / 2;
                    w[l] = a[l] <= 0.5 ? a[l] * a[l] : z;
                    sq[l] = std::sqrt(z);
                }
                for (int l = 0; l < Lanes; ++l) p[l] = AsinCoefficients[AsinTerms - 1];
                for (int n = AsinTerms - 2; n >= 0; --n)
                    for (int l = 0; l < Lanes; ++l) p[l] = p[l] * w[l] + AsinCoefficients[size_t(n)];
                for (int l = 0; l < Lanes; ++l) {
                    const double r = a[l] <= 0.5 ? a[l] * p[l] : pi / 2 - 2 * (sq[l] * p[l]);
                    v[l] = k_ * (u[l] < 0 ? -r : r);
                }
            } else {
                double ang[Lanes], w[Lanes], p[Lanes];
                for (int l = 0; l < Lanes; ++l) {
                    ang[l] = x[l] * pi / 2;
                    w[l] = ang[l] * ang[l];
                    p[l] = SinCoefficients[SinTerms - 1];
                }
                for (int n = SinTerms - 2; n >= 0; --n)
                    for (int l = 0; l < Lanes; ++l) p[l] = p[l] * w[l] + SinCoefficients[size_t(n)];
                for (int l = 0; l < Lanes; ++l) v[l] = L_ * (ang[l] * p[l]);
            }
            for (int l = 0; l < Lanes && g + l < count; ++l) {
                const int32_t i = first + g + l;
                int64_t t;
                if (below_)
                    t = int64_t(last_) + truncChecked(v[l], tol_, [&] { return k_ * std::asin(double(i) / L_ - 1); });
                else
                    t = truncChecked(v[l], tol_, [&] { return L_ * std::sin(double(i) / L_ * pi / 2); });
                const int64_t j = ((GainUnity - w_) * i + t * w_) / GainUnity;
                out[g + l] = int32_t(std::clamp<int64_t>(j, i, last_));
            }
        }
    }

private:
    bool below_;
    int64_t w_;
    int32_t last_;
    double L_, k_, tol_;
};

// Which stages of the chain run; the loop is compiled for each combination
// so that no stage that is off costs anything per frame.
enum TStage : unsigned {
    StageWarp = 1,
    StageRing = 2,
    StageFilter = 4,
    StageRamps = 8,  // attack or decay
    StagePreAmp = 16,
    StageFeedback = 32,
    StageFade = 64,
    StageCount = 128,
};

struct TChainSetup {
    int32_t last;
    int64_t k, cc, rr, m, pre;
    uint32_t rate;
    int32_t attack, decay;
    int32_t fxThird;
};

struct TSideState {
    int64_t pos = 0, vel = 0, prev = 0;
};

// One side's chain for frame i, from its input value x.
template <unsigned Stages, int Side>
inline int64_t chainStep(const TChainSetup& c, TSideState& st, int64_t x, uint32_t angle, int64_t gAttack,
                         int64_t gDecay, const TFadeScale& fade) {
    if constexpr ((Stages & StageRing) != 0) {
        const int64_t y = (sineTable()[angle] * x) / SineScale;
        x = (y * c.m + (GainUnity - c.m) * x) / GainUnity;
    }
    if constexpr ((Stages & StageFilter) != 0) {
        st.vel += mulDiv1024(x - st.pos, c.cc);
        st.pos += st.vel;
        st.vel = mulDiv1024(st.vel, c.rr);
        x = st.pos;
    }
    if constexpr ((Stages & StageRamps) != 0) {
        if (c.attack > 0) x = (gAttack * x) / GainUnity;
        if (c.decay > 0) x = (gDecay * x) / GainUnity;
    }
    if constexpr ((Stages & StagePreAmp) != 0) x = x + (x * c.pre) / 16;
    if constexpr ((Stages & StageFeedback) != 0) x = x + (st.prev * c.k) / 128;
    if constexpr ((Stages & StageFade) != 0) {
        if (c.last == 0)
            x = Side == 1 ? 0 : x;
        else
            x = Side == 1 ? fade.right(x) : fade.left(x);
    }
    x = clamp16(x);
    st.prev = x;
    return x;
}

// The per-sample chain. The two sides are independent (each has its own
// filter and feedback state and reads only its own values), so both run in
// one pass over the frames, in place.
template <unsigned Stages>
void runChainT(const TChainSetup& c, int16_t* frames) {
    const int32_t last = c.last;
    const TWarp warpAt(c.fxThird, last);
    TFadeScale fade(last);

    // A one-frame sample (last = 0) counts as the start of its own ramps:
    // attack at full strength, decay none, fade all left.
    const int64_t lastDiv = last > 0 ? last : 1;
    const int64_t aStep = last > 0 ? c.attack / lastDiv : 0, aStepRem = last > 0 ? c.attack % lastDiv : 0;
    const int64_t dStep = last > 0 ? c.decay / lastDiv : 0, dStepRem = last > 0 ? c.decay % lastDiv : 0;
    // MulDiv(last - i, Attack, last) and MulDiv(i, Decay, last) kept as
    // quotient and remainder, stepped exactly frame by frame.
    int64_t aq = c.attack, ar = 0;
    int64_t dq = 0, dr = 0;
    TSideState left, right;

    // The warp indices of a block are computed first: independent of each
    // other, their arithmetic overlaps.
    constexpr int32_t WarpBlock = 256;
    std::array<int32_t, WarpBlock> warpJ{};
    for (int32_t block = 0; block <= last; block += WarpBlock) {
        const int32_t end = std::min(last, block + WarpBlock - 1);
        if constexpr ((Stages & StageWarp) != 0) warpAt.block(block, end - block + 1, warpJ.data());
        for (int32_t i = block; i <= end; ++i) {
            const int32_t j = (Stages & StageWarp) != 0 ? warpJ[size_t(i - block)] : i;
            uint32_t angleL = 0, angleR = 0;
            if constexpr ((Stages & StageRing) != 0) {
                angleL = ((uint32_t(i) * c.rate) >> 2) % 360u;
                angleR = angleL + 90u >= 360u ? angleL + 90u - 360u : angleL + 90u;  // 90 degrees ahead
            }
            const int64_t gAttack = std::max<int64_t>(0, GainUnity - aq);
            const int64_t gDecay = std::max<int64_t>(0, GainUnity - dq);
            const int64_t xl = frames[size_t(j) * 2], xr = frames[size_t(j) * 2 + 1];
            frames[size_t(i) * 2] = int16_t(chainStep<Stages, 0>(c, left, xl, angleL, gAttack, gDecay, fade));
            frames[size_t(i) * 2 + 1] = int16_t(chainStep<Stages, 1>(c, right, xr, angleR, gAttack, gDecay, fade));
            if constexpr ((Stages & StageFade) != 0) fade.next();
            if constexpr ((Stages & StageRamps) != 0) {
                aq -= aStep;
                ar -= aStepRem;
                if (ar < 0) {
                    ar += lastDiv;
                    --aq;
                }
                dq += dStep;
                dr += dStepRem;
                if (dr >= lastDiv) {
                    dr -= lastDiv;
                    ++dq;
                }
            }
        }
    }
}

template <unsigned... S>
constexpr std::array<void (*)(const TChainSetup&, int16_t*), sizeof...(S)> chainTable(
    std::integer_sequence<unsigned, S...>) {
    return {&runChainT<S>...};
}

void runChain(const TEffectValues& fx, std::vector<int16_t>& data, int32_t n) {
    const double pi = std::numbers::pi;
    TChainSetup c;
    c.last = n - 1;
    c.k = int64_t((uint32_t(fx.FXFirst) * 192u) >> 8) - 96;
    c.rate = (uint32_t(fx.FXSecondSine) >> 2) + 2;
    c.cc = 1024 - int64_t(std::nearbyint(1024 * std::cos((1024 - fx.CutOff) * pi / 2048)));
    c.rr = int64_t(std::nearbyint(1024 * std::cos((1024 - fx.Resonance) * pi / 2048)));
    c.m = fx.FXSecondMix;
    c.pre = fx.PreAmp;
    c.attack = fx.Attack;
    c.decay = fx.Decay;
    c.fxThird = fx.FXThird;
    unsigned stages = 0;
    if (fx.FXThird != FXThirdCentre) stages |= StageWarp;
    if (fx.FXSecondMix > 0) stages |= StageRing;
    if (fx.CutOff > 0 || fx.Resonance > 0) stages |= StageFilter;
    if (fx.Attack > 0 || fx.Decay > 0) stages |= StageRamps;
    if (fx.PreAmp > 0) stages |= StagePreAmp;
    if (c.k != 0) stages |= StageFeedback;
    if (fx.FadeLR) stages |= StageFade;
    static constexpr auto table = chainTable(std::make_integer_sequence<unsigned, StageCount>{});
    table[stages](c, data.data());
}

}  // namespace

namespace {

bool chainRuns(const TEffectValues& fx) {
    return fx.CutOff > 0 || fx.Resonance > 0 || fx.FXFirst != FXFirstCentre || fx.FXSecondMix != 0 || fx.PreAmp > 0 ||
           fx.Attack > 0 || fx.Decay > 0 || fx.FadeLR || fx.FXThird != FXThirdCentre;
}

bool changesFrames(const TEffectValues& fx) {
    return fx.StereoDelay != StereoDelayCentre || fx.ReverseSample || chainRuns(fx) || fx.RevStereo;
}

}  // namespace

bool EffectsChangeFrames(const TChannel& channel) { return changesFrames(TEffectValues(channel)); }

void ProcessChannelEffects(const TChannel& channel, TWAVSample& work) {
    int32_t n = std::min<int32_t>(work.Length, int32_t(work.Data.size() / 2));
    if (n <= 0) {
        work.PlayLength = 0;
        return;
    }
    const TEffectValues fx(channel);
    if (!changesFrames(fx)) {
        // The frames stay as they are, still shared with whoever else holds
        // them; only the playing length is found.
        const TSampleFrames& frames = work.Data;
        int32_t play = n;
        while (play > 0 && frames[size_t(play - 1) * 2] == 0 && frames[size_t(play - 1) * 2 + 1] == 0) --play;
        work.Length = n;
        work.PlayLength = play;
        return;
    }
    // From here on the frames are this sample's own copy.
    std::vector<int16_t>& data = work.Data.Mutable();

    // 1. Stereo delay between the sides: the late side moves d frames on, in place.
    if (fx.StereoDelay != StereoDelayCentre) {
        const int32_t d = std::abs(fx.StereoDelay - StereoDelayCentre);
        const size_t late = fx.StereoDelay < StereoDelayCentre ? 1 : 0;  // 0 left, 1 right
        data.resize((size_t(n) + size_t(d)) * 2, 0);
        for (size_t i = size_t(n); i-- > 0;) data[(i + size_t(d)) * 2 + late] = data[i * 2 + late];
        for (size_t i = 0; i < size_t(d); ++i) data[i * 2 + late] = 0;
        n += d;
    }
    // 2. Reverse.
    if (fx.ReverseSample) {
        for (size_t a = 0, b = size_t(n) - 1; a < b; ++a, --b) {
            std::swap(data[a * 2], data[b * 2]);
            std::swap(data[a * 2 + 1], data[b * 2 + 1]);
        }
    }

    // 3. The per-sample chain.
    if (chainRuns(fx)) runChain(fx, data, n);

    // 4. Side swap.
    if (fx.RevStereo)
        for (size_t i = 0; i < size_t(n); ++i) std::swap(data[i * 2], data[i * 2 + 1]);

    // 5. The natural playing length: trailing digital silence is not played.
    int32_t play = n;
    while (play > 0 && data[size_t(play - 1) * 2] == 0 && data[size_t(play - 1) * 2 + 1] == 0) --play;
    work.Length = n;
    work.PlayLength = play;
}

}  // namespace tx
