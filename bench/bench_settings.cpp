// The settings store: the whole store read and written, in memory and
// through the file (written safely, with its sync and rename).
//
// usage: bench_settings [benchmark options]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "desktop/DesktopSettings.h"

namespace {

namespace fs = std::filesystem;

// Every value of the store set: five recent files, five tools, ten favourites.
tx::TDesktopSettings fullSettings() {
    tx::TDesktopSettings s;
    s.Favorites.emplace();
    for (int i = 0; i < 10; ++i) s.Favorites->push_back("/home/someone/Samples/Favourite folder " + std::to_string(i));
    for (int i = 0; i < 5; ++i) {
        s.RecentFiles[size_t(i)] = "/home/someone/Loops/loop number " + std::to_string(i) + ".txp";
        s.Tools[size_t(i)] = {"Tool " + std::to_string(i), "/usr/bin/tool" + std::to_string(i), 9};
    }
    s.Style = 2;
    s.PlayListPlacement = {10, 20, 300, 400};
    return s;
}

void BM_SettingsInMemory(benchmark::State& state) {
    const std::string text = tx::SaveDesktopSettings(fullSettings(), {}).Text();
    for (auto _ : state) {
        const tx::TSettingsStore store = tx::TSettingsStore::Parse(text);
        const tx::TDesktopSettings s = tx::LoadDesktopSettings(store);
        benchmark::DoNotOptimize(tx::SaveDesktopSettings(s, store).Text());
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_SettingsInMemory)->Unit(benchmark::kMicrosecond);

// Through the file: state.range(0) 0 reads (load and parse), 1 writes (build
// and save safely: temporary file, sync, rename, folder sync).
void BM_SettingsFile(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("trovamix-bench-settings-" + std::to_string(::getpid()));
    const std::string path = (dir / "Trovamix.ini").string();
    const tx::TDesktopSettings full = fullSettings();
    std::string error = tx::SaveDesktopSettings(full, {}).SaveFile(path);
    const tx::TSettingsStore previous = tx::TSettingsStore::LoadFile(path);
    for (auto _ : state) {
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(tx::LoadDesktopSettings(tx::TSettingsStore::LoadFile(path)));
        else
            error = tx::SaveDesktopSettings(full, previous).SaveFile(path);
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.SetLabel(state.range(0) == 0 ? "read" : "write");
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_SettingsFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
