// Loading a whole style folder: decode every bitmap, cut the strips, parse
// "config.txt" (the Qt-free half of a style change; applying it to widgets
// is measured with the controls). The folder is the built Default style
// beside the binaries when it exists, else a generated one of the same sizes.
//
// usage: bench_style [benchmark options]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "StyleFolder.h"
#include "skin/Style.h"

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

}  // namespace

BENCHMARK_MAIN();
