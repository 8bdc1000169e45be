// The mixer's vector kernels, once per instruction set through Highway's
// foreach_target; the best one this processor runs is chosen at the first call.
// The file is compiled with -ffp-contract=off (see CMakeLists.txt): a fused
// multiply-add would round differently from the scalar reference.
#include "engine/MixVector.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/MixKernels.h"

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/MixVector.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace tx::mix::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

int64_t ThisTarget() { return HWY_TARGET; }

#if HWY_TARGET == HWY_SCALAR
// One lane: nothing to gain over the reference loops, which serve as they are
// (a processor without SSSE3 lands here).
void MixIntegerV(int32_t* mix, const int16_t* src, int32_t n, int64_t gL, int64_t gR) {
    MixIntegerScalar(mix, src, n, gL, gR);
}
void AccumulateV(int32_t* mix, const double* y, int32_t n, int32_t stride) {
    for (int32_t i = 0; i < 2 * n; ++i) mix[i] = RoundSaturate32(double(mix[i]) + y[(i / 2) * stride + (i & 1)]);
}
void ConvertV(int32_t* mix, int16_t* out, int32_t count, bool surround) {
    for (int32_t i = 0; i < 2 * count; ++i) {
        const int64_t v = (i & 1) && surround ? -int64_t(mix[i]) : int64_t(mix[i]);
        out[i] = int16_t(std::clamp<int64_t>(v >> 7, -32768, 32767));
        mix[i] = 0;
    }
}
void PeaksV(const int32_t* mix, int32_t count, int32_t* e) {
    e[0] = e[1] = e[2] = e[3] = 0;
    for (int32_t i = 0; i < 2 * count; ++i) {
        const int side = (i & 1) * 2;
        e[side] = std::min(e[side], mix[i]);
        e[side + 1] = std::max(e[side + 1], mix[i]);
    }
}
int FilterBatchSizeV() { return 1; }  // never batched
void FilterBatchV(const int16_t*, int32_t, int32_t, TFilterLanes&, double*) {}
#else

// Gains below this magnitude split into g = h x 65536 + l with |h| <= 2^14,
// so x x h and x x l both fit 32-bit lanes; larger ones take the scalar loop.
constexpr int64_t SplitGainLimit = int64_t(1) << 30;

void MixIntegerV(int32_t* HWY_RESTRICT mix, const int16_t* HWY_RESTRICT src, int32_t n, int64_t gL, int64_t gR) {
    if (gL <= -SplitGainLimit || gL >= SplitGainLimit || gR <= -SplitGainLimit || gR >= SplitGainLimit) {
        MixIntegerScalar(mix, src, n, gL, gR);
        return;
    }
    const hn::ScalableTag<int32_t> d;
    const hn::Rebind<int16_t, decltype(d)> d16;
    const size_t lanes = hn::Lanes(d);
    // (x x 65536 x g) shr 32 = floor(x x g / 65536) = x x h + floor(x x l / 65536).
    const auto hL = int32_t((gL + 32768) >> 16), hR = int32_t((gR + 32768) >> 16);
    const auto lL = int32_t(gL - int64_t(hL) * 65536), lR = int32_t(gR - int64_t(hR) * 65536);
    const auto h = hn::OddEven(hn::Set(d, hR), hn::Set(d, hL));
    const auto l = hn::OddEven(hn::Set(d, lR), hn::Set(d, lL));
    const auto maxv = hn::Set(d, std::numeric_limits<int32_t>::max());
    const auto zero = hn::Zero(d);
    const size_t values = size_t(n) * 2;
    size_t i = 0;
    for (; i + lanes <= values; i += lanes) {
        const auto x = hn::PromoteTo(d, hn::LoadU(d16, src + i));
        const auto c = hn::Add(hn::Mul(x, h), hn::ShiftRight<16>(hn::Mul(x, l)));
        const auto m = hn::LoadU(d, mix + i);
        const auto s = hn::Add(m, c);
        // Overflow when both addends' signs differ from the sum's: the sum
        // then sticks at the limit on the side of the old value.
        const auto ov = hn::Lt(hn::And(hn::Xor(m, s), hn::Xor(c, s)), zero);
        const auto limit = hn::Xor(hn::BroadcastSignBit(m), maxv);
        hn::StoreU(hn::IfThenElse(ov, limit, s), d, mix + i);
    }
    if (i < values) MixIntegerScalar(mix + i, src + i, int32_t((values - i) / 2), gL, gR);
}

