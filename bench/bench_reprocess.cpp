// A knob of the channel settings window turned on a 10 s stereo sample: the
// channel's settings kept for undo, the raw frames taken again and processed,
// the result swapped in. Goal: within 20 ms. It also reports the longest
// engine-lock hold of that path, the most the mixer can wait for the window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineLock.h"
#include "engine/SampleInstall.h"
#include "model/Loop.h"
#include "model/Settings.h"
#include "model/Undo.h"

namespace {

constexpr uint32_t TenSeconds = 441000;

std::string writeSample(const std::filesystem::path& path) {
    std::vector<int16_t> pcm(size_t(TenSeconds) * 2);
    for (uint32_t i = 0; i < TenSeconds; ++i) {
        const double env = std::exp(-double(i) / 88200.0);
        pcm[size_t(i) * 2] = int16_t(20000 * env * std::sin(i * 0.0627));
        pcm[size_t(i) * 2 + 1] = int16_t(20000 * env * std::sin(i * 0.0911 + 0.3));
    }
    const uint32_t data = uint32_t(pcm.size() * 2);
    std::ofstream f(path, std::ios::binary);
    auto le = [&](uint32_t v, int n) {
        for (int b = 0; b < n; ++b) f.put(char(v >> (8 * b)));
    };
    f.write("RIFF", 4);
    le(36 + data, 4);
    f.write("WAVEfmt ", 8);
    le(16, 4);
    le(1, 2);
    le(2, 2);
    le(44100, 4);
    le(44100 * 4, 4);
    le(4, 2);
    le(16, 2);
    f.write("data", 4);
    le(data, 4);
    f.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(data));
    return path.string();
}

void BM_KnobReprocess(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "trovamix-bench-reprocess";
    std::filesystem::create_directories(folder);
    const std::string file = writeSample(folder / "ten.wav");
    tx::TLoop loop;
    tx::TEngineLock lock;
    tx::TSettings settings;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    tx::TUndoHistory undo(loop);
    tx::TSampleInstall install(loop, engine, folder.string() + "/");
    install.SetChannelSample(0, file, false, false);
    tx::TChannel& c = loop.Channel(0);
    c.Decay = 200;
    c.CutOff = 300;
    lock.StartHoldTiming();
    int turn = 0;
    for (auto _ : state) {
        // What the window's handler does for one knob move (a FXFirst turn).
        loop.TouchChannel(0);
        c.FXFirst = 100 + (turn++ % 100);
        install.ReprocessChannel(0);
        benchmark::DoNotOptimize(c.Sample.Data.data());
    }
    lock.StopHoldTiming();
    state.counters["longest_lock_hold_us"] = double(lock.LongestHold().count()) / 1000.0;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_KnobReprocess)->Unit(benchmark::kMillisecond)->Repetitions(3);

}  // namespace

BENCHMARK_MAIN();
