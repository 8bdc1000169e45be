// Loading a whole style folder: decode every bitmap, cut the strips, parse
// "config.txt" (the Qt-free half of a style change; applying it to widgets
// is measured with the controls). The folder is the built Default style
// beside the binaries when it exists, else a generated one of the same sizes.
// Also the settings store: the whole store read and written, in memory and
// through the file (written safely, with its sync and rename).
//
// usage: bench_style [benchmark options]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "StyleFolder.h"
#include "shell/core/ShellSettings.h"
#include "shell/core/Style.h"

namespace {

namespace fs = std::filesystem;

const char* const kConfig =
    "Hint=|Ready\nMenuSep=40,86,150,196,260,310,355\nTitleFont=DejaVu Sans,$E0E0E0,-12\n"
    "HintFont=DejaVu Sans,$C0C0C0,-11\nScopeCol=$40FF80\nSampleScopeCol=0,$404040,$FFFFFF\n"
    "GraphCol=$FF8040,$40FF80,$4080FF,$FFFF40\nDefHole=0,0,6,0,0,6\nDefHole=394,0,400,0,400,6\n"
    "ChanBtns=4,4,24,6,40,4,106,6,124,0\nStartButton=10,60\nLoopButton=36,60\nScopeButton=62,60\n"
    "MixScope=8,8,120,44\nMixVolumeter=8,54\nPatNumDig=140,10\nPatUpDown=178,6\nPatPad=200,6\n"
    "BPMDig=140,50\nBPMUpDown=178,46\nFXVolBtn=250,10\nFXPitchBtn=274,10\nFXDrawBtn=250,32\n"
    "FXNoteBtn=274,32\nMainVolSlider=310,4,20,88\nShuffleSlider=330,4,20,88\nMainPitchSlider=350,4,20,88\n"
    "MainResoSlider=370,4,20,88\nMainCutOffSlider=390,4,20,88\nInfoLabel=4,1,392,14\n";

class TStyleFixture {
public:
    TStyleFixture() {
        const fs::path built = fs::path(TROVAMIX_BINARY_DIR) / "Styles" / "Default";
        if (fs::is_regular_file(built / "MenuBack.bmp")) {
            folder_ = built.string() + "/";
            label_ = "built Default style";
        } else {
            temp_ = fs::temp_directory_path() / ("trovamix-bench-style-" + std::to_string(::getpid()));
            txtest::WriteStyleFolder(temp_, 0x303840, kConfig);
            folder_ = temp_.string() + "/";
            label_ = "generated style";
        }
    }
    ~TStyleFixture() {
        std::error_code ec;
        if (!temp_.empty()) fs::remove_all(temp_, ec);
    }
    const std::string& Folder() const { return folder_; }
    const std::string& Label() const { return label_; }

private:
    fs::path temp_;
    std::string folder_, label_;
};

TStyleFixture& fixture() {
    static TStyleFixture f;
    return f;
}

void BM_LoadStyleFolder(benchmark::State& state) {
    const tx::TStyleSources sources{fixture().Folder(), "", nullptr};
    size_t pixels = 0;
    for (auto _ : state) {
        tx::TStyleData style = tx::LoadStyleData(sources);
        benchmark::DoNotOptimize(style);
        pixels = 0;
        for (const tx::TStyleItem& item : style.Items) pixels += size_t(item.SourceWidth) * item.SourceHeight;
    }
    state.SetLabel(fixture().Label());
    state.counters["pixels"] = double(pixels);
}
BENCHMARK(BM_LoadStyleFolder)->Unit(benchmark::kMillisecond);

void BM_ParseStyleConfig(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(tx::ParseStyleConfig(kConfig));
}
BENCHMARK(BM_ParseStyleConfig)->Unit(benchmark::kMicrosecond);

// Every value of the store set: five recent files, five tools, ten favourites.
tx::TShellSettings fullSettings() {
    tx::TShellSettings s;
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
    const std::string text = tx::SaveShellSettings(fullSettings(), {}).Text();
    for (auto _ : state) {
        const tx::TSettingsStore store = tx::TSettingsStore::Parse(text);
        const tx::TShellSettings s = tx::LoadShellSettings(store);
        benchmark::DoNotOptimize(tx::SaveShellSettings(s, store).Text());
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_SettingsInMemory)->Unit(benchmark::kMicrosecond);

// Through the file: state.range(0) 0 reads (load and parse), 1 writes (build
// and save safely: temporary file, sync, rename, folder sync).
void BM_SettingsFile(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("trovamix-bench-settings-" + std::to_string(::getpid()));
    const std::string path = (dir / "Trovamix.ini").string();
    const tx::TShellSettings full = fullSettings();
    std::string error = tx::SaveShellSettings(full, {}).SaveFile(path);
    const tx::TSettingsStore previous = tx::TSettingsStore::LoadFile(path);
    for (auto _ : state) {
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(tx::LoadShellSettings(tx::TSettingsStore::LoadFile(path)));
        else
            error = tx::SaveShellSettings(full, previous).SaveFile(path);
    }
    if (!error.empty()) state.SkipWithError(error.c_str());
    state.SetLabel(state.range(0) == 0 ? "read" : "write");
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_SettingsFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
