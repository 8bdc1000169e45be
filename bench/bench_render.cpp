// Offline render in steady state on one core: a realistic song of 9 channels,
// 100 bars at 98 BPM (about 245 s of audio), about 2000 note triggers and
// about 44 M voice-frames per pass, mixed by the very render loop the render
// command uses. Samples are synthesised here so the figure needs no files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "engine/MixVector.h"
#include "engine/Render.h"

namespace {

constexpr int SongBars = 100;
constexpr int SongTempo = 98;
constexpr double Rate = 44100.0;

enum Ch { Kick, Snare, Clap, ClosedHat, OpenHat, Tom, Rim, Cymbal, Bass, ChannelTotal };

// Deterministic noise for the synthetic samples.
struct TLcg {
    uint32_t s = 12345;
    int next() {
        s = s * 1664525u + 1013904223u;
        return int(s >> 16) - 32768;
    }
};

void synth(tx::TWAVSample& s, double seconds, double freq, double noise, double decay, uint32_t seed) {
    const int32_t n = int32_t(seconds * Rate);
    TLcg lcg{seed};
    s.Data.resize(size_t(n) * 2);
    for (int32_t i = 0; i < n; ++i) {
        double t = i / Rate;
        double v = (1 - noise) * std::sin(2 * M_PI * freq * t) + noise * lcg.next() / 32768.0;
        v *= std::exp(-t / decay) * 0.25;
        int16_t q = int16_t(std::lround(v * 32767));
        s.Data[size_t(i) * 2] = q;
        s.Data[size_t(i) * 2 + 1] = q;
    }
    s.Length = s.PlayLength = n;
}

void on(tx::TLoop& l, int ch, int pattern, std::initializer_list<int> steps, uint8_t volume = 110) {
    auto& r = l.Channel(ch).Pattern(pattern);
    for (int s : steps) {
        r.SetStep(s, true);
        r.StepVolume()[size_t(s)] = volume;
    }
}

// The song: four groove patterns and a crash pattern layered every fourth bar.
struct TSong {
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    std::unique_ptr<tx::TEngine> engine;

