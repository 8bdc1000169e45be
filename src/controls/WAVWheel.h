#pragma once

#include <QMenu>
#include <QPointer>

#include "controls/ImageStrip.h"
#include "controls/ValueControl.h"

namespace tx {

// The rotary knob: a strip of frames picked by value, dragged vertically.
// The other mouse button drags at a third of the speed (the fine mode).
class TWAVWheel : public TValueControl {
    Q_OBJECT
public:
    explicit TWAVWheel(QWidget* parent = nullptr);

    TImageStrip* WheelIL() const { return wheelIL_; }
    void SetWheelIL(TImageStrip* strip);
    // The property setter: clamps, never fires Changed.
    void SetValueProperty(int v) { SetValue(v, false); }
    void SetMax(int max) { SetRange(0, max); }
    Qt::MouseButton MouseButton() const { return mouseButton_; }
    void SetMouseButton(Qt::MouseButton button) { mouseButton_ = button; }
    bool Border() const { return border_; }
    void SetBorder(bool border);
    QMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }

    int FrameShown() const;
    QAccessible::Role AccessibleRole() const override { return QAccessible::Dial; }

protected:
    void PaintSkin(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FitToStrip();

    QPointer<TImageStrip> wheelIL_;
    QPointer<QMenu> popupMenu_;
    Qt::MouseButton mouseButton_ = Qt::LeftButton;
    bool border_ = true;
};

}  // namespace tx