// RoundSaturate32 of doubles: nearest, ties to even; beyond the 32-bit range
// the limit on that side, except values the 64-bit conversion cannot hold (and
// NaN), which come out as the lowest value as in the scalar code.
template <class D, class V>
HWY_INLINE auto RoundSaturate(D d, V x) {
    const hn::Rebind<int32_t, D> d32;
    const auto clamped = hn::Min(hn::Max(x, hn::Set(d, -2147483648.0)), hn::Set(d, 2147483647.0));
    // Adding 1.5 x 2^52 leaves no fraction bits, so the sum rounds to an
    // integer in the current (nearest-even) mode; exact for |x| < 2^51.
    const auto magic = hn::Set(d, 6755399441055744.0);
    const auto rounded = hn::Sub(hn::Add(clamped, magic), magic);
    const auto inRange = hn::Lt(hn::Abs(x), hn::Set(d, 9223372036854775808.0));
    const auto lowest = hn::Set(d, -2147483648.0);
    return hn::DemoteTo(d32, hn::IfThenElse(inRange, rounded, lowest));
}

// N / 2 frames' (left, right) pairs, frame k at y + k x stride.
template <class D>
HWY_INLINE auto LoadPairs(D d, const double* HWY_RESTRICT y, size_t stride) {
    if constexpr (hn::MaxLanes(d) <= 2) {
        return hn::LoadU(d, y);
    } else {
        const hn::Half<D> dh;
        return hn::Combine(d, LoadPairs(dh, y + stride * (hn::MaxLanes(d) / 4), stride), LoadPairs(dh, y, stride));
    }
}

void AccumulateV(int32_t* HWY_RESTRICT mix, const double* HWY_RESTRICT y, int32_t n, int32_t stride) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<int32_t, decltype(d)> d32;
    const size_t lanes = hn::Lanes(d);
    const size_t values = size_t(n) * 2;
    size_t i = 0;
    if (stride == 2) {
        for (; i + lanes <= values; i += lanes) {
            const auto m = hn::PromoteTo(d, hn::LoadU(d32, mix + i));
            hn::StoreU(RoundSaturate(d, hn::Add(m, hn::LoadU(d, y + i))), d32, mix + i);
        }
    } else {
        for (; i + lanes <= values; i += lanes) {
            const auto m = hn::PromoteTo(d, hn::LoadU(d32, mix + i));
            const auto p = LoadPairs(d, y + (i / 2) * size_t(stride), size_t(stride));
            hn::StoreU(RoundSaturate(d, hn::Add(m, p)), d32, mix + i);
        }
    }
    for (; i < values; ++i) mix[i] = RoundSaturate32(double(mix[i]) + y[(i / 2) * size_t(stride) + (i & 1)]);
}

void ConvertV(int32_t* HWY_RESTRICT mix, int16_t* HWY_RESTRICT out, int32_t count, bool surround) {
    const hn::ScalableTag<int32_t> d;
    const hn::Rebind<int16_t, decltype(d)> d16;
    const size_t lanes = hn::Lanes(d);
    const size_t values = size_t(count) * 2;
    // Surround negates the right side before the shift. The lowest value is
    // first raised by one so its negation fits; both clip to 32767 anyway.
    const int32_t flip = surround ? -1 : 0;
    const auto sign = hn::OddEven(hn::Set(d, flip), hn::Zero(d));
    const auto least = hn::OddEven(hn::Set(d, std::numeric_limits<int32_t>::min() - flip),
                                   hn::Set(d, std::numeric_limits<int32_t>::min()));
    const auto zero = hn::Zero(d);
    size_t i = 0;
    for (; i + lanes <= values; i += lanes) {
        auto m = hn::Max(hn::LoadU(d, mix + i), least);
        m = hn::Sub(hn::Xor(m, sign), sign);
        hn::StoreU(hn::DemoteTo(d16, hn::ShiftRight<7>(m)), d16, out + i);
        hn::StoreU(zero, d, mix + i);
    }
    for (; i < values; ++i) {
        const int64_t v = (i & 1) && surround ? -int64_t(mix[i]) : int64_t(mix[i]);
        out[i] = int16_t(std::clamp<int64_t>(v >> 7, -32768, 32767));
        mix[i] = 0;
    }
}

