// Loop file throughput on a large loop: 99 channels, all 999 patterns with
// every step on and every per-step value off its default (so every per-step
// event is written), and a playlist with patterns at all 512 positions.
//
// usage: bench_loopfile [benchmark options]
//        bench_loopfile --write-large FILE.txp   (writes the large loop, for
//                                                 measuring `trovamix-cli info`)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "loopfile/LoopFile.h"

namespace {

constexpr int LargeChannels = 99;
constexpr int PatternsPerBar = 4;

void FillLargeLoop(tx::TLoop& loop) {
    while (loop.ChannelCount() < LargeChannels) loop.AddChannel();
    for (int ch = 0; ch < LargeChannels; ++ch) {
        tx::TChannel& c = loop.Channel(ch);
        loop.SetChannelName(ch, "Channel " + std::to_string(ch));
        c.SampleFileName = "\\sample" + std::to_string(ch) + ".wav";
        for (int p = 1; p <= tx::MaxPattern; ++p) {
            tx::PatternRecord& r = c.Pattern(p);
            r.StepMask = 0xFFFF;
            for (int row = 0; row < tx::StepRowCount; ++row) {
                const auto& param = tx::StepParamTable[size_t(row)];
                for (int s = 0; s < tx::StepsPerPattern; ++s)
                    r.Rows[size_t(row)][size_t(s)] =
                        uint8_t((param.Default + 1 + (p + s + ch) % 5) % (param.Maximum + 1));
            }
        }
    }
    for (int pos = 0; pos < tx::PlayListPositions; ++pos)
        for (int k = 0; k < PatternsPerBar; ++k)
            loop.SetPatternAt(1 + (pos * PatternsPerBar + k) % tx::MaxPattern, pos, true);
}

const std::vector<uint8_t>& LargeImage() {
    static const std::vector<uint8_t> image = [] {
        tx::TLoop loop;
        FillLargeLoop(loop);
        return tx::BuildLoopFile(loop);
    }();
    return image;
}

void BM_BuildLargeLoop(benchmark::State& state) {
    tx::TLoop loop;
    FillLargeLoop(loop);
    size_t bytes = 0;
    for (auto _ : state) {
        auto image = tx::BuildLoopFile(loop);
        bytes = image.size();
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["file_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_BuildLargeLoop)->Unit(benchmark::kMillisecond);

void BM_ReadLargeLoopFromMemory(benchmark::State& state) {
    const auto& image = LargeImage();
    tx::TLoop loop;
    for (auto _ : state) {
        const auto r = tx::ReadLoopFromMemory(image.data(), image.size(), loop);
        if (!r.Ok() || r.EndedEarly) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(loop.ChannelCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_ReadLargeLoopFromMemory)->Unit(benchmark::kMillisecond);

std::string TempPath(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/" + name + std::to_string(::getpid()) + ".txp";
}

// From the page cache: the file's bytes arrive in blocks.
void BM_ReadLargeLoopFromFile(benchmark::State& state) {
    const auto& image = LargeImage();
    const std::string path = TempPath("bench-read-");
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(image.data(), 1, image.size(), f);
        std::fclose(f);
    }
    tx::TLoop loop;
    for (auto _ : state) {
        const auto r = tx::ReadLoop(path, loop);
        if (!r.Ok() || r.EndedEarly) state.SkipWithError("read failed");
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_ReadLargeLoopFromFile)->Unit(benchmark::kMillisecond);

// The whole save: build, temporary file, fsync, rename (the fsync makes this
// depend on the disk).
void BM_WriteLargeLoopFile(benchmark::State& state) {
    tx::TLoop loop;
    FillLargeLoop(loop);
    const std::string path = TempPath("bench-write-");
    for (auto _ : state) {
        const auto r = tx::WriteLoopFile(path, loop);
        if (!r.Ok) state.SkipWithError(r.Reason.c_str());
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(LargeImage().size()));
}
BENCHMARK(BM_WriteLargeLoopFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-large") == 0) {
        tx::TLoop loop;
        FillLargeLoop(loop);
        const std::string err = tx::WriteLoop(argv[2], loop);
        if (!err.empty()) {
            std::fprintf(stderr, "bench_loopfile: %s\n", err.c_str());
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
