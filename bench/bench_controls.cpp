// Painting every control of the gallery at scale 1 and 2 (goals: under 2 ms
// and under 6 ms for the whole set), and loading and applying the default
// style to a full set of main-window controls (goal: under 20 ms).
#include <benchmark/benchmark.h>

#include <QApplication>

#include "../tests/controls/ControlGallery.h"
#include "../tests/window/MainControls.h"
#include "window/StyleApplier.h"

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

void BM_ApplyDefaultStyle(benchmark::State& state) {
    const tx::TStyleData style = tx::LoadStyleData(DefaultSources());
    tx::test::TMainControls controls = tx::test::MakeMainControls(8);
    tx::TStyleImages images;
    for (auto _ : state) {
        tx::TStyleApplier applier(controls.Window.get(), images);
        applier.AddRoot(controls.Editor.get());
        benchmark::DoNotOptimize(applier.Apply(style));
    }
    state.counters["has_config"] = style.HasConfig ? 1 : 0;
}
BENCHMARK(BM_ApplyDefaultStyle)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_LoadAndApplyDefaultStyle(benchmark::State& state) {
    tx::test::TMainControls controls = tx::test::MakeMainControls(8);
    tx::TStyleImages images;
    for (auto _ : state) {
        const tx::TStyleData style = tx::LoadStyleData(DefaultSources());
        tx::TStyleApplier applier(controls.Window.get(), images);
        applier.AddRoot(controls.Editor.get());
        benchmark::DoNotOptimize(applier.Apply(style));
    }
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
