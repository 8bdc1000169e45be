#include "controls/WAVVolumeter.h"

#include <QPainter>
#include <algorithm>

namespace tx {

TWAVVolumeter::TWAVVolumeter(QWidget* parent) : TSkinWidget(parent) {}

void TWAVVolumeter::SetImList(TImageStrip* strip) {
    BindStrip(imList_, strip, [this] {
        if (imList_ && !imList_->IsEmpty()) resize(imList_->FrameWidth(), imList_->FrameHeight() * 2);
        update();
    });
}

void TWAVVolumeter::SetLevels(int left, int right) {
    if (left == left_ && right == right_) return;
    left_ = left;
    right_ = right;
    update();
}

int TWAVVolumeter::LitWidth(int level, int frameWidth) {
    level = std::clamp(level, 0, FullScale);
    if (level == FullScale) return frameWidth;
    const int64_t steps = (int64_t(level) * frameWidth + FullScale) / 98301;
    return int(std::min<int64_t>(steps * 3, frameWidth));
}

void TWAVVolumeter::PaintSkin(QPainter& p) {
    if (!imList_ || imList_->IsEmpty()) return;
    const int fw = imList_->FrameWidth(), fh = imList_->FrameHeight();
    const int levels[2] = {left_, right_};
    for (int bar = 0; bar < 2; ++bar) {
        const int y = bar * fh, lit = LitWidth(levels[bar], fw);
        // A zero source width would mean "to the edge" to QPainter: skip empty parts.
        if (lit < fw) p.drawPixmap(lit, y, imList_->Frame(0), lit, 0, fw - lit, fh);
        if (lit > 0) p.drawPixmap(0, y, imList_->Frame(1), 0, 0, lit, fh);
    }
}

}  // namespace tx
