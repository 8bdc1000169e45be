#pragma once

#include <functional>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"
#include "desktop/StepRow.h"

namespace tx {

class TLoop;

// What a step row asks of the main window that owns it.
struct TStepRowHost {
    std::function<int()> WheelMode;
    std::function<bool()> BothButtons;            // "&Use both mouse buttons"
    std::function<bool()> CurrentPatternPlaying;  // the current pattern is one being played
    std::function<void(int)> SelectAlone;         // channel
    std::function<void(int, int, bool)> StepSet;  // channel, step, on: after the loop changed
    // A press that does not paint: the per-step knob's business (channel, x, y, button).
    std::function<void(int, int, int, Qt::MouseButton)> WheelPress;
    // The moves and the release of that press, while the knob it opened is
    // turned; true when taken.
    std::function<bool(QMouseEvent*)> WheelMouse;
};

// One channel's row of sixteen step buttons with its position leds. Draws
// from "NoteBtn.bmp" and "PosLed.bmp" (and "SmallWheel.bmp" for the per-step
// wheels); paints steps on and off with the mouse. Window thread only.
class TTechno16 : public TSkinWidget {
    Q_OBJECT
public:
    TTechno16(TLoop& loop, int channel, const TStepRowHost& host, QWidget* parent = nullptr);

    void SetStrips(TImageStrip* noteBtn, TImageStrip* posLed, TImageStrip* smallWheel);
    int Channel() const { return channel_; }
    void SetChannel(int channel) { channel_ = channel; }
    QString ListName() const;

    int ButtonTop = 0;  // 0 or 19
    int LedTop = 0;     // 0 or 27
    int LedStep() const { return ledStep_; }
    // Moves the lit led (-1 clears it); repaints only the two leds involved.
    void SetLedStep(int step);
    bool ShowsLeds() const { return height() >= 46; }
    bool StepOn(int step) const;
    void ToggleStep(int step);                               // for keyboard and accessibility
    void UpdateStep(int step) { update(ButtonRect(step)); }  // its button and wheels

    QAccessible::Role AccessibleRole() const override { return QAccessible::Grouping; }
    QString AccessibleName() const override { return ListName() + " steps"; }

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PaintAt(int x, Qt::MouseButtons held);
    void SetStep(int step, bool on);
    QRect ButtonRect(int step) const;
    QRect LedRect(int step) const;

    TLoop& loop_;
    int channel_;
    TStepRowHost host_;
    TImageStrip* noteBtn_ = nullptr;
    TImageStrip* posLed_ = nullptr;
    TImageStrip* smallWheel_ = nullptr;
    TStepPaint paint_;
    int ledStep_ = -1, prevLedStep_ = -1;
};

// Accessible interfaces of the step rows ("Step 1".."Step 16", checkable) and
// the channel row groups; installed once.
void InstallStepRowAccessibility();

}  // namespace tx
