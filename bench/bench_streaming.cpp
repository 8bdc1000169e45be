// The mixing thread's work per wake-up while the program's default loop
// plays: the null device asks for one block of frames, the mixing thread is
// woken, mixes the block and converts it into the device buffer. The figure
// "realtime_percent" is that cost as a share of the block's playing time, the
// CPU load the settings window would show (goals: under 2% at 4032 frames,
// under 5% at 576). Needs the default loop that the build generates.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/Engine.h"
#include "engine/NullAudioDevice.h"
#include "engine/SampleInstall.h"
#include "engine/Streaming.h"
#include "loopfile/LoopFile.h"

namespace {

void BM_StreamingWakeUp(benchmark::State& state) {
    const std::string folder = std::string(TROVAMIX_BINARY_DIR) + "/";
    const std::string loopFile = folder + "Default/Default.txp";
    if (!std::filesystem::exists(loopFile)) {
        state.SkipWithError("no default loop; build the tools first");
        return;
    }
    const int32_t bufferFrames = int32_t(state.range(0));
    tx::TSettings settings;
    tx::TEngineLock lock;
    tx::TLoop loop;
    loop.SetEngineLock(&lock);
    tx::TEngine engine(loop, lock, settings);
    loop.LoopFileName = loopFile;
    tx::TLoopReadOptions options;
    options.OnSampleFileName = tx::MakeLoopSampleLoader(loop, {folder, loopFile, {}}, &engine);
    if (!tx::ReadLoop(loopFile, loop, options).Ok()) {
        state.SkipWithError("the default loop cannot be read");
        return;
    }
    engine.SetTempo(loop.Tempo);
    engine.SetMainCutOff(loop.MainCutOff);
    engine.SetMainResonance(loop.MainResonance);

    tx::TNullAudioSystem system(false);
    tx::TEngineBlockSource source(engine);
    tx::TStreaming streaming(lock, source, system);
    streaming.SetWatchdog(0);
    streaming.EnumerateDevices();
    streaming.SetAheadLength(bufferFrames);
    streaming.Start(bufferFrames);
    tx::TNullAudioDevice* device = system.LastDevice();
    if (!streaming.DeviceOpen() || !device) {
        state.SkipWithError("the null device did not open");
        return;
    }
    engine.Start();
    const tx::TStreamBuffer& buffer = streaming.Buffer();
    const int32_t b = buffer.BlockFrames();
    auto due = [&] { return (buffer.Cursor() + buffer.AheadFrames()) / b; };
    while (streaming.LastBlockWritten() < due()) std::this_thread::yield();

    const auto started = std::chrono::steady_clock::now();
    int64_t blocks = 0;
    for (auto _ : state) {
        device->Process(b);
        const int64_t want = due();
        while (streaming.LastBlockWritten() < want) std::this_thread::yield();
        ++blocks;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    engine.Stop();
    streaming.CloseDevice();
    const double blockSeconds = double(b) / 44100.0;
    state.counters["block_frames"] = b;
    state.counters["voices_last"] = engine.VoiceCount;
    state.counters["realtime_percent"] = blocks ? seconds / (double(blocks) * blockSeconds) * 100.0 : 0.0;
}

}  // namespace

BENCHMARK(BM_StreamingWakeUp)->Arg(4410)->Arg(576)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
