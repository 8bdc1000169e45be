#include "controls/WAVScope.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace tx {

TWAVScope::TWAVScope(QWidget* parent) : TSkinWidget(parent) {}

void TWAVScope::SetData(const int16_t* frames, int frameCount) {
    data_ = frames;
    count_ = frames ? std::max(frameCount, 0) : 0;
    update();
}

QColor TWAVScope::GridColor(const QColor& back) {
    // Adding 0x101010 to the packed colour would carry a bright byte into its
    // neighbour (a red cast on a white scope); each byte saturates instead.
    auto up = [](int c) { return std::min(c + 16, 255); };
    return QColor(up(back.red()), up(back.green()), up(back.blue()));
}

int TWAVScope::ColumnValue(const int16_t* frames, int count, int x, int width, int half) {
    const int64_t i = int64_t(count) * x / (width + 1);
    const int sum = frames[2 * i] + frames[2 * i + 1];
    return int(int64_t(sum) * half / 65536);
}

void TWAVScope::PaintSkin(QPainter& p) {
    const int w = width(), h = height();
    const int half = h / 2;
    if (!background_.isNull()) {
        p.drawPixmap(0, 0, background_);
    } else {
        p.fillRect(rect(), backColor_);
        p.setPen(GridColor(backColor_));
        for (int k = -3; k <= 3; ++k)
            if (k != 0) p.drawLine(0, half + half * k / 4, w - 1, half + half * k / 4);
        for (int k = 0; k <= 32; ++k) p.drawLine((w - 1) * k / 32, 0, (w - 1) * k / 32, h - 1);
        p.setPen(centerColor_);
        p.drawLine(0, half, w - 1, half);
    }
    if (!HasData()) return;
    p.setPen(lineColor_);
    switch (style_) {
        case Lines: {
            QPolygon line(w + 1);
            for (int x = 0; x <= w; ++x) line[x] = QPoint(x, half - ColumnValue(data_, count_, x, w, half));
            p.drawPolyline(line);
            break;
        }
        case Dots:
            for (int x = 0; x < w; ++x) p.drawPoint(x, half - ColumnValue(data_, count_, x, w, half));
            break;
        case Bars:
            for (int x = 0; x < w; ++x) {
                const int d = ColumnValue(data_, count_, x, w, half);
                p.drawLine(x, half, x, half - (d < 0 ? d - 1 : d + 1));
            }
            break;
        default:
            break;
    }
}

void TWAVScope::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Clicked();
}

}  // namespace tx
