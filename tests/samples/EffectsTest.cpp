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
std::vector<int> side(const TWAVSample& s, int sd) {
    std::vector<int> v;
    for (int32_t i = 0; i < s.Length; ++i) v.push_back(sd == 0 ? s.Left(i) : s.Right(i));
    return v;
}
Frames constant(int n, int l, int r) { return Frames(size_t(n), {l, r}); }

class Effects : public ::testing::Test {
protected:
    TWAVSample run(const Frames& in) {
        TWAVSample s = make(in);
        ProcessChannelEffects(ch, s);
        EXPECT_EQ(s.Data.size(), size_t(s.Length) * 2);
        return s;
    }
    TChannel ch{0};
};

// --- values worked out by hand from the formulas

TEST_F(Effects, DefaultsLeaveTheFramesAndOnlyTrimTrailingSilence) {
    Frames in{{1, 2}, {0, 3}, {-5, 0}, {0, 0}, {0, 0}};
    TWAVSample s = run(in);
    EXPECT_EQ(frames(s), in);
    EXPECT_EQ(s.Length, 5);
    EXPECT_EQ(s.PlayLength, 3);
}

TEST_F(Effects, AllSilentSampleHasNoPlayLength) {
    TWAVSample s = run(constant(4, 0, 0));
    EXPECT_EQ(s.Length, 4);
    EXPECT_EQ(s.PlayLength, 0);
}

TEST_F(Effects, EmptySampleStaysEmpty) {
    TWAVSample s;
    ch.StereoDelay = 3000;
    ch.ReverseSample = true;
    ch.FadeLR = true;
    ProcessChannelEffects(ch, s);
    EXPECT_FALSE(s.HasData());
    EXPECT_EQ(s.PlayLength, 0);
}

TEST_F(Effects, StereoDelayAboveCentreMakesTheLeftLate) {
    ch.StereoDelay = 2048 + 100;
    Frames in;
    for (int i = 0; i < 5; ++i) in.push_back({1000 + i, 2000 + i});
    TWAVSample s = run(in);
    ASSERT_EQ(s.Length, 105);
    for (int i = 0; i < 105; ++i) {
        EXPECT_EQ(s.Left(i), i < 100 ? 0 : 1000 + (i - 100)) << i;
        EXPECT_EQ(s.Right(i), i < 5 ? 2000 + i : 0) << i;
    }
    EXPECT_EQ(s.PlayLength, 105);
}

TEST_F(Effects, StereoDelayBelowCentreMakesTheRightLate) {
    ch.StereoDelay = 2048 - 3;
    TWAVSample s = run({{7, 8}, {9, 10}});
    EXPECT_EQ(frames(s), (Frames{{7, 0}, {9, 0}, {0, 0}, {0, 8}, {0, 10}}));
}

TEST_F(Effects, StereoDelayOnAClick) {
    // 2148: a click on both sides at frame 0 arrives 100 frames later on the left.
    ch.StereoDelay = 2148;
    Frames in = constant(10, 0, 0);
    in[0] = {30000, 30000};
    TWAVSample s = run(in);
    ASSERT_EQ(s.Length, 110);
    for (int i = 0; i < 110; ++i) {
        EXPECT_EQ(s.Left(i), i == 100 ? 30000 : 0);
        EXPECT_EQ(s.Right(i), i == 0 ? 30000 : 0);
    }
    EXPECT_EQ(s.PlayLength, 101);
}

TEST_F(Effects, ReverseMovesTrailingSilenceToTheStart) {
    ch.ReverseSample = true;
    TWAVSample s = run({{5, 6}, {7, 8}, {0, 0}, {0, 0}});
    EXPECT_EQ(frames(s), (Frames{{0, 0}, {0, 0}, {7, 8}, {5, 6}}));
    EXPECT_EQ(s.PlayLength, 4);
}

