// Painting every control of the gallery at scale 1 and 2 (goals: under 2 ms
// and under 6 ms for the whole set), and loading and applying the default
// style to the main window with eight channels (goal: under 20 ms).
#include <benchmark/benchmark.h>

#include <QApplication>

#include "../tests/controls/ControlGallery.h"
#include "engine/EngineLock.h"
#include "model/Loop.h"
#include "window/MainForm.h"

namespace {

void BM_PaintGallery(benchmark::State& state) {
    auto gallery = tx::test::MakeControlGallery(tx::test::GalleryStyleFolder());
    const int scale = int(state.range(0));
    QImage image(gallery->Panel->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    for (auto _ : state) {
        gallery->Panel->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["controls"] = double(gallery->Panel->findChildren<QWidget*>().size());
    state.counters["style_art"] = gallery->FromStyle ? 1 : 0;
}
// Process CPU time: the raster engine may hand large fills to worker threads.
BENCHMARK(BM_PaintGallery)->Arg(1)->Arg(2)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

tx::TStyleSources DefaultSources() {
    const std::string folder = tx::test::GalleryStyleFolder().toStdString() + "/";
    return {folder, folder, {}};
}

// The program's main window with eight channel rows.
struct TMainWindow {
    TMainWindow() {
        loop.SetEngineLock(&lock);
        for (int i = loop.ChannelCount(); i < 8; ++i) loop.AddChannel();
        form = std::make_unique<tx::TTrovamixMainForm>(loop, nullptr);
    }
    tx::TEngineLock lock;
    tx::TLoop loop;
    std::unique_ptr<tx::TTrovamixMainForm> form;
};

void BM_ApplyDefaultStyle(benchmark::State& state) {
    const tx::TStyleData style = tx::LoadStyleData(DefaultSources());
    TMainWindow window;
    for (auto _ : state) window.form->ApplyStyle(style);
    state.counters["has_config"] = style.HasConfig ? 1 : 0;
}
BENCHMARK(BM_ApplyDefaultStyle)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_LoadAndApplyDefaultStyle(benchmark::State& state) {
    TMainWindow window;
    for (auto _ : state) window.form->ApplyStyle(tx::LoadStyleData(DefaultSources()));
}
BENCHMARK(BM_LoadAndApplyDefaultStyle)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
