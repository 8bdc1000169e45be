// Voice mixer stress: 512 voices at once, half of them filtered and pitched,
// mixed and converted block after block on one core. Goal: at least 10x real
// time. "xRealTime" is seconds of audio mixed per second of CPU.
// The filter kernel alone is also timed with double states (as the mixer
// uses) and with long double, to show what 80-bit states would cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/MixKernels.h"
#include "engine/MixVector.h"
#include "model/Loop.h"
#include "model/Settings.h"

namespace {

constexpr int32_t SampleRate = 44100;
constexpr int32_t SampleFrames = 30 * SampleRate;  // long enough that voices outlast many blocks
constexpr int32_t BlockFrames = 4032;              // the default block (4410 frames requested)
constexpr int32_t Refill = 20 * SampleRate;        // restart the voices before any of them ends

enum class Mix { Half, IntegerOnly, FilteredOnly };

struct Rig {
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;
    tx::TWAVSample sample;
    std::vector<int16_t> out;

    explicit Rig(Mix mix) {
        loop.SetEngineLock(&lock);
        lock.SetBufferLength(BlockFrames);
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> pcm(-12000, 12000);
        sample.Data.resize(size_t(SampleFrames) * 2);
        for (auto& v : sample.Data) v = int16_t(pcm(rng));
        sample.Length = sample.PlayLength = SampleFrames;
        out.resize(size_t(BlockFrames) * 2);
        addVoices(mix);
    }

    void addVoices(Mix mix) {
        std::mt19937 rng(2);
        std::uniform_int_distribution<int> pan(0, 127);
        std::uniform_real_distribution<float> cut(0.05f, 0.95f), reso(0.0f, 0.9f);
        engine->ClearVoices();
        engine->MixPosition = 0;
        for (int i = 0; i < tx::MaxVoices; ++i) {
            const bool filtered = mix == Mix::FilteredOnly || (mix == Mix::Half && i % 2);
            const int32_t volume = 2000 + 50 * i;
            if (filtered) {
                // Pitched: down a little (longer) or up a little (shorter, still > Refill).
                const int32_t target = i % 4 == 1 ? SampleFrames * 5 / 4 : SampleFrames * 4 / 5;
                engine->AddVoice(&sample, i, volume, cut(rng), reso(rng), target, 0, 0, pan(rng));
            } else {
                engine->AddVoice(&sample, i, volume, 1.0f, 0.0f, SampleFrames, 0, 0, pan(rng));
            }
        }
    }
};

void runMixer(benchmark::State& state, Mix mix, bool scalar = false, const std::string& target = {}) {
    Rig rig(mix);
    rig.engine->ScalarReference = scalar;
    tx::mix::UseVectorTarget(target);
    state.SetLabel(scalar ? "scalar" : tx::mix::VectorTarget());
    int64_t frames = 0;
    for (auto _ : state) {
        rig.engine->MixBlock();
        rig.engine->ConvertBlock(0, rig.out.data(), 0, BlockFrames * 4);
        frames += BlockFrames;
        if (rig.engine->MixPosition >= Refill) {
            state.PauseTiming();
            rig.addVoices(mix);
            state.ResumeTiming();
        }
        if (rig.engine->VoiceCount != tx::MaxVoices) state.SkipWithError("a voice ended early");
    }
    state.counters["xRealTime"] = benchmark::Counter(double(frames) / SampleRate, benchmark::Counter::kIsRate);
    state.counters["voices"] = rig.engine->VoiceCount;
    tx::mix::UseVectorTarget({});
}

void BM_Mixer512HalfFilteredPitched(benchmark::State& s) { runMixer(s, Mix::Half); }
void BM_Mixer512HalfFilteredPitchedScalar(benchmark::State& s) { runMixer(s, Mix::Half, true); }
void BM_Mixer512Integer(benchmark::State& s) { runMixer(s, Mix::IntegerOnly); }
void BM_Mixer512FilteredPitched(benchmark::State& s) { runMixer(s, Mix::FilteredOnly); }
BENCHMARK(BM_Mixer512HalfFilteredPitched)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Mixer512HalfFilteredPitchedScalar)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Mixer512Integer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Mixer512FilteredPitched)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The filtered mixing kernel alone, 256 voices per block, by state type.
template <typename T>
void BM_FilterKernel256(benchmark::State& state) {
    std::vector<int16_t> src(size_t(BlockFrames) * 2);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pcm(-12000, 12000);
    for (auto& v : src) v = int16_t(pcm(rng));
    std::vector<int32_t> mix(size_t(BlockFrames) * 2, 0);
    std::vector<tx::mix::FilterSide<T>> states(512, tx::mix::FilterSide<T>{0, 0});
    int64_t frames = 0;
    for (auto _ : state) {
        for (int v = 0; v < 256; ++v)
            tx::mix::MixFiltered<T>(mix.data(), src.data(), BlockFrames, 30.0, 40.0, 0.3f, 0.6f, states[size_t(2 * v)],
                                    states[size_t(2 * v + 1)]);
        std::fill(mix.begin(), mix.end(), 0);
        benchmark::DoNotOptimize(mix.data());
        frames += BlockFrames;
    }
    state.counters["xRealTime"] = benchmark::Counter(double(frames) / SampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_FilterKernel256, long double)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_TEMPLATE(BM_FilterKernel256, double)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

// The half-filtered stress once more on every other instruction set this
// processor runs, to show what the choice is worth.
const bool registered = [] {
    const std::vector<std::string> targets = tx::mix::VectorTargets();
    for (size_t i = 1; i < targets.size(); ++i)
        benchmark::RegisterBenchmark(("BM_Mixer512HalfFilteredPitched/" + targets[i]).c_str(),
                                     [t = targets[i]](benchmark::State& s) { runMixer(s, Mix::Half, false, t); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
    return true;
}();

BENCHMARK_MAIN();
