// The channel effect chain: values worked out by hand from the formulas, the
// time warp at every length, and each effect (and all together) frame for
// frame against a plain transcription of the formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "samples/Samples.h"

using tx::ProcessChannelEffects;
using tx::TChannel;
using tx::TWAVSample;

namespace {

using Frames = std::vector<std::pair<int, int>>;  // (left, right)

TWAVSample make(const Frames& f) {
    TWAVSample s;
    for (auto [l, r] : f) {
        s.Data.push_back(int16_t(l));
        s.Data.push_back(int16_t(r));
    }
    s.Length = int32_t(f.size());
    return s;
}
Frames frames(const TWAVSample& s) {
    Frames f;
    for (int32_t i = 0; i < s.Length; ++i) f.push_back({s.Left(i), s.Right(i)});
    return f;
}
Frames constant(int n, int l, int r) { return Frames(size_t(n), {l, r}); }
Frames ramp(int n, int l, int r) {
    Frames f;
    for (int i = 0; i < n; ++i) f.push_back({l * i, r * i});
    return f;
}
// Frames with the given values set on a silent background.
Frames silentExcept(int n, std::initializer_list<std::pair<int, std::pair<int, int>>> set) {
    Frames f = constant(n, 0, 0);
    for (const auto& [at, v] : set) f[size_t(at)] = v;
    return f;
}

// A channel's effect values; the defaults change nothing.
struct FxSet {
    int stereoDelay = 2048, fxThird = 256, mix = 0, sine = 128, cutoff = 0, reso = 0, attack = 0, decay = 0, preamp = 0,
        first = 128;
    bool reverse = false, fade = false, swap = false;
};

TWAVSample process(const FxSet& f, const Frames& in) {
    TChannel ch(0);
    ch.StereoDelay = f.stereoDelay;
    ch.FXThird = f.fxThird;
    ch.FXSecondMix = f.mix;
    ch.FXSecondSine = f.sine;
    ch.CutOff = f.cutoff;
    ch.Resonance = f.reso;
    ch.Attack = f.attack;
    ch.Decay = f.decay;
    ch.PreAmp = f.preamp;
    ch.FXFirst = f.first;
    ch.ReverseSample = f.reverse;
    ch.FadeLR = f.fade;
    ch.RevStereo = f.swap;
    TWAVSample s = make(in);
    ProcessChannelEffects(ch, s);
    EXPECT_EQ(s.Data.size(), size_t(s.Length) * 2);
    return s;
}

template <class T>
std::string CaseName(const testing::TestParamInfo<T>& i) {
    return i.param.name;
}

// --- values worked out by hand from the formulas

struct HandCase {
    const char* name;
    FxSet fx;
    Frames in, out;
    int32_t playLength;
};
void PrintTo(const HandCase& c, std::ostream* os) { *os << c.name; }

class EffectsByHand : public testing::TestWithParam<HandCase> {};
TEST_P(EffectsByHand, GiveTheWorkedFrames) {
    const HandCase& c = GetParam();
    const TWAVSample s = process(c.fx, c.in);
    EXPECT_EQ(frames(s), c.out);
    EXPECT_EQ(s.PlayLength, c.playLength);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, EffectsByHand,
    testing::Values(
        // Only trailing silence is trimmed, from the play length.
        HandCase{"defaults", {}, {{1, 2}, {0, 3}, {-5, 0}, {0, 0}}, {{1, 2}, {0, 3}, {-5, 0}, {0, 0}}, 3},
        HandCase{"silent", {}, constant(4, 0, 0), constant(4, 0, 0), 0},
        // 2148: a click on both sides at frame 0 arrives 100 frames later on the left.
        HandCase{"delay_click",
                 {.stereoDelay = 2148},
                 silentExcept(10, {{0, {30000, 30000}}}),
                 silentExcept(110, {{0, {0, 30000}}, {100, {30000, 0}}}),
                 101},
        HandCase{"reverse_with_trailing_silence",
                 {.reverse = true},
                 {{5, 6}, {7, 8}, {0, 0}, {0, 0}},
                 {{0, 0}, {0, 0}, {7, 8}, {5, 6}},
                 4},
        // x + x x 256 / 16 = 17 x, clipped
        HandCase{"preamp_256_clips",
                 {.preamp = 256},
                 {{16384, -16384}, {100, -3}, {1927, -1928}},
                 {{32767, -32768}, {1700, -51}, {32759, -32768}},
                 3},
        // last = 4: left x (4 - i) / 4, right x i / 4, truncated toward zero; the last frame keeps its right side
        HandCase{"fade",
                 {.fade = true},
                 constant(5, 999, -999),
                 {{999, 0}, {749, -249}, {499, -499}, {249, -749}, {0, -999}},
                 5},
        // g = 256 - 64 i
        HandCase{"decay_256",
                 {.decay = 256},
                 constant(5, 1000, -1000),
                 {{1000, -1000}, {750, -750}, {500, -500}, {250, -250}, {0, 0}},
                 4},
        // cc = 1024 - round(1024 cos(pi / 4)) = 300, rr = round(1024 cos(pi / 4)) = 724
        HandCase{"lowpass_resonant",
                 {.cutoff = 512, .reso = 512},
                 {{1000, 0}, {1000, 0}, {1000, 0}, {0, 0}},
                 {{292, 0}, {705, 0}, {1083, 0}, {1033, 0}},
                 4},
        // Sine 0: rate 2, angle (2 i) shr 2 = 0 0 1 1 2, right 90 degrees ahead;
        // table [0] 0, [1] 285, [2] 571, [90] 16384, [91] 16381, [92] 16374.
        HandCase{"ring_full",
                 {.mix = 256, .sine = 0},
                 constant(5, 1000, 1000),
                 {{0, 1000}, {0, 1000}, {17, 999}, {17, 999}, {34, 999}},
                 5},
        // k = (256 x 192) shr 8 - 96 = 96: x + prev x 96 div 128, with the clamped previous value
        HandCase{"feedback",
                 {.first = 256},
                 {{1000, 30000}, {1000, 30000}, {1000, 0}},
                 {{1000, 30000}, {1750, 32767}, {2312, 24575}},
                 3},
        // FXThird 512 (w 256): j = trunc(8 sin(i pi / 16)) = 0 1 3 4 5 6 7 7 8
        HandCase{"warp_sine",
                 {.fxThird = 512},
                 ramp(9, 100, -100),
                 {{0, 0},
                  {100, -100},
                  {300, -300},
                  {400, -400},
                  {500, -500},
                  {600, -600},
                  {700, -700},
                  {700, -700},
                  {800, -800}},
                 9},
        // Delay (left one late), reverse, pre-amp x2, swap:
        // (0,20) (10,40) (30,0); (30,0) (10,40) (0,20); doubled; swapped.
        HandCase{"order",
                 {.stereoDelay = 2049, .preamp = 16, .reverse = true, .swap = true},
                 {{10, 20}, {30, 40}},
                 {{0, 60}, {80, 20}, {40, 0}},
                 3},
        // One frame (last = 0) is the start of its own ramps: attack g = 156, no decay, fade all left.
        HandCase{"one_frame_ramps",
                 {.fxThird = 0, .attack = 100, .decay = 500, .fade = true},
                 {{1000, 1000}},
                 {{609, 0}},
                 1},
        // Warp reads frame 0; ring: left sin 0, right sin 90, then (y 200 + 56 x) div 256 = -10 and 50;
        // cutoff 1020 gives cc = 0, so the filter holds 0, and nothing divides by zero.
        HandCase{"one_frame_chain",
                 {.fxThird = 512, .mix = 200, .cutoff = 1020, .reso = 1020, .preamp = 256, .first = 0},
                 {{-50, 50}},
                 {{0, 0}},
                 0}),
    CaseName<HandCase>);

TEST(Effects, EmptySampleStaysEmpty) {
    const TWAVSample s = process({.stereoDelay = 3000, .reverse = true, .fade = true}, {});
    EXPECT_FALSE(s.HasData());
    EXPECT_EQ(s.Length, 0);
    EXPECT_EQ(s.PlayLength, 0);
}

// A loop file may hold any 32-bit value: each is limited to its control's range.
TEST(Effects, OutOfRangeValuesAreLimitedToTheControlRanges) {
    const TWAVSample wild =
        process({.stereoDelay = 2147483647, .preamp = 1 << 30, .first = -5}, constant(3, 100, -100));
    const TWAVSample limited = process({.stereoDelay = 4096, .preamp = 256, .first = 0}, constant(3, 100, -100));
    EXPECT_EQ(wild.Length, 3 + 2048);
    EXPECT_EQ(frames(wild), frames(limited));
}

// The time warp's source frame for every output frame, at many lengths,
// against the formula evaluated with the library's sin and arcsine.
TEST(TimeWarp, SourceFramesFollowTheFormulaAtEveryLength) {
    const double pi = std::numbers::pi;
    std::vector<int32_t> lengths;
    for (int32_t n = 2; n <= 300; ++n) lengths.push_back(n);
    for (int32_t n : {1000, 1001, 4096, 44100, 65537, 441000}) lengths.push_back(n);
    for (int fxThird : {0, 1, 100, 255, 257, 400, 512}) {
        for (int32_t n : lengths) {
            // Left carries the low 15 bits of the frame index, right the rest.
            TWAVSample s;
            s.Length = n;
            for (int32_t i = 0; i < n; ++i) {
                s.Data.push_back(int16_t(i & 0x7FFF));
                s.Data.push_back(int16_t(i >> 15));
            }
            TChannel ch(0);
            ch.FXThird = fxThird;
            ProcessChannelEffects(ch, s);
            const int64_t last = n - 1, w = std::abs(fxThird - 256);
            for (int64_t i = 0; i <= last; ++i) {
                int64_t t =
                    fxThird < 256
                        ? last + int64_t(std::trunc(double(last) * (2 / pi) * std::asin(double(i) / double(last) - 1)))
                        : int64_t(std::trunc(double(last) * std::sin(double(i) / double(last) * pi / 2)));
                int64_t j = ((256 - w) * i + t * w) / 256;
                int64_t got = s.Left(int32_t(i)) + (int64_t(s.Right(int32_t(i))) << 15);
                ASSERT_EQ(got, j) << "FXThird " << fxThird << " length " << n << " frame " << i;
            }
        }
    }
}

// --- the whole chain against a plain transcription of the formulas, per
// effect and all together, on a generated sample.

// Direct from the formulas: per frame divisions and trigonometry, no tables.
Frames reference(const FxSet& f, Frames x) {
    const double pi = std::numbers::pi;
    if (f.stereoDelay != 2048) {
        int d = std::abs(f.stereoDelay - 2048);
        Frames y(x.size() + size_t(d), {0, 0});
        int dl = f.stereoDelay < 2048 ? 0 : d, dr = f.stereoDelay < 2048 ? d : 0;
        for (size_t i = 0; i < x.size(); ++i) {
            y[i + size_t(dl)].first = x[i].first;
            y[i + size_t(dr)].second = x[i].second;
        }
        x = y;
    }
    const int64_t n = int64_t(x.size()), last = n - 1;
    if (f.reverse) std::reverse(x.begin(), x.end());
    bool chain = f.cutoff > 0 || f.reso > 0 || f.first != 128 || f.mix != 0 || f.preamp > 0 || f.attack > 0 ||
                 f.decay > 0 || f.fade || f.fxThird != 256;
    if (chain) {
        const Frames c = x;
        const int64_t w = std::abs(f.fxThird - 256);
        const int64_t k = ((f.first * 192) >> 8) - 96;
        const int64_t rate = (f.sine >> 2) + 2;
        const int64_t cc = 1024 - int64_t(std::nearbyint(1024 * std::cos((1024 - f.cutoff) * pi / 2048)));
        const int64_t rr = int64_t(std::nearbyint(1024 * std::cos((1024 - f.reso) * pi / 2048)));
        for (int s = 0; s < 2; ++s) {
            int64_t pos = 0, vel = 0, prev = 0;
            for (int64_t i = 0; i <= last; ++i) {
                int64_t v = s == 0 ? x[size_t(i)].first : x[size_t(i)].second;
                if (f.fxThird != 256) {
                    int64_t t;
                    if (f.fxThird < 256)
                        t = last +
                            int64_t(std::trunc(double(last) * (2 / pi) * std::asin(double(i) / double(last) - 1)));
                    else
                        t = int64_t(std::trunc(double(last) * std::sin(double(i) / double(last) * pi / 2)));
                    int64_t j = ((256 - w) * i + t * w) / 256;
                    v = s == 0 ? c[size_t(j)].first : c[size_t(j)].second;
                }
                if (f.mix > 0) {
                    int64_t a = ((uint32_t(i * rate) >> 2) + 90 * s) % 360;
                    int64_t sn = int64_t(std::trunc(std::sin(double(a) * pi / 180) * 16384));
                    int64_t y = sn * v / 16384;
                    v = (y * f.mix + (256 - f.mix) * v) / 256;
                }
                if (f.cutoff > 0 || f.reso > 0) {
                    vel += (v - pos) * cc / 1024;
                    pos += vel;
                    vel = vel * rr / 1024;
                    v = pos;
                }
                if (f.attack > 0) v = std::max<int64_t>(0, 256 - (last - i) * f.attack / last) * v / 256;
                if (f.decay > 0) v = std::max<int64_t>(0, 256 - i * f.decay / last) * v / 256;
                if (f.preamp > 0) v = v + v * f.preamp / 16;
                v = v + prev * k / 128;
                if (f.fade) v = s == 1 ? v * i / last : v * (last - i) / last;
                v = std::clamp<int64_t>(v, -32768, 32767);
                (s == 0 ? x[size_t(i)].first : x[size_t(i)].second) = int(v);
                prev = v;
            }
        }
    }
    if (f.swap)
        for (auto& p : x) std::swap(p.first, p.second);
    return x;
}

struct FormulaCase {
    const char* name;
    FxSet fx;
};
void PrintTo(const FormulaCase& c, std::ostream* os) { *os << c.name; }

class EffectsAgainstFormulas : public testing::TestWithParam<FormulaCase> {};

TEST_P(EffectsAgainstFormulas, MatchesFrameForFrame) {
    // A decaying two-tone with noise: 3001 frames, values across the whole range.
    std::mt19937 rng(42);
    Frames in;
    for (int i = 0; i < 3001; ++i) {
        double env = 1.0 - i / 3001.0;
        int l = int(28000 * env * std::sin(i * 0.031) + int(rng() % 2001) - 1000);
        int r = int(30000 * env * std::sin(i * 0.177 + 1) + int(rng() % 201) - 100);
        in.push_back({std::clamp(l, -32768, 32767), std::clamp(r, -32768, 32767)});
    }
    for (int i = 0; i < 40; ++i) in.push_back({0, 0});  // trailing silence
    const TWAVSample s = process(GetParam().fx, in);
    const Frames want = reference(GetParam().fx, in);
    ASSERT_EQ(s.Length, int32_t(want.size()));
    const Frames got = frames(s);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "frame " << i;
    int32_t play = int32_t(want.size());
    while (play > 0 && want[size_t(play) - 1] == std::pair<int, int>{0, 0}) --play;
    EXPECT_EQ(s.PlayLength, play);
}

INSTANTIATE_TEST_SUITE_P(
    PerEffect, EffectsAgainstFormulas,
    testing::Values(FormulaCase{"delay_left", {.stereoDelay = 4096}}, FormulaCase{"delay_right", {.stereoDelay = 1}},
                    FormulaCase{"reverse", {.reverse = true}}, FormulaCase{"warp_sine", {.fxThird = 400}},
                    FormulaCase{"warp_arcsine", {.fxThird = 37}}, FormulaCase{"ring_slow", {.mix = 200, .sine = 0}},
                    FormulaCase{"ring_fast", {.mix = 77, .sine = 256}}, FormulaCase{"filter", {.cutoff = 700}},
                    FormulaCase{"filter_resonant", {.cutoff = 300, .reso = 1000}},
                    FormulaCase{"resonance_only", {.reso = 900}}, FormulaCase{"attack", {.attack = 777}},
                    FormulaCase{"attack_small", {.attack = 7}}, FormulaCase{"decay", {.decay = 1024}},
                    FormulaCase{"decay_odd", {.decay = 333}}, FormulaCase{"preamp", {.preamp = 100}},
                    FormulaCase{"smooth", {.first = 256}}, FormulaCase{"sharpen", {.first = 3}},
                    FormulaCase{"fade", {.fade = true}}, FormulaCase{"swap", {.swap = true}},
                    FormulaCase{"everything", {2500, 300, 128, 64, 500, 600, 50, 400, 40, 200, true, true, true}},
                    FormulaCase{"everything_arcsine",
                                {1000, 100, 256, 255, 1020, 1020, 1024, 1, 256, 0, false, true, false}}),
    CaseName<FormulaCase>);

}  // namespace
