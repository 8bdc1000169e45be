#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "controls/WAVWheel.h"
#include "model/StepValueEdit.h"

namespace tx {

class TLoop;
class TTechno16;

// What the per-step knob asks of the main window.
struct TStepKnobHost {
    std::function<int()> WheelMode;
    std::function<void(int)> SetWheelMode;
    std::function<void(int)> SelectAlone;
    std::function<bool()> LineCursor;  // Ctrl held: the "LINE" cursor is shown
    std::function<void(const QString&)> ShowHint;
    std::function<TTechno16*(int)> Grid;             // a channel's step row, or null
    std::function<void(int, int)> StepValueChanged;  // channel, step: for an open keyboard editor
};

// The floating knob `DotVolWheel` over one step's small wheel: opened by a
// press on a step row that does not paint, it takes over that press so the
// drag turns it at once, and it hides when the button is released. Window
// thread only.
class TStepKnob : public QObject {
    Q_OBJECT
public:
    TStepKnob(TLoop& loop, TWAVWheel* knob, const TStepKnobHost& host, QObject* parent = nullptr);

    // A press at `pos` (row coordinates) on `grid` that does not paint steps.
    void Press(TTechno16* grid, QPoint pos, Qt::MouseButton button);
    // The rest of that press (moves and the release, which the step row keeps
    // receiving) goes on to the knob; true when taken.
    bool Forward(QMouseEvent* event);
    bool Editing() const { return edit_.Active(); }
    TWAVWheel* Knob() const { return knob_; }

private:
    void KnobChanged(int value);
    void KnobReleased();

    TLoop& loop_;
    QPointer<TWAVWheel> knob_;
    TStepKnobHost host_;
    TStepValueEdit edit_;
    bool tempWheelMode_ = false;  // the wheels show only for this one edit
};

}  // namespace tx
