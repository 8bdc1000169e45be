// A per-step knob turned with Ctrl held on 16 selected channels of a
// 99-channel loop: the change of 256 values and the repaint of the rows it
// touches (goal: under one frame, 16 ms, per mouse move).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "engine/Engine.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/MainForm.h"

namespace {

void BM_StepKnobLineDrag(benchmark::State& state) {
    tx::TLoop loop;
    tx::TEngineLock lock;
    loop.SetEngineLock(&lock);
    tx::TSettings settings;
    tx::TEngine engine{loop, lock, settings};
    while (loop.ChannelCount() < 99) loop.AddChannel();
    for (int ch = 0; ch < 99; ++ch)
        for (int s = 0; s < 16; ++s) loop.SetStep(ch, loop.CurrentPattern, s, true);
    tx::TTrovamixMainForm form(loop, &engine);
    form.ApplyStyle(tx::LoadStyleData({"", "", tx::FindEmbeddedStyleFile}));
    form.SetAutoMaximize(true);
    form.FitHeight();
    form.show();
    QApplication::processEvents();
    form.SelectAlone(0);
    for (int ch = 1; ch < 16; ++ch) loop.Channel(ch).Selected = true;
    form.SetWheelMode(1);
    QApplication::processEvents();

    tx::TTechno16* grid = form.Row(0)->TechnoGrid;
    const QPointF at(8, grid->ButtonTop + 20);  // step 0's volume wheel
    auto send = [&](QEvent::Type type, QPointF p, Qt::MouseButtons held) {
        QMouseEvent e(type, p, grid->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(grid, &e);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(&form, &ctrl);
    if (!form.LineCursorShown() || !form.StepKnob()->Editing()) {
        state.SkipWithError("the knob did not open with the line cursor");
        return;
    }
    int dy = 0;
    for (auto _ : state) {
        dy = dy == 0 ? 10 : 0;  // up by ten pixels and back: every value moves each time
        send(QEvent::MouseMove, at - QPointF(0, dy), Qt::LeftButton);
        QApplication::processEvents();  // the repaint of what changed
    }
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    state.counters["channels"] = loop.ChannelCount();
}
BENCHMARK(BM_StepKnobLineDrag)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