    // `extra` channels more than the kit's nine: shakers, percussion and
    // stabs on steps of their own, for the stem benchmarks' 16-channel loop.
    explicit TSong(int extra = 0) {
        settings.RenderingRemainder = tx::TRemainder::Wrap;
        loop.SetEngineLock(&lock);
        while (loop.ChannelCount() < ChannelTotal + extra) loop.AddChannel();
        engine = std::make_unique<tx::TEngine>(loop, lock, settings);
        const struct {
            double seconds, freq, noise, decay;
        } kit[ChannelTotal] = {
            {0.80, 55, 0.05, 0.20},  {0.70, 190, 0.6, 0.12},  {0.60, 1100, 0.9, 0.14},
            {0.20, 7000, 0.9, 0.03}, {0.80, 7500, 0.9, 0.25}, {1.00, 110, 0.1, 0.25},
            {0.10, 1700, 0.3, 0.02}, {3.20, 5000, 0.9, 0.80}, {0.55, 55, 0.0, 0.18},
        };
        for (int c = 0; c < ChannelTotal; ++c)
            synth(loop.Channel(c).Sample, kit[c].seconds, kit[c].freq, kit[c].noise, kit[c].decay, uint32_t(c + 1));
        loop.Channel(ClosedHat).Sample.CutGroup = 1;  // the closed hat chokes the open one
        loop.Channel(OpenHat).Sample.CutByGroup = 1;
        loop.Channel(Bass).MiddleNote = 45;
        loop.Channel(Rim).DelayFeed = 50;  // a few echoes, as loops use them
        loop.Channel(Rim).DelayEchoes = 2;

        for (int p = 1; p <= 4; ++p) {
            on(loop, Kick, p, {0, 4, 8, 12}, 127);
            on(loop, Snare, p, {4, 12});
            on(loop, ClosedHat, p, {0, 2, 4, 6, 8, 10, 12, 14});
            on(loop, OpenHat, p, {3});
            on(loop, Bass, p, {2, 7, 10});
            if (p % 2 == 0) on(loop, Tom, p, {14});
        }
        on(loop, Clap, 2, {12});
        on(loop, Rim, 3, {6});
        on(loop, OpenHat, 2, {11});
        on(loop, Tom, 4, {13, 15});
        on(loop, Cymbal, 5, {0}, 100);
        // pitched bass notes, and a filter on some of them
        for (int p = 1; p <= 4; ++p) {
            auto& r = loop.Channel(Bass).Pattern(p);
            r.StepNote()[2] = 45;
            r.StepNote()[7] = 48;
            r.StepNote()[10] = 43;
            if (p % 2 == 0) r.StepCutoff()[7] = 70;
        }
        loop.Channel(ClosedHat).Pattern(3).StepPitch()[6] = 140;  // a pitched hat now and then
        for (int k = 0; k < extra; ++k) {
            const int c = ChannelTotal + k;
            loop.Channel(c).Name = "Extra " + std::to_string(k + 1);
            synth(loop.Channel(c).Sample, 0.15 + 0.1 * k, 300.0 * (k + 1), 0.5, 0.06 + 0.02 * k, uint32_t(c + 1));
            for (int p = 1; p <= 4; ++p) on(loop, c, p, {(k + p) % 16, (k + 2 * p + 5) % 16, (3 * k + 9) % 16}, 90);
        }

        for (int bar = 0; bar < SongBars; ++bar) {
            loop.PlayList.SetPatternAt(1 + bar % 4, bar, true);
            if (bar % 4 == 0) loop.PlayList.SetPatternAt(5, bar, true);
        }
        loop.SongMode = true;
        engine->SetTempo(SongTempo);
    }
};

// The figures of one pass, counted outside the timed loop with the mixer's own rules.
struct TPassFigures {
    int64_t voiceFrames = 0;
    int64_t triggers = 0;
    int64_t frames = 0;
};

// Mirrors the render loop block by block: advance the clock, count the frames
// each active voice mixes in this block (the mixer's own span rule), then mix.
TPassFigures countPass(TSong& song) {
    TPassFigures f;
    tx::TEngine& e = *song.engine;
    tx::TEngineLock& el = song.lock;
    const tx::TRenderPlan plan = tx::PlanRender(song.loop, el.BlockFrames);
    el.SuspendOutput();
    e.ClearVoices();
    e.MixPosition = 16 * tx::FrameTime(e.StepLength);
    f.frames = plan.Count * 16 * tx::FrameTime(e.StepLength);
    const tx::FrameTime end = e.MixPosition + f.frames;
    e.NextStepTime = e.MixPosition;
    e.MixStep = -1;
    e.SongPosition = 0;
    song.loop.PatternsAt(0, e.MixPatterns);
    e.MixPattern = e.MixPatterns.First();
    e.Playing = true;
    e.SongEnd = plan.Count - 1;
    std::vector<int16_t> out(size_t(el.BlockFrames) * 2);
    while (e.MixPosition < end) {
        const int before = e.VoiceCount;
        e.AdvanceClock();  // MixBlock's own call then finds nothing left to do
        f.triggers += std::max(0, e.VoiceCount - before);
        const tx::FrameTime blockEnd = e.MixPosition + el.BlockFrames;
        for (int i = 0; i < e.VoiceCount; ++i) {
            const tx::TMixChan& v = e.Voices[size_t(i)];
            tx::FrameTime off = e.MixPosition - v.StartTime, skip = 0;
            if (blockEnd <= v.StartTime || off >= v.Length || v.Length < 1) continue;
            if (off < 0) skip = -off, off = 0;
            f.voiceFrames += std::min(v.Length - off, tx::FrameTime(el.BlockFrames) - skip);
        }
        e.MixBlock();
        e.ConvertBlock(0, out.data(), 0, el.BlockFrames * 4);
    }
    e.Playing = false;
    e.SongEnd = tx::NoSongEnd;
    e.ClearVoices();
    el.ResumeOutput();
    return f;
}

// Args: the requested block length; 1 for the scalar reference loops.
void BM_RenderSong(benchmark::State& state) {
    TSong song;
    song.lock.SetBufferLength(int32_t(state.range(0)));
    song.engine->ScalarReference = state.range(1) != 0;
    state.SetLabel(song.engine->ScalarReference ? "scalar" : tx::mix::VectorTarget());
    const TPassFigures fig = countPass(song);
    tx::TRenderPlan plan = tx::PlanRender(song.loop, song.lock.BlockFrames);
    int64_t bytes = 0;
    for (auto _ : state) {
        tx::TRenderProgress progress;
        bytes = tx::RunRenderLoop(*song.engine, plan, progress, int64_t(1) << 40, [](const uint8_t* p, size_t n) {
            benchmark::DoNotOptimize(p);
            benchmark::DoNotOptimize(n);
            return true;
        });
    }
    const double audioSeconds = double(bytes / 4) / Rate;
    state.counters["audio_s"] = audioSeconds;
    state.counters["triggers"] = double(fig.triggers);
    state.counters["Mvoiceframes"] = double(fig.voiceFrames) / 1e6;
    state.counters["x_realtime"] =
        benchmark::Counter(audioSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSong)->Args({4410, 0})->Args({576, 0})->Args({4410, 1})->Unit(benchmark::kMillisecond);

// The same song through the render thread into a real file (temporary name,
// sync and rename included); wall time, as the user waits for it.
void BM_RenderSongToFile(benchmark::State& state) {
    TSong song;
    song.lock.SetBufferLength(4410);
    const std::string file =
        std::filesystem::temp_directory_path() / ("bench_render_" + std::to_string(getpid()) + ".wav");
    for (auto _ : state) {
        tx::TRenderResult r = tx::RenderWAV(*song.engine, file);
        if (!r.Ok) state.SkipWithError(r.Error.c_str());
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_RenderSongToFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The 16-channel song's render loop alone, without files: the mix (arg 0),
// or the mix and its 16 stems in one pass (arg 1).
void BM_Render16(benchmark::State& state) {
    TSong song(16 - ChannelTotal);
    song.lock.SetBufferLength(4410);
    const std::vector<int> stems = state.range(0) ? tx::StemChannels(song.loop) : std::vector<int>{};
    const tx::TRenderPlan plan = tx::PlanRender(song.loop, song.lock.BlockFrames);
    int64_t bytes = 0;
    for (auto _ : state) {
        tx::TRenderProgress progress;
        bytes = tx::RunRenderLoop(*song.engine, plan, progress, stems, [](int, const int16_t* p, int32_t n) {
            benchmark::DoNotOptimize(p);
            benchmark::DoNotOptimize(n);
            return true;
        });
    }
    state.counters["outputs"] = double(stems.size() + 1);
    state.counters["x_realtime"] =
        benchmark::Counter(double(bytes / 4) / Rate * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Render16)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A 16-channel version of the song to files: the plain render (first arg 0),
// and the mix with a stem for each channel in one pass (1) into a folder, as
// WAV or FLAC (second arg). Wall time, the files synced to disk included.
void BM_Render16ToFiles(benchmark::State& state) {
    TSong song(16 - ChannelTotal);
    song.lock.SetBufferLength(4410);
    const bool stems = state.range(0) != 0;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench_render_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto format = tx::TRenderFormat(state.range(1));
    const tx::TRenderRequest request{stems ? std::string() : (dir / "song").string(),
                                     stems ? dir.string() : std::string(), format};
    size_t files = 0;
    for (auto _ : state) {
        tx::TRenderResult r = tx::RenderFiles(*song.engine, request);
        if (!r.Ok) state.SkipWithError(r.Error.c_str());
        files = r.Files.size();
    }
    state.counters["files"] = double(files);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Render16ToFiles)
    ->Args({0, int(tx::TRenderFormat::Wav)})
    ->Args({1, int(tx::TRenderFormat::Wav)})
    ->Args({0, int(tx::TRenderFormat::Flac)})
    ->Args({1, int(tx::TRenderFormat::Flac)})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
