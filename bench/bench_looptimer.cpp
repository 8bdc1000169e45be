// Jitter of the "Midi only" step timer: 30 s at 140 BPM (a tick every 107 ms),
// each tick's lateness against the ideal grid (enable time + n x interval).
// Reports the median and the worst lateness and the ticks skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "midi/LoopTimer.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_LoopTimerJitter(benchmark::State& state) {
    const int seconds = int(state.range(0));
    std::vector<double> lateUs;
    for (auto _ : state) {
        std::mutex m;
        std::vector<Clock::time_point> ticks;
        ticks.reserve(size_t(seconds) * 10 + 16);
        tx::TLoopTimer timer([&] {
            Clock::time_point now = Clock::now();
            std::lock_guard<std::mutex> g(m);
            ticks.push_back(now);
        });
        timer.SetTempo(140);
        timer.SetEnabled(true);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        timer.SetEnabled(false);
        const Clock::time_point anchor = timer.Anchor();
        const auto interval = std::chrono::milliseconds(timer.Interval());
        std::lock_guard<std::mutex> g(m);
        // Each tick belongs to the grid point at or before it (skipped ticks leave gaps).
        for (Clock::time_point t : ticks) {
            int64_t n = (t - anchor) / interval;
            lateUs.push_back(std::chrono::duration<double, std::micro>(t - (anchor + interval * n)).count());
        }
        state.counters["ticks"] = double(ticks.size());
        state.counters["skipped"] = double(timer.SkippedTicks());
    }
    std::sort(lateUs.begin(), lateUs.end());
    state.counters["median_us"] = lateUs.empty() ? 0 : lateUs[lateUs.size() / 2];
    state.counters["p99_us"] = lateUs.empty() ? 0 : lateUs[lateUs.size() * 99 / 100];
    state.counters["worst_us"] = lateUs.empty() ? 0 : lateUs.back();
}
BENCHMARK(BM_LoopTimerJitter)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
