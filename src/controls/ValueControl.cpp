#include "controls/ValueControl.h"

#include <QAccessible>
#include <QKeyEvent>
#include <algorithm>

namespace tx {

TValueControl::TValueControl(QWidget* parent) : TSkinWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

void TValueControl::SetRange(int min, int max) {
    min_ = std::min(min, max);
    max_ = std::max(min, max);
    const int clamped = std::clamp(value_, min_, max_);
    if (clamped != value_) {
        value_ = clamped;
        ValueChanged();
    }
}

bool TValueControl::SetValue(int v, bool notify) {
    v = std::clamp(v, min_, max_);
    if (v == value_) return false;
    value_ = v;
    ValueChanged();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, value_);
        QAccessible::updateAccessibility(&event);
    }
    if (notify) emit Changed(value_);
    return true;
}

void TValueControl::BeginDrag(int y, int speed) {
    startY_ = y;
    startValue_ = value_;
    curSpeed_ = speed;
}

int TValueControl::DragValue(int y) const {
    // 64-bit so a far drag at a high speed saturates instead of wrapping.
    const int64_t delta = int64_t(startY_) - y;
    const int64_t v = startValue_ + delta * curSpeed_ / 16;
    return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

std::optional<int> TValueControl::KeyTarget(int key) const {
    const int up = UpIncreases() ? 1 : -1;
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Right:
            return value_ + (key == Qt::Key_Up ? up : 1) * lineSize_;
        case Qt::Key_Down:
        case Qt::Key_Left:
            return value_ - (key == Qt::Key_Down ? up : 1) * lineSize_;
        case Qt::Key_PageUp:
            return value_ + up * pageSize_;
        case Qt::Key_PageDown:
            return value_ - up * pageSize_;
        case Qt::Key_Home:
            return min_;
        case Qt::Key_End:
            return max_;
        case Qt::Key_Insert:
            return (min_ + max_) / 2;
        default:
            return std::nullopt;
    }
}

void TValueControl::keyPressEvent(QKeyEvent* event) {
    if (auto target = KeyTarget(event->key())) {
        SetValue(*target, true);
        event->accept();
        return;
    }
    TSkinWidget::keyPressEvent(event);
}

void TValueControl::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() && KeyTarget(event->key())) {
        emit Released();
        event->accept();
        return;
    }
    TSkinWidget::keyReleaseEvent(event);
}

}  // namespace tx
