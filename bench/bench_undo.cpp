// Undo and redo on the largest loop: 99 channels with all 999 patterns in
// use. A single step must undo or redo in well under 10 ms, and 200 steps of
// ordinary editing must keep the history under 20 MB.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>

#include "model/Editing.h"
#include "model/Undo.h"

using namespace tx;

namespace {

std::unique_ptr<TLoop> bigLoop() {
    auto loop = std::make_unique<TLoop>();
    while (loop->ChannelCount() < 99) loop->AddChannel();
    for (int c = 0; c < 99; ++c)
        for (int p = 1; p <= MaxPattern; ++p) {
            PatternRecord& r = loop->Channel(c).Pattern(p);
            r.SetStep((c + p) % 16, true);
            r.SetValue(RowVolume, (c * p) % 16, uint8_t(p % 128));
        }
    loop->CurrentPattern = 500;
    return loop;
}

// What a musician does in 200 gestures: clicks on steps, knob drags over a
// step's values, a Ctrl drag over 16 channels, channel settings, paste on 16
// channels, and now and then a channel inserted or deleted.
void ordinaryEditing(TLoop& loop, int steps, TEditRandom& rng) {
    TRowClipboard clip;
    for (int i = 0; i < steps; ++i) {
        const int ch = int(rng() % 99);
        switch (i % 10) {
            case 0:
            case 1:
            case 2:
                loop.SetStep(ch, loop.CurrentPattern, i % 16, !loop.GetStep(ch, loop.CurrentPattern, i % 16));
                break;
            case 3: {
                TLoopGesture g(loop, "vol");
                for (int v = 0; v < 60; ++v) loop.SetStepValue(ch, loop.CurrentPattern, RowVolume, i % 16, uint8_t(v));
                break;
            }
            case 4: {
                TLoopGesture g(loop, "pan");
                for (int v = 0; v < 60; ++v)
                    for (int c = 0; c < 16; ++c)
                        for (int s = 0; s < 16; ++s) loop.SetStepValue(c, loop.CurrentPattern, RowPan, s, uint8_t(v));
                break;
            }
            case 5: {
                TLoopGesture g(loop, "knob");
                for (int v = 0; v < 60; ++v) {
                    loop.TouchChannel(ch);
                    loop.Channel(ch).DelayFeed = v;
                }
                break;
            }
            case 6:
                for (int c = 0; c < loop.ChannelCount(); ++c) loop.Channel(c).Selected = c < 16;
                CopyRows(loop, clip);
                loop.TouchValues();
                loop.CurrentPattern = 1 + int(rng() % 999);
                PasteRows(loop, clip);
                break;
            case 7:
                ShiftRows(loop, 1);
                break;
            case 8:
                loop.TouchValues();
                loop.Tempo = 60 + int(rng() % 200);
                break;
            case 9:
                if (i % 40 == 9)
                    loop.InsertChannel(ch);
                else if (i % 40 == 29)
                    loop.DeleteChannel(ch);
                else
                    HumanizeRows(loop, THumanize{}, rng);
                break;
        }
    }
}

void BM_UndoRedoOneStep(benchmark::State& state) {
    auto loop = bigLoop();
    TUndoHistory history(*loop);
    TEditRandom rng(7);
    ordinaryEditing(*loop, 200, rng);
    // The worst single step, in wall time and in this thread's CPU time (the
    // shared build machine may hold the thread off the CPU in between).
    double worst = 0, worstCpu = 0;
    auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
    };
    auto timed = [&](auto&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuNow();
        f();
        worstCpu = std::max(worstCpu, cpuNow() - c0);
        worst =
            std::max(worst, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    };
    bool back = true;
    for (auto _ : state) {
        // Walks back and forth over the whole history: each iteration is one
        // single-step undo or redo, of every kind the editing made.
        if (back && !history.CanUndo()) back = false;
        if (!back && !history.CanRedo()) back = true;
        if (back)
            timed([&] { history.Undo(); });
        else
            timed([&] { history.Redo(); });
    }
    state.counters["worst_us"] = worst;
    state.counters["worst_cpu_us"] = worstCpu;
    state.counters["history_MB"] = double(history.Bytes()) / (1 << 20);
}
BENCHMARK(BM_UndoRedoOneStep)->Unit(benchmark::kMicrosecond);

void BM_UndoDeletedChannel(benchmark::State& state) {
    auto loop = bigLoop();
    TUndoHistory history(*loop);
    loop->DeleteChannel(50);
    for (auto _ : state) {
        history.Undo();
        history.Redo();
    }
}
BENCHMARK(BM_UndoDeletedChannel)->Unit(benchmark::kMicrosecond);

void BM_HistoryOf200Steps(benchmark::State& state) {
    auto loop = bigLoop();
    for (auto _ : state) {
        TUndoHistory history(*loop);
        TEditRandom rng(11);
        ordinaryEditing(*loop, 200, rng);
        state.counters["steps"] = double(history.UndoSteps());
        state.counters["history_MB"] = double(history.Bytes()) / (1 << 20);
    }
}
BENCHMARK(BM_HistoryOf200Steps)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
