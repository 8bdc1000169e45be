// MIDI file export of a full song: 512 playlist positions, 16 MIDI channels,
// every step on (131072 notes). Goal: under 20 ms per export on one core.
#include <benchmark/benchmark.h>

#include "midi/MidiFile.h"

namespace {

void fillLoop(tx::TLoop& loop, bool random) {
    while (loop.ChannelCount() < 16) loop.AddChannel();
    for (int i = 0; i < 16; ++i) {
        tx::TChannel& c = loop.Channel(i);
        c.MidiNote = uint8_t(35 + i);
        c.MidiChannel = i;
        c.MidiPatch = uint8_t(i);
        c.Pan = 10 + 7 * i;
        c.Pattern(1).StepMask = 0xFFFF;
        c.Pattern(2).StepMask = 0xFFFF;
        for (int s = 0; s < 16; ++s) c.Pattern(1).StepNote()[size_t(s)] = uint8_t(48 + s);
        if (random && i + 1 < 16) c.RandomWith = {i, i + 1};
        if (i % 4 == 1) {
            c.MixWith = i - 1;
            c.Pattern(1).StepMix().fill(64);
        }
    }
    for (int pos = 0; pos < tx::PlayListPositions; ++pos) loop.SetPatternAt(1 + pos % 2, pos, true);
}

void BM_SongExport(benchmark::State& state) {
    tx::TLoop loop;
    fillLoop(loop, state.range(0) != 0);
    tx::TSettings settings;
    tx::TMidiRandom rng(1);
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> image = tx::BuildMidiFile(loop, settings, true, rng);
        bytes = image.size();
        benchmark::DoNotOptimize(image.data());
    }
    state.counters["file_bytes"] = double(bytes);
    state.SetItemsProcessed(int64_t(state.iterations()) * 512 * 16 * 16);
}
// 0: plain channels (with MixWith splits on a quarter of them); 1: RandomWith picks too.
BENCHMARK(BM_SongExport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