void PeaksV(const int32_t* HWY_RESTRICT mix, int32_t count, int32_t* extremes) {
    const hn::ScalableTag<int32_t> d;
    const size_t lanes = hn::Lanes(d);
    const size_t values = size_t(count) * 2;
    auto low = hn::Zero(d), high = hn::Zero(d);
    size_t i = 0;
    for (; i + lanes <= values; i += lanes) {
        const auto m = hn::LoadU(d, mix + i);
        low = hn::Min(low, m);
        high = hn::Max(high, m);
    }
    // Even lanes are left, odd lanes right.
    HWY_ALIGN int32_t lo[hn::MaxLanes(d)], hi[hn::MaxLanes(d)];
    hn::Store(low, d, lo);
    hn::Store(high, d, hi);
    int32_t e[4] = {0, 0, 0, 0};  // low left, high left, low right, high right
    for (size_t k = 0; k < lanes; ++k) {
        const size_t side = (k & 1) * 2;
        e[side] = std::min(e[side], lo[k]);
        e[side + 1] = std::max(e[side + 1], hi[k]);
    }
    for (; i < values; ++i) {
        const size_t side = (i & 1) * 2;
        e[side] = std::min(e[side], mix[i]);
        e[side + 1] = std::max(e[side + 1], mix[i]);
    }
    std::memcpy(extremes, e, sizeof e);
}

// Voices per vector of doubles: one (left, right) pair each.
template <class D>
constexpr size_t VoicesPerVector(D d) {
    return hn::MaxLanes(d) / 2;
}

// U vectors of lanes side by side: U independent groups of chains in flight.
template <int U>
void FilterRun(const int16_t* HWY_RESTRICT staged, int32_t frames, TFilterLanes& s, double* HWY_RESTRICT out) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<int32_t, decltype(d)> d32;
    const hn::Rebind<int16_t, decltype(d)> d16;
    constexpr size_t N = hn::MaxLanes(d);
    using V = decltype(hn::Zero(d));
    V pos[U], vel[U], cut[U], reso[U], gain[U];
    HWY_UNROLL(8)
    for (int u = 0; u < U; ++u) {
        pos[u] = hn::Load(d, s.Pos + u * N);
        vel[u] = hn::Load(d, s.Vel + u * N);
        cut[u] = hn::Load(d, s.Cut + u * N);
        reso[u] = hn::Load(d, s.Reso + u * N);
        gain[u] = hn::Load(d, s.Gain + u * N);
    }
    for (int32_t k = 0; k < frames; ++k) {
        const int16_t* row = staged + size_t(k) * FilterRowValues;
        double* outRow = out + size_t(k) * FilterRowValues;
        // Unrolled so that every chain's state stays in registers.
        HWY_UNROLL(8)
        for (int u = 0; u < U; ++u) {
            const V x = hn::PromoteTo(d, hn::PromoteTo(d32, hn::LoadU(d16, row + u * N)));
            // The scalar order exactly: vel += (x - pos) x c; pos += vel;
            // out = pos x g; vel = vel x r.
            vel[u] = hn::Add(vel[u], hn::Mul(hn::Sub(x, pos[u]), cut[u]));
            pos[u] = hn::Add(pos[u], vel[u]);
            hn::Store(hn::Mul(pos[u], gain[u]), d, outRow + u * N);
            vel[u] = hn::Mul(vel[u], reso[u]);
        }
    }
    for (int u = 0; u < U; ++u) {
        hn::Store(pos[u], d, s.Pos + u * N);
        hn::Store(vel[u], d, s.Vel + u * N);
    }
}

