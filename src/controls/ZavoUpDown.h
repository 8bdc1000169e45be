#pragma once

#include <QPointer>

#include "controls/HoldRepeat.h"
#include "controls/ImageStrip.h"
#include "controls/ValueControl.h"

namespace tx {

// The up/down spinner: an up arrow, a grip to drag in the middle, a down arrow.
// Setting its value fires Changed whenever the value changes.
class TZavoUpDown : public TValueControl {
    Q_OBJECT
public:
    enum class Zone { None, Up, Grip, Down };
    static constexpr int GripHeight = 6;

    explicit TZavoUpDown(QWidget* parent = nullptr);

    void SetValueProperty(int v) { SetValue(v, true); }
    TImageStrip* ImList() const { return imList_; }
    void SetImList(TImageStrip* strip);

    int ZoneTop() const { return (height() - GripHeight) / 2; }
    Zone ZoneAt(int y) const;
    Zone PressedZone() const { return pressed_; }
    bool Repeating() const;
    QAccessible::Role AccessibleRole() const override { return QAccessible::SpinBox; }

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Repeat();

    QPointer<TImageStrip> imList_;
    THoldRepeat* repeat_ = nullptr;
    Zone pressed_ = Zone::None;
};

}  // namespace tx
