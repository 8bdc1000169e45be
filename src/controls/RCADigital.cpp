#include "controls/RCADigital.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace tx {

TRCADigital::TRCADigital(QWidget* parent) : TSkinWidget(parent) {}

void TRCADigital::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] { Fit(); });
}

void TRCADigital::SetValue(int value) {
    if (value == value_) return;
    value_ = value;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, value_);
        QAccessible::updateAccessibility(&event);
    }
}

void TRCADigital::SetAutoSize(bool on) {
    autoSize_ = on;
    Fit();
}

void TRCADigital::SetGap(int gap) {
    gap_ = gap;
    Fit();
}

void TRCADigital::SetFormatWidth(uint16_t places) {
    formatWidth_ = places;
    Fit();
}

void TRCADigital::Fit() {
    if (autoSize_ && imList_ && !imList_->IsEmpty())
        resize((imList_->FrameWidth() + gap_) * formatWidth_, imList_->FrameHeight());
    update();
}

std::vector<int> TRCADigital::DigitFrames(int value, int places) {
    std::vector<int> frames(std::max(places, 0));
    int v = value;
    for (int place = places - 1; place >= 0; --place) {
        const bool units = place == places - 1;
        frames[place] = v >= 1 ? v % 10 + 1 : (units ? 1 : 0);
        v /= 10;
    }
    return frames;
}

void TRCADigital::PaintSkin(QPainter& p) {
    if (!imList_ || imList_->IsEmpty()) return;
    const std::vector<int> frames = DigitFrames(value_, formatWidth_);
    int x = width();
    for (int place = int(frames.size()) - 1; place >= 0; --place) {
        x -= imList_->FrameWidth() + gap_;
        imList_->Draw(p, x, 0, frames[place]);
    }
}

}  // namespace tx