TEST_F(Effects, PreAmp256ClipsAHalfScaleSample) {
    // x + x x 256 / 16 = 17 x
    ch.PreAmp = 256;
    TWAVSample s = run({{16384, -16384}, {100, -3}, {1927, -1928}});
    EXPECT_EQ(frames(s), (Frames{{32767, -32768}, {1700, -51}, {32759, -32768}}));
}

TEST_F(Effects, PreAmp16Doubles) {
    ch.PreAmp = 16;
    TWAVSample s = run({{1000, -7}});
    EXPECT_EQ(frames(s), (Frames{{2000, -14}}));
}

TEST_F(Effects, FadeKeepsOnlyTheLeftAtTheStartAndOnlyTheRightAtTheEnd) {
    ch.FadeLR = true;
    // last = 4: left x (4 - i) / 4, right x i / 4, truncated toward zero.
    TWAVSample s = run(constant(5, 999, -999));
    EXPECT_EQ(side(s, 0), (std::vector<int>{999, 749, 499, 249, 0}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{0, -249, -499, -749, -999}));
    EXPECT_EQ(s.PlayLength, 5);  // the last frame still has its right side
}

TEST_F(Effects, DecayRampsToZeroAtTheEnd) {
    ch.Decay = 256;  // g = 256 - 64 i
    TWAVSample a = run(constant(5, 1000, -1000));
    EXPECT_EQ(side(a, 0), (std::vector<int>{1000, 750, 500, 250, 0}));
    EXPECT_EQ(side(a, 1), (std::vector<int>{-1000, -750, -500, -250, 0}));
    EXPECT_EQ(a.PlayLength, 4);
    ch.Decay = 100;  // g = 256 - 25 i: 256 231 206 181 156
    TWAVSample b = run(constant(5, 1000, -1000));
    EXPECT_EQ(side(b, 0), (std::vector<int>{1000, 902, 804, 707, 609}));
    EXPECT_EQ(side(b, 1), (std::vector<int>{-1000, -902, -804, -707, -609}));
    ch.Decay = 1024;  // g = max(0, 256 - 256 i)
    TWAVSample c = run(constant(5, 1000, 1000));
    EXPECT_EQ(side(c, 0), (std::vector<int>{1000, 0, 0, 0, 0}));
}

TEST_F(Effects, AttackRampsUpFromTheStart) {
    ch.Attack = 100;  // MulDiv(4 - i, 100, 4) = 100 75 50 25 0
    TWAVSample a = run(constant(5, 1000, -1000));
    EXPECT_EQ(side(a, 0), (std::vector<int>{609, 707, 804, 902, 1000}));
    EXPECT_EQ(side(a, 1), (std::vector<int>{-609, -707, -804, -902, -1000}));
    ch.Attack = 3;  // (12 - 3 i) div 4 = 3 2 1 0 0: g = 253 254 255 256 256
    TWAVSample b = run(constant(5, 1000, 1000));
    EXPECT_EQ(side(b, 0), (std::vector<int>{988, 992, 996, 1000, 1000}));
}

