#include "controls/WAVWheel.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace tx {

namespace {
const QColor kShadow(128, 128, 128);
}

TWAVWheel::TWAVWheel(QWidget* parent) : TValueControl(parent) {
    SetRange(0, 127);
    SetMoveSpeed(32);
    resize(29, 29);
}

void TWAVWheel::SetWheelIL(TImageStrip* strip) {
    BindStrip(wheelIL_, strip, [this] { FitToStrip(); });
}

void TWAVWheel::SetBorder(bool border) {
    border_ = border;
    FitToStrip();
}

void TWAVWheel::FitToStrip() {
    if (wheelIL_ && !wheelIL_->IsEmpty()) {
        const int extra = border_ ? 1 : 0;
        resize(wheelIL_->FrameWidth() + extra, wheelIL_->FrameHeight() + extra);
    }
    update();
}

int TWAVWheel::FrameShown() const { return KnobFrame(Value(), Max(), wheelIL_ ? wheelIL_->Count() : 0); }

void TWAVWheel::PaintSkin(QPainter& painter) {
    int w = width(), h = height();
    if (wheelIL_ && !wheelIL_->IsEmpty()) {
        wheelIL_->Draw(painter, 0, 0, FrameShown());
        w = wheelIL_->FrameWidth();
        h = wheelIL_->FrameHeight();
    } else {
        // No strip: a plain drawn knob so the control stays usable.
        const int side = std::min(width(), height()) - (border_ ? 2 : 1);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(70, 74, 82));
        painter.setPen(QColor(150, 156, 166));
        painter.drawEllipse(QRectF(0.5, 0.5, side, side));
        const double turn = Max() > 0 ? double(Value()) / Max() : 0.0;
        const double angle = (225.0 - 270.0 * turn) * M_PI / 180.0;
        const QPointF centre(0.5 + side / 2.0, 0.5 + side / 2.0);
        painter.setPen(QPen(QColor(240, 200, 90), 2));
        painter.drawLine(centre, centre + QPointF(std::cos(angle), -std::sin(angle)) * (side / 2.0 - 2));
        painter.setRenderHint(QPainter::Antialiasing, false);
        w = h = side + 1;
    }
    if (border_) {
        // Rectangles, not lines, so the shadow scales pixel for pixel with the frame.
        painter.fillRect(QRect(w, 1, 1, h), kShadow);
        painter.fillRect(QRect(1, h, w - 1, 1), kShadow);
    }
}

void TWAVWheel::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button == Qt::MiddleButton || (button == Qt::RightButton && popupMenu_)) {
        if (button == Qt::RightButton) popupMenu_->popup(event->globalPosition().toPoint());
        return;
    }
    setFocus(Qt::MouseFocusReason);
    BeginDrag(int(event->position().y()), button == mouseButton_ ? MoveSpeed() : MoveSpeed() / 3);
}

void TWAVWheel::mouseMoveEvent(QMouseEvent* event) {
    if (Dragging()) SetValue(DragValue(int(event->position().y())), true);
}

void TWAVWheel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) return;
    if (Dragging()) {
        EndDrag();
        emit Released();
    }
}

}  // namespace tx
