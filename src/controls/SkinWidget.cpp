#include "controls/SkinWidget.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <mutex>

namespace tx {

TSkinWidget::TSkinWidget(QWidget* parent) : QWidget(parent) { InstallSkinAccessibility(); }

void TSkinWidget::SetHint(const QString& hint) { hint_ = hint; }

QString TSkinWidget::LongHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString TSkinWidget::AccessibleName() const { return accessibleName().isEmpty() ? LongHint(hint_) : accessibleName(); }

int TSkinWidget::WholeScale(qreal devicePixelRatio) { return std::max(1, int(std::lround(devicePixelRatio))); }

void TSkinWidget::enterEvent(QEnterEvent* event) {
    if (!hint_.isEmpty()) emit HintShown(LongHint(hint_));
    QWidget::enterEvent(event);
}

void TSkinWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = painter.device()->devicePixelRatioF();
    const int scale = WholeScale(ratio);
    if (std::abs(ratio - scale) < 1e-6) {
        // The painter already scales by the whole ratio; only the sampling needs fixing.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        PaintSkin(painter);
        return;
    }
    // A fractional ratio: draw at the nearest whole factor and let that picture
    // stand for the widget, rather than smearing every bitmap separately.
    QImage buffer(size() * scale, QImage::Format_ARGB32_Premultiplied);
    buffer.setDevicePixelRatio(scale);
    buffer.fill(Qt::transparent);
    {
        QPainter bufferPainter(&buffer);
        bufferPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        PaintSkin(bufferPainter);
    }
    painter.drawImage(QRect(QPoint(0, 0), size()), buffer);
}

}  // namespace tx
