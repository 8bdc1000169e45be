#include "controls/Numpad.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tx {

TNumpad::TNumpad(QWidget* parent) : TSkinWidget(parent) {}

void TNumpad::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] {
        if (imList_ && !imList_->IsEmpty()) resize(imList_->FrameSize());
        update();
    });
}

void TNumpad::SetValue(int value) {
    if (value == value_) return;
    value_ = value;
    update();
}

int TNumpad::KeyAt(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    const int column = std::clamp(3 * x / width, 0, 2);
    const int row = std::clamp(3 * y / height, 0, 2);
    return column + 7 - 3 * row;
}

void TNumpad::PaintSkin(QPainter& p) {
    if (imList_) imList_->Draw(p, 0, 0, value_ >= 1 && value_ <= 9 ? value_ : 0);
}

void TNumpad::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    SetValue(KeyAt(at.x(), at.y(), width(), height()));
    emit Clicked(value_);
}

}  // namespace tx