int FilterBatchSizeV() {
    const hn::ScalableTag<double> d;
    return int(std::min<size_t>(8 * VoicesPerVector(d), MaxFilterBatch));
}

void FilterBatchV(const int16_t* HWY_RESTRICT staged, int32_t frames, int32_t voices, TFilterLanes& s,
                  double* HWY_RESTRICT out) {
    const hn::ScalableTag<double> d;
    const int perVector = int(VoicesPerVector(d));
    switch ((voices + perVector - 1) / perVector) {
        case 1:
            return FilterRun<1>(staged, frames, s, out);
        case 2:
            return FilterRun<2>(staged, frames, s, out);
        case 3:
            return FilterRun<3>(staged, frames, s, out);
        case 4:
            return FilterRun<4>(staged, frames, s, out);
        case 5:
            return FilterRun<5>(staged, frames, s, out);
        case 6:
            return FilterRun<6>(staged, frames, s, out);
        case 7:
            return FilterRun<7>(staged, frames, s, out);
        case 8:
            return FilterRun<8>(staged, frames, s, out);
        default:
            return;
    }
}

#endif  // HWY_TARGET == HWY_SCALAR

}  // namespace tx::mix::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace tx::mix {

HWY_EXPORT(ThisTarget);
HWY_EXPORT(MixIntegerV);
HWY_EXPORT(AccumulateV);
HWY_EXPORT(ConvertV);
HWY_EXPORT(PeaksV);
HWY_EXPORT(FilterBatchSizeV);
HWY_EXPORT(FilterBatchV);

namespace {
// Compiled-in sets this processor runs, best (lowest bit) first; taken once,
// before any choice of UseVectorTarget narrows what Highway reports.
const std::vector<int64_t>& runnableTargets() {
    static const std::vector<int64_t> targets = [] {
        std::vector<int64_t> t;
        for (int64_t bits = hwy::SupportedTargets() & HWY_TARGETS; bits != 0; bits &= bits - 1)
            t.push_back(bits & -bits);
        return t;
    }();
    return targets;
}
}  // namespace

const char* VectorTarget() { return hwy::TargetName(HWY_DYNAMIC_DISPATCH(ThisTarget)()); }

std::vector<std::string> VectorTargets() {
    std::vector<std::string> names;
    for (int64_t t : runnableTargets()) names.emplace_back(hwy::TargetName(t));
    return names;
}

bool UseVectorTarget(const std::string& name) {
    const std::vector<int64_t>& targets = runnableTargets();
    hwy::SetSupportedTargetsForTest(0);
    if (name.empty()) return true;
    for (int64_t t : targets) {
        if (name == hwy::TargetName(t)) {
            hwy::SetSupportedTargetsForTest(t);
            return true;
        }
    }
    return false;
}

void MixIntegerVector(int32_t* mix, const int16_t* src, int32_t n, int64_t gL, int64_t gR) {
    HWY_DYNAMIC_DISPATCH(MixIntegerV)(mix, src, n, gL, gR);
}
void AccumulateVector(int32_t* mix, const double* y, int32_t n, int32_t stride) {
    HWY_DYNAMIC_DISPATCH(AccumulateV)(mix, y, n, stride);
}
void ConvertVector(int32_t* mix, int16_t* out, int32_t count, bool surround) {
    HWY_DYNAMIC_DISPATCH(ConvertV)(mix, out, count, surround);
}
void PeaksVector(const int32_t* mix, int32_t count, int32_t& lowL, int32_t& highL, int32_t& lowR, int32_t& highR) {
    int32_t e[4];
    HWY_DYNAMIC_DISPATCH(PeaksV)(mix, count, e);
    lowL = e[0];
    highL = e[1];
    lowR = e[2];
    highR = e[3];
}
int FilterBatchSize() { return HWY_DYNAMIC_DISPATCH(FilterBatchSizeV)(); }
void FilterBatchVector(const int16_t* staged, int32_t frames, int32_t voices, TFilterLanes& lanes, double* out) {
    HWY_DYNAMIC_DISPATCH(FilterBatchV)(staged, frames, voices, lanes, out);
}

}  // namespace tx::mix
#endif  // HWY_ONCE
