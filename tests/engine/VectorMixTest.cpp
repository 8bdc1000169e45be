// The vector mixer against the scalar reference, byte for byte, on every
// instruction set this processor runs: random loops that use every kind of
// voice (integer, pitched up and down, filtered, resonant, panned, cut,
// echoed, through the main filter and into clipping), 512 voices at once, and
// the kernels' rounding and limits at their edges. Under the address sanitizer
// a read past a sample's end fails here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/MixKernels.h"
#include "engine/MixVector.h"

using namespace tx;
using txtest::EngineRig;
using txtest::FillSample;

namespace {

// Runs the body once per instruction set, then goes back to the best.
template <typename F>
void forEachTarget(F body) {
    for (const std::string& t : mix::VectorTargets()) {
        ASSERT_TRUE(mix::UseVectorTarget(t)) << t;
        ASSERT_EQ(std::string(mix::VectorTarget()), t);
        SCOPED_TRACE("instruction set " + t);
        body(t);
    }
    mix::UseVectorTarget({});
}

// Which of its loop's channels a voice plays (-1: a sample from outside).
int channelOf(const EngineRig& rig, const TWAVSample* s) {
    for (int c = 0; c < rig.loop.ChannelCount(); ++c)
        if (&rig.loop.Channel(c).Sample == s) return c;
    return -1;
}

// What the mixer keeps after each block, folded into one value: the 32-bit
// mix before conversion, every voice (its place in the pool, sample, start,
// length and its filter's states to the last bit) and the 16-bit output. The
// output alone would hide a filter that rounds differently far below its
// last bit.
struct TBlockTrace {
    std::vector<uint64_t> Blocks;
    std::vector<int16_t> Out;
};

uint64_t fold(uint64_t h, const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;  // FNV-1a
    return h;
}

TBlockTrace trace(EngineRig& rig, int blocks) {
    TBlockTrace t;
    std::vector<int16_t> out(size_t(rig.lock.BlockFrames) * 2);
    for (int k = 0; k < blocks; ++k) {
        rig.engine->MixBlock();
        uint64_t h = fold(14695981039346656037ull, rig.lock.MixBuffer.data(), rig.lock.MixBuffer.size() * 4);
        for (int i = 0; i < rig.engine->VoiceCount; ++i) {
            const TMixChan& v = rig.engine->Voices[size_t(i)];
            const int c = channelOf(rig, v.Sample);
            const int64_t s = c >= 0 ? c : int64_t(reinterpret_cast<uintptr_t>(v.Sample));
            const double f[4] = {v.Filter.PosLeft, v.Filter.VelLeft, v.Filter.PosRight, v.Filter.VelRight};
            h = fold(fold(fold(fold(h, &s, 8), &v.StartTime, 8), &v.Length, 8), f, sizeof f);
        }
        rig.engine->ConvertBlock(0, out.data(), NoScope, rig.lock.BlockFrames * 4);
        t.Blocks.push_back(fold(h, out.data(), out.size() * 2));
        t.Out.insert(t.Out.end(), out.begin(), out.end());
    }
    return t;
}

// The first block whose trace differs, or -1.
int firstDifference(const TBlockTrace& a, const TBlockTrace& b) {
    for (size_t k = 0; k < std::max(a.Blocks.size(), b.Blocks.size()); ++k)
        if (k >= a.Blocks.size() || k >= b.Blocks.size() || a.Blocks[k] != b.Blocks[k]) return int(k);
    return -1;
}

struct TLoopShape {
    uint32_t Seed;
    int32_t BlockFrames;
    bool MainFilter;
    bool Surround;
};
void PrintTo(const TLoopShape& s, std::ostream* os) {
    *os << "seed" << s.Seed << "_block" << s.BlockFrames << (s.MainFilter ? "_mainfilter" : "")
        << (s.Surround ? "_surround" : "");
}

// A loop of eight channels drawn from the seed. Some channels are fixed to one
// kind of voice so every kind sounds: 0 plain, 1 pitched up, 2 pitched down,
// 3 filtered, 4 resonant, 5 echoes that change pitch and filter, 6 and 7 a
// cut group; the rest is random, loud enough to clip.
void buildLoop(EngineRig& rig, const TLoopShape& shape) {
    std::mt19937 rng(shape.Seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    TLoop& loop = rig.loop;
    while (loop.ChannelCount() < 8) loop.AddChannel();
    for (int c = 0; c < 8; ++c) {
        TChannel& ch = loop.Channel(c);
        // Odd lengths, some very short, so every kernel's tail runs.
        const int32_t len = c == 3 || c == 4 ? pick(9000, 30000) : (pick(0, 4) == 0 ? pick(1, 9) : pick(200, 12000));
        const int tone = pick(3, 40), loud = pick(2000, 32767);
        std::vector<int16_t> noise(size_t(len) * 2);
        for (auto& v : noise) v = int16_t(pick(-loud, loud));
        FillSample(
            ch.Sample, len,
            [&](int32_t i) { return int16_t((i % tone) * 2 * loud / tone - loud + noise[size_t(2 * i)] / 4); },
            [&](int32_t i) { return noise[size_t(2 * i + 1)]; });
        // A silent tail: the play length is shorter than the data.
        if (len > 100 && pick(0, 2) == 0) {
            for (int32_t i = len - 50; i < len; ++i)
                ch.Sample.Data[size_t(2 * i)] = ch.Sample.Data[size_t(2 * i + 1)] = 0;
            ch.Sample.PlayLength = len - 50;
        }
        ch.Volume = pick(60, 127);
        ch.Pan = pick(0, 127);
        ch.Pitchable = pick(0, 3) != 0;
        for (int p = 1; p <= 3; ++p) {
            PatternRecord& rec = ch.Pattern(p);
            rec.StepMask = uint16_t(pick(0, 0xFFFF) | (c < 6 ? 0x0101 : 0));
            for (int s = 0; s < 16; ++s) {
                rec.StepVolume()[size_t(s)] = uint8_t(pick(40, 127));
                rec.StepPan()[size_t(s)] = uint8_t(pick(0, 127));
                rec.StepPitch()[size_t(s)] = uint8_t(pick(0, 5) == 0 ? pick(0, 240) : 120);
                rec.StepNote()[size_t(s)] = uint8_t(c == 1 ? pick(61, 84) : c == 2 ? pick(30, 59) : 60);
                rec.StepCutoff()[size_t(s)] = uint8_t(c == 3 || c == 4  ? pick(1, 127)
                                                      : pick(0, 6) == 0 ? pick(1, 127)
                                                                        : 0);
                rec.StepReso()[size_t(s)] = uint8_t(c == 4 ? pick(60, 127) : pick(0, 8) == 0 ? pick(1, 127) : 0);
                rec.StepMix()[size_t(s)] = uint8_t(pick(0, 6) == 0 ? pick(1, 127) : 0);
            }
        }
    }
    TChannel& echo = loop.Channel(5);
    echo.DelayFeed = pick(100, 250);
    echo.DelayEchoes = 9;
    echo.DelayTime = pick(5, 60);
    echo.DelayPitch = pick(100, 140);
    echo.DelayReso = pick(0, 256);
    echo.DelayCutOff = pick(0, 256);
    echo.DelayPan = pick(0, 256);
    echo.DelayShuffled = pick(0, 1) == 1;
    loop.Channel(6).Sample.CutGroup = 1;
    loop.Channel(7).Sample.CutByGroup = 1;
    loop.Channel(7).Sample.CutGroup = 2;
    loop.Channel(6).Sample.CutByGroup = 2;
    loop.Channel(0).MixWith = 3;
    loop.Channel(2).RandomWith = {2, 0, 6};
    loop.Channel(pick(0, 7)).DelayShift = pick(1, 200);
    loop.Shuffle = pick(0, 128);
    loop.MainVolume = pick(90, 128);
    loop.PlayList.SetPatternAt(1, 0, true);
    loop.PlayList.SetPatternAt(2, 1, true);
    loop.PlayList.SetPatternAt(3, 1, true);
    loop.PlayList.SetPatternAt(3, 2, true);
    if (shape.MainFilter) {
        rig.engine->SetMainCutOff(pick(100, 900));
        rig.engine->SetMainResonance(pick(300, 980));
    }
    rig.engine->SetSurround(shape.Surround);
    rig.engine->SetTempo(pick(90, 200));
    rig.engine->SetSongMode(true);
    rig.engine->SeedRandom(shape.Seed);
    rig.engine->Start();
}

class VectorMixLoop : public ::testing::TestWithParam<TLoopShape> {};

TEST_P(VectorMixLoop, EveryInstructionSetGivesTheReferenceBytes) {
    const TLoopShape& shape = GetParam();
    EngineRig ref(shape.BlockFrames);
    ref.engine->ScalarReference = true;
    buildLoop(ref, shape);
    const int blocks = int((4 * 16 * int64_t(ref.engine->StepLength) + 30000) / shape.BlockFrames) + 1;
    const TBlockTrace want = trace(ref, blocks);
    int64_t clipped = 0, sounding = 0;
    for (int16_t v : want.Out) {
        clipped += v == 32767 || v == -32768;
        sounding += v != 0;
    }
    EXPECT_GT(sounding, int64_t(want.Out.size()) / 2) << "the loop hardly sounds";
    EXPECT_GT(clipped, 0) << "nothing reaches the 16-bit limits";
    forEachTarget([&](const std::string&) {
        EngineRig rig(shape.BlockFrames);
        buildLoop(rig, shape);
        EXPECT_EQ(firstDifference(trace(rig, blocks), want), -1);
    });
}

INSTANTIATE_TEST_SUITE_P(Loops, VectorMixLoop,
                         ::testing::Values(TLoopShape{1, 576, false, false}, TLoopShape{2, 4032, true, false},
                                           TLoopShape{3, 1152, false, true}, TLoopShape{4, 576, true, true},
                                           TLoopShape{5, 8064, false, false}));

// 512 voices at once from direct calls: half filtered (some resonant), most
// pitched up or down, spread over the pool with starts inside blocks and ends
// inside blocks; the 513th is turned away in both.
TEST(VectorMixPool, FiveHundredTwelveVoicesMatchTheReference) {
    std::vector<TWAVSample> samples(7);
    std::mt19937 rng(512);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (size_t k = 0; k < samples.size(); ++k) {
        const int32_t len = pick(3000, 40000) + int32_t(k);
        std::vector<int16_t> v(size_t(len) * 2);
        for (auto& x : v) x = int16_t(pick(-20000, 20000));
        FillSample(
            samples[k], len, [&](int32_t i) { return v[size_t(2 * i)]; },
            [&](int32_t i) { return v[size_t(2 * i + 1)]; });
    }
    struct TCall {
        int s;
        FrameTime start;
        int32_t volume;
        float c, r;
        int32_t target, group, cut, pan;
    };
    std::vector<TCall> calls;
    for (int i = 0; i < 513; ++i) {
        const int s = pick(0, int(samples.size()) - 1);
        const bool filtered = i % 2 == 1;
        const int32_t len = samples[size_t(s)].PlayLength;
        const int32_t target = pick(0, 3) == 0 ? len : pick(len / 3, len * 3);
        calls.push_back({s, FrameTime(pick(0, 9000)), pick(3000, 90000), filtered ? float(pick(1, 999)) / 1000 : 1.0f,
                         filtered && pick(0, 1) ? float(pick(1, 998)) / 1000 : 0.0f, target, pick(0, 2) * 512,
                         pick(0, 12) == 0 ? 512 : 0, pick(0, 127)});
    }
    auto start = [&](EngineRig& rig) {
        for (const TCall& c : calls)
            rig.engine->AddVoice(&samples[size_t(c.s)], c.start, c.volume, c.c, c.r, c.target, c.group, c.cut, c.pan);
        EXPECT_EQ(rig.engine->VoiceCount, MaxVoices);
    };
    for (int32_t block : {576, 4032}) {
        EngineRig ref(block);
        ref.engine->ScalarReference = true;
        start(ref);
        const TBlockTrace want = trace(ref, 130000 / block);
        EXPECT_EQ(ref.engine->VoiceCount, 0) << "every voice has ended";
        forEachTarget([&](const std::string&) {
            EngineRig rig(block);
            start(rig);
            EXPECT_EQ(firstDifference(trace(rig, 130000 / block), want), -1) << block;
        });
    }
}

// The kernels at the edges of their arithmetic, against the scalar forms:
// ties and near-ties of the rounding, the 32-bit and 64-bit limits, infinity
// and NaN, Surround's negation of the lowest value, and every tail length.
TEST(VectorKernels, EdgesOfRoundingAndLimitsMatchTheScalarForms) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> special = {0.5,
                                         1.5,
                                         -0.5,
                                         -2.5,
                                         0.49999999999999994,
                                         2147483647.4,
                                         2147483647.5,
                                         -2147483648.5,
                                         -2147483649.0,
                                         4e9,
                                         -4e9,
                                         9223372036854774784.0,
                                         9223372036854775808.0,
                                         -9223372036854775808.0,
                                         1e300,
                                         inf,
                                         -inf,
                                         std::nan("")};
    const std::vector<int32_t> mixEdges = {
        0, 1, -1, 127, 128, -128, -129, INT32_MAX, INT32_MIN, INT32_MIN + 1, 4194303, -4194304, 4194304, 1 << 30};
    std::mt19937 rng(7);
    forEachTarget([&](const std::string&) {
        for (int32_t n = 0; n <= 37; ++n) {
            std::vector<int32_t> mix(size_t(n) * 2);
            std::vector<double> y(size_t(n) * 2 * 3);  // read with a stride of 6 too
            for (size_t i = 0; i < mix.size(); ++i) mix[i] = mixEdges[(i + size_t(n)) % mixEdges.size()];
            for (size_t i = 0; i < y.size(); ++i)
                y[i] = i % 3 == 0 ? special[(i / 3 + size_t(n)) % special.size()]
                                  : std::uniform_real_distribution<double>(-3e9, 3e9)(rng);
            for (int32_t stride : {2, 6}) {
                std::vector<int32_t> want = mix, got = mix;
                for (size_t i = 0; i < want.size(); ++i)
                    want[i] = mix::RoundSaturate32(double(want[i]) + y[(i / 2) * size_t(stride) + (i & 1)]);
                mix::AccumulateVector(got.data(), y.data(), n, stride);
                ASSERT_EQ(got, want) << "accumulate, " << n << " frames, stride " << stride;
            }
            for (bool surround : {false, true}) {
                std::vector<int32_t> m = mix;
                std::vector<int16_t> want(mix.size()), got(mix.size());
                for (size_t i = 0; i < mix.size(); ++i) {
                    const int64_t v = (i & 1) && surround ? -int64_t(mix[i]) : int64_t(mix[i]);
                    want[i] = int16_t(std::clamp<int64_t>(v >> 7, -32768, 32767));
                }
                mix::ConvertVector(m.data(), got.data(), n, surround);
                ASSERT_EQ(got, want) << "convert, " << n << " frames, surround " << surround;
                ASSERT_EQ(m, std::vector<int32_t>(mix.size(), 0)) << "the mix is cleared";
            }
            int32_t e[4], want[4] = {0, 0, 0, 0};
            for (size_t i = 0; i < mix.size(); ++i) {
                const size_t side = (i & 1) * 2;
                want[side] = std::min(want[side], mix[i]);
                want[side + 1] = std::max(want[side + 1], mix[i]);
            }
            mix::PeaksVector(mix.data(), n, e[0], e[1], e[2], e[3]);
            ASSERT_EQ(std::vector<int32_t>(e, e + 4), std::vector<int32_t>(want, want + 4)) << n << " frames";
        }
    });
}

}  // namespace