TEST_F(Effects, FilterLowPass) {
    // CutOff 512: cc = 1024 - round(1024 cos(pi / 4)) = 300; Resonance 0: rr = 0.
    ch.CutOff = 512;
    TWAVSample s = run({{1000, 0}, {1000, 0}, {1000, 0}, {0, 0}});
    EXPECT_EQ(side(s, 0), (std::vector<int>{292, 499, 645, 457}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(Effects, FilterWithResonance) {
    // cc = 300, rr = round(1024 cos(pi / 4)) = 724.
    ch.CutOff = 512;
    ch.Resonance = 512;
    TWAVSample s = run({{1000, -1000}, {1000, -1000}, {1000, -1000}, {0, 0}});
    EXPECT_EQ(side(s, 0), (std::vector<int>{292, 705, 1083, 1033}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{-292, -705, -1083, -1033}));
}

TEST_F(Effects, ResonanceAloneRingsAnOpenFilter) {
    // CutOff 0: cc = 1024; rr = 724.
    ch.Resonance = 512;
    TWAVSample s = run({{1000, 0}, {1000, 0}, {1000, 0}, {0, 0}});
    EXPECT_EQ(side(s, 0), (std::vector<int>{1000, 1707, 1499, -147}));
}

TEST_F(Effects, RingModulationFullMix) {
    // FXSecondSine 0: rate 2, angle (2 i) shr 2 = 0 0 1 1 2; right 90 degrees ahead.
    // SineTable: [0] 0, [1] 285, [2] 571, [90] 16384, [91] 16381, [92] 16374.
    ch.FXSecondMix = 256;
    ch.FXSecondSine = 0;
    TWAVSample s = run(constant(5, 1000, 1000));
    EXPECT_EQ(side(s, 0), (std::vector<int>{0, 0, 17, 17, 34}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{1000, 1000, 999, 999, 999}));
}

TEST_F(Effects, RingModulationHalfMixTruncatesTowardZero) {
    ch.FXSecondMix = 128;
    ch.FXSecondSine = 0;
    TWAVSample s = run(constant(3, -1000, 1000));
    // left i = 2: y = -285000 div 16384 = -17; (-17 x 128 - 128 x 1000) div 256 = -508
    EXPECT_EQ(side(s, 0), (std::vector<int>{-500, -500, -508}));
    // right i = 2: y = 999; (999 x 128 + 128000) div 256 = 999
    EXPECT_EQ(side(s, 1), (std::vector<int>{1000, 1000, 999}));
}

TEST_F(Effects, RingRateFollowsTheSineControl) {
    // FXSecondSine 256: rate 66; i = 1: (66 shr 2) = 16 degrees -> sin 16 x 16384 = 4516.
    ch.FXSecondMix = 256;
    ch.FXSecondSine = 256;
    TWAVSample s = run(constant(2, 16384, 16384));
    EXPECT_EQ(s.Left(1), 4516);
    EXPECT_EQ(s.Right(1), 15749);  // sin 106 degrees x 16384 = 15749.4
}

TEST_F(Effects, FeedbackColour) {
    ch.FXFirst = 256;  // k = 96: x + prev x 96 div 128
    TWAVSample a = run(constant(3, 1000, -1000));
    EXPECT_EQ(side(a, 0), (std::vector<int>{1000, 1750, 2312}));
    EXPECT_EQ(side(a, 1), (std::vector<int>{-1000, -1750, -2312}));
    ch.FXFirst = 0;  // k = -96
    TWAVSample b = run(constant(3, 1000, 0));
    EXPECT_EQ(side(b, 0), (std::vector<int>{1000, 250, 813}));
    ch.FXFirst = 129;  // (129 x 192) shr 8 = 96: k = 0, the chain runs but changes nothing
    TWAVSample c = run(constant(3, 1000, 7));
    EXPECT_EQ(frames(c), constant(3, 1000, 7));
    ch.FXFirst = 130;  // k = 1
    TWAVSample d = run(constant(3, 1000, 0));
    EXPECT_EQ(side(d, 0), (std::vector<int>{1000, 1007, 1007}));
}

TEST_F(Effects, FeedbackUsesTheClampedPreviousValue) {
    ch.FXFirst = 256;
    TWAVSample s = run(constant(2, 30000, 0));
    // i = 1: 30000 + 32767 x 96 div 128 -> clamped 32767 again
    EXPECT_EQ(side(s, 0), (std::vector<int>{30000, 32767}));
}

TEST_F(Effects, TimeWarpAlongTheSine) {
    // FXThird 512 (w 256): j = trunc(8 sin(i pi / 16)) = 0 1 3 4 5 6 7 7 8
    ch.FXThird = 512;
    Frames in;
    for (int i = 0; i < 9; ++i) in.push_back({100 * i, -100 * i});
    TWAVSample s = run(in);
    EXPECT_EQ(side(s, 0), (std::vector<int>{0, 100, 300, 400, 500, 600, 700, 700, 800}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{0, -100, -300, -400, -500, -600, -700, -700, -800}));
}

TEST_F(Effects, TimeWarpAlongTheArcsine) {
    // FXThird 0 (w 256): t = 8 + trunc(8 (2 / pi) asin(i / 8 - 1)) = 0 3 4 5 6 7 7 8 8
    ch.FXThird = 0;
    Frames in;
    for (int i = 0; i < 9; ++i) in.push_back({100 * i, 1});
    TWAVSample s = run(in);
    EXPECT_EQ(side(s, 0), (std::vector<int>{0, 300, 400, 500, 600, 700, 700, 800, 800}));
    // FXThird 128 (w 128): j = (128 i + 128 t) div 256 = 0 2 3 4 5 6 6 7 8
    ch.FXThird = 128;
    TWAVSample b = run(in);
    EXPECT_EQ(side(b, 0), (std::vector<int>{0, 200, 300, 400, 500, 600, 600, 700, 800}));
}

TEST_F(Effects, TimeWarpReadsTheRawFramesOfEachSide) {
    // The right side reads the original right values, not the processed left ones.
    ch.FXThird = 512;
    ch.PreAmp = 16;
    Frames in;
    for (int i = 0; i < 9; ++i) in.push_back({10 * i, 1000 + i});
    TWAVSample s = run(in);
    EXPECT_EQ(side(s, 0), (std::vector<int>{0, 20, 60, 80, 100, 120, 140, 140, 160}));
    EXPECT_EQ(side(s, 1), (std::vector<int>{2000, 2002, 2006, 2008, 2010, 2012, 2014, 2014, 2016}));
}

TEST_F(Effects, SideSwap) {
    ch.RevStereo = true;
    TWAVSample s = run({{1, 2}, {3, 0}});
    EXPECT_EQ(frames(s), (Frames{{2, 1}, {0, 3}}));
}

TEST_F(Effects, OrderDelayThenReverseThenChainThenSwap) {
    // Delay 2049 (left one frame late), reverse, pre-amp x2, swap.
    ch.StereoDelay = 2049;
    ch.ReverseSample = true;
    ch.PreAmp = 16;
    ch.RevStereo = true;
    TWAVSample s = run({{10, 20}, {30, 40}});
    // delayed: (0,20) (10,40) (30,0); reversed: (30,0) (10,40) (0,20); x2; swapped.
    EXPECT_EQ(frames(s), (Frames{{0, 60}, {80, 20}, {40, 0}}));
}

TEST_F(Effects, OutOfRangeValuesAreLimitedToTheControlRanges) {
    // A loop file may hold any 32-bit value.
    TChannel wild(0);
    wild.StereoDelay = 2147483647;
    wild.PreAmp = 1 << 30;
    wild.FXFirst = -5;
    TChannel limited(0);
    limited.StereoDelay = 4096;
    limited.PreAmp = 256;
    limited.FXFirst = 0;
    TWAVSample a = make(constant(3, 100, -100)), b = make(constant(3, 100, -100));
    ProcessChannelEffects(wild, a);
    ProcessChannelEffects(limited, b);
    EXPECT_EQ(a.Length, 3 + 2048);
    EXPECT_EQ(frames(a), frames(b));
}

// A one-frame sample (last = 0): it counts as the start of its own ramps, and
// nothing divides by zero.
TEST_F(Effects, OneFrameSample) {
    ch.FadeLR = true;
    ch.Attack = 100;
    ch.Decay = 500;
    ch.FXThird = 0;
    TWAVSample s = run({{1000, 1000}});
    // attack g = 256 - 100 = 156: 609; decay none; fade: all left
    EXPECT_EQ(frames(s), (Frames{{609, 0}}));
    ch.FXThird = 512;
    ch.Attack = 0;
    ch.FadeLR = false;
    ch.CutOff = 1020;
    ch.Resonance = 1020;
    ch.FXSecondMix = 200;
    ch.PreAmp = 256;
    ch.FXFirst = 0;
    TWAVSample t = run({{-50, 50}});
    EXPECT_EQ(t.Length, 1);
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
                int64_t t = fxThird < 256
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

struct FxSet {
    const char* name;
    int stereoDelay = 2048, fxThird = 256, mix = 0, sine = 128, cutoff = 0, reso = 0, attack = 0, decay = 0, preamp = 0,
        first = 128;
    bool reverse = false, fade = false, swap = false;
};
void PrintTo(const FxSet& f, std::ostream* os) { *os << f.name; }

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
                        t = last + int64_t(std::trunc(double(last) * (2 / pi) * std::asin(double(i) / double(last) - 1)));
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

class EffectsAgainstFormulas : public ::testing::TestWithParam<FxSet> {};

TEST_P(EffectsAgainstFormulas, MatchesFrameForFrame) {
    const FxSet& f = GetParam();
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
    Frames want = reference(f, in);
    ASSERT_EQ(s.Length, int32_t(want.size()));
    Frames got = frames(s);
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "frame " << i;
    int32_t play = int32_t(want.size());
    while (play > 0 && want[size_t(play) - 1] == std::pair<int, int>{0, 0}) --play;
    EXPECT_EQ(s.PlayLength, play);
}

FxSet fx(const char* name) {
    FxSet f;
    f.name = name;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    PerEffect, EffectsAgainstFormulas,
    ::testing::Values(
        [] { auto f = fx("delay_left"); f.stereoDelay = 4096; return f; }(),
        [] { auto f = fx("delay_right"); f.stereoDelay = 1; return f; }(),
        [] { auto f = fx("reverse"); f.reverse = true; return f; }(),
        [] { auto f = fx("warp_sine"); f.fxThird = 400; return f; }(),
        [] { auto f = fx("warp_arcsine"); f.fxThird = 37; return f; }(),
        [] { auto f = fx("ring_slow"); f.mix = 200; f.sine = 0; return f; }(),
        [] { auto f = fx("ring_fast"); f.mix = 77; f.sine = 256; return f; }(),
        [] { auto f = fx("filter"); f.cutoff = 700; return f; }(),
        [] { auto f = fx("filter_resonant"); f.cutoff = 300; f.reso = 1000; return f; }(),
        [] { auto f = fx("resonance_only"); f.reso = 900; return f; }(),
        [] { auto f = fx("attack"); f.attack = 777; return f; }(),
        [] { auto f = fx("attack_small"); f.attack = 7; return f; }(),
        [] { auto f = fx("decay"); f.decay = 1024; return f; }(),
        [] { auto f = fx("decay_odd"); f.decay = 333; return f; }(),
        [] { auto f = fx("preamp"); f.preamp = 100; return f; }(),
        [] { auto f = fx("smooth"); f.first = 256; return f; }(),
        [] { auto f = fx("sharpen"); f.first = 3; return f; }(),
        [] { auto f = fx("fade"); f.fade = true; return f; }(),
        [] { auto f = fx("swap"); f.swap = true; return f; }(),
        [] {
            auto f = fx("everything");
            f.stereoDelay = 2500; f.fxThird = 300; f.mix = 128; f.sine = 64; f.cutoff = 500; f.reso = 600;
            f.attack = 50; f.decay = 400; f.preamp = 40; f.first = 200; f.reverse = true; f.fade = true; f.swap = true;
            return f;
        }(),
        [] {
            auto f = fx("everything_arcsine");
            f.stereoDelay = 1000; f.fxThird = 100; f.mix = 256; f.sine = 255; f.cutoff = 1020; f.reso = 1020;
            f.attack = 1024; f.decay = 1; f.preamp = 256; f.first = 0; f.fade = true;
            return f;
        }()),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
