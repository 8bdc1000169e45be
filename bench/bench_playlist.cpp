// The playlist window with every cell of the 512 x 999 grid present: showing
// it, and scrolling one column at a time from the first pattern to the last,
// each frame painted at once. The figure to keep under 16 ms is the time per
// frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>

#include "dialogs/PlayListForm.h"
#include "model/Playlist.h"

namespace {

struct TFullPlaylist {
    tx::TPlayList list;
    tx::TPlaylistGridHost host;
    TFullPlaylist() {
        for (int pos = 0; pos < tx::PlayListPositions; ++pos)
            for (int p = 1; p < tx::PlaylistColumns; ++p) list.AppendUnchecked(pos, int16_t(p));
        host.CurrentPattern = [] { return 1; };
        host.SongPosition = [] { return 0; };
    }
};

TFullPlaylist& Full() {
    static TFullPlaylist full;
    return full;
}

void BM_PlaylistShow(benchmark::State& state) {
    for (auto _ : state) {
        tx::TPlayListForm form(Full().list, Full().host);
        form.resize(640, 480);
        form.show();
        form.repaint();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_PlaylistShow)->Unit(benchmark::kMillisecond);

// One iteration is one frame: the grid scrolls by one column and paints what
// the scroll left to paint, as the event loop does.
void BM_PlaylistScrollFrame(benchmark::State& state) {
    tx::TPlayListForm form(Full().list, Full().host);
    form.resize(640, 480);
    form.show();
    QApplication::processEvents();
    QScrollBar* bar = form.Grid()->horizontalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + tx::PlaylistCell);
        QApplication::processEvents();  // the scroll's blit and the new strip
    }
    state.counters["columns"] = double(bar->maximum() / tx::PlaylistCell);
}
BENCHMARK(BM_PlaylistScrollFrame)->Unit(benchmark::kMillisecond);

// A whole page scrolled per frame and the whole viewport painted: every
// visible cell is new (the worst frame).
void BM_PlaylistPageFrame(benchmark::State& state) {
    tx::TPlayListForm form(Full().list, Full().host);
    form.resize(640, 480);
    form.show();
    QApplication::processEvents();
    QScrollBar* bar = form.Grid()->horizontalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        form.Grid()->viewport()->repaint();
    }
}
BENCHMARK(BM_PlaylistPageFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
