#pragma once

#include <QPixmap>
#include <QPointer>

#include "controls/HoldRepeat.h"
#include "controls/ImageStrip.h"
#include "controls/ValueControl.h"

namespace tx {

class TTrackSlider;

// The slider's knob: a child that shows one frame of the knob strip and hands
// its mouse to the slider.
class TSliderKnob : public TSkinWidget {
    Q_OBJECT
public:
    explicit TSliderKnob(TTrackSlider* slider);
    int FrameShown() const;

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TTrackSlider* slider_;
};

// The slider (Position is the value). Without a background picture it draws a
// groove and tick marks; the style usually gives it a piece of its panel.
class TTrackSlider : public TValueControl {
    Q_OBJECT
public:
    enum class TickMark { Both, TopLeft, BottomRight };

    explicit TTrackSlider(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Vertical);

    int Position() const { return Value(); }
    void SetPosition(int v, bool notify) { SetValue(v, notify); }

    Qt::Orientation Orientation() const { return orientation_; }
    void SetOrientation(Qt::Orientation o);
    TickMark TickMarks() const { return tickMarks_; }
    void SetTickMarks(TickMark t) {
        tickMarks_ = t;
        update();
    }
    int Frequency() const { return frequency_; }
    void SetFrequency(int f) {
        frequency_ = f;
        update();
    }
    int nBigTicks() const { return bigTicks_; }
    void SetnBigTicks(int n) {
        bigTicks_ = n;
        update();
    }
    int SideGap() const { return sideGap_; }
    void SetSideGap(int gap);
    bool FocusOnClick() const { return focusOnClick_; }
    void SetFocusOnClick(bool on);
    bool CanGetFocus() const { return canGetFocus_; }
    void SetCanGetFocus(bool on);

    // Knob frames; without a strip the built-in "SKnob"/"SKnobH" look is used.
    TImageStrip* KnobIL() const { return knobIL_; }
    void SetKnobIL(TImageStrip* strip);
    const TImageStrip& KnobStrip() const;
    // The background picture (BackIL); an empty picture brings the groove back.
    void SetBackIL(const QPixmap& picture);
    const QPixmap& BackIL() const { return back_; }

    int KnobSize() const;
    int TrackLength() const;
    int TrackStart() const;
    // Leading edge of the knob along the track for the current position.
    int KnobOffset() const;
    // Position for a knob whose leading edge lies at `edge`.
    int PositionForKnobEdge(int edge) const;
    TSliderKnob* Knob() const { return knob_; }
    bool KnobPressed() const { return knobPressed_; }
    // Tick positions along the track and whether each is a long one.
    std::vector<std::pair<int, bool>> Ticks() const;

    QAccessible::Role AccessibleRole() const override { return QAccessible::Slider; }

protected:
    bool UpIncreases() const override { return false; }
    void ValueChanged() override;
    void PaintSkin(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend class TSliderKnob;
    int Along(const QPointF& p) const;
    void PlaceKnob();
    void PageTowards();
    void KnobPress(QMouseEvent* event);
    void KnobMove(QMouseEvent* event);
    void KnobRelease(QMouseEvent* event);

    Qt::Orientation orientation_;
    TickMark tickMarks_ = TickMark::BottomRight;
    int frequency_ = 1, bigTicks_ = 0, sideGap_ = 0;
    bool focusOnClick_ = true, canGetFocus_ = true;
    QPointer<TImageStrip> knobIL_;
    QPixmap back_;
    TSliderKnob* knob_;
    bool knobPressed_ = false;
    int grabOffset_ = 0;
    THoldRepeat* repeat_ = nullptr;
    int pageTarget_ = 0;  // the point (along the track) the page repeat heads for
};

}  // namespace tx
