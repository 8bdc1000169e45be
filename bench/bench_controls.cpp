// Painting every control of the gallery at scale 1 and 2 (goals: under 2 ms
// and under 6 ms for the whole set).
#include <benchmark/benchmark.h>

#include <QApplication>

#include "../tests/controls/ControlGallery.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
