#include "window/StepKnob.h"

#include <QApplication>
#include <QMouseEvent>

#include "desktop/StepRow.h"
#include "model/Loop.h"
#include "window/Techno16.h"

namespace tx {

TStepKnob::TStepKnob(TLoop& loop, TWAVWheel* knob, const TStepKnobHost& host, QObject* parent)
    : QObject(parent), loop_(loop), knob_(knob), host_(host), edit_(loop) {
    connect(knob, &TWAVWheel::Changed, this, &TStepKnob::KnobChanged);
    connect(knob, &TWAVWheel::Released, this, &TStepKnob::KnobReleased);
}

void TStepKnob::Press(TTechno16* grid, QPoint pos, Qt::MouseButton button) {
    const int ch = grid->Channel();
    // The knob drags with the left or right button only; any other press would never end.
    if (!knob_ || ch >= loop_.ChannelCount() || edit_.Active()) return;
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    if (!loop_.Channel(ch).Selected && host_.SelectAlone) host_.SelectAlone(ch);
    const int row = StepWheelRowAt(pos.y(), grid->ButtonTop);
    const int step = StepAt(pos.x());
    if (row < 0 || step < 0 || !grid->StepOn(step)) return;
    int mode = host_.WheelMode ? host_.WheelMode() : 0;
    if (mode == 0) {
        if (host_.SetWheelMode) host_.SetWheelMode(1);
        tempWheelMode_ = true;
        mode = 1;
    }
    knob_->SetMouseButton(tempWheelMode_ ? Qt::RightButton : Qt::LeftButton);
    if (!edit_.Begin(ch, row + (mode == 2 ? 2 : 0), step)) return;

    const QPoint rowTopLeft = grid->mapTo(knob_->parentWidget(), QPoint(0, 0));
    knob_->move(rowTopLeft.x() - 4 + step * StepCellWidth,
                rowTopLeft.y() + grid->ButtonTop - 4 + row * StepWheelSpacing);
    knob_->SetMax(edit_.Maximum());
    knob_->SetMoveSpeed(edit_.Maximum() / 4);
    knob_->SetValue(edit_.Value(), false);
    if (host_.ShowHint) host_.ShowHint("|" + QString::fromStdString(StepValueHint(edit_.Row(), edit_.Value())));
    knob_->raise();
    knob_->show();
    // The knob takes the press over: the drag that began on the step turns it
    // without a new click.
    const QPointF global = grid->mapToGlobal(QPointF(pos));
    QMouseEvent press(QEvent::MouseButtonPress, knob_->mapFromGlobal(global), global, button, button,
                      QApplication::keyboardModifiers());
    QApplication::sendEvent(knob_, &press);
}

bool TStepKnob::Forward(QMouseEvent* event) {
    if (!edit_.Active() || !knob_) return false;
    const QPointF global = event->globalPosition();
    QMouseEvent copy(event->type(), knob_->mapFromGlobal(global), global, event->button(), event->buttons(),
                     event->modifiers());
    QApplication::sendEvent(knob_, &copy);
    return true;
}

void TStepKnob::KnobChanged(int value) {
    if (!edit_.Active()) return;
    const bool line = host_.LineCursor && host_.LineCursor();
    const auto changed = edit_.Change(value, line);
    const bool wheelsShown = host_.WheelMode && host_.WheelMode() > 0;
    for (const auto& ref : changed) {
        if (wheelsShown && host_.Grid)
            if (TTechno16* g = host_.Grid(ref.Channel)) g->UpdateStep(ref.Step);
        if (host_.StepValueChanged) host_.StepValueChanged(ref.Channel, ref.Step);
    }
    if (host_.ShowHint) host_.ShowHint("|" + QString::fromStdString(StepValueHint(edit_.Row(), edit_.Value())));
}

void TStepKnob::KnobReleased() {
    if (!edit_.Active()) return;
    edit_.End();
    if (tempWheelMode_) {
        tempWheelMode_ = false;
        if (host_.SetWheelMode) host_.SetWheelMode(0);
    }
    if (knob_) knob_->hide();
}

}  // namespace tx
