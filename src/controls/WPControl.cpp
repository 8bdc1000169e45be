#include "controls/WPControl.h"

#include <QPainter>

namespace tx {

TWPControl::TWPControl(QWidget* parent) : TSkinWidget(parent) {}

void TWPControl::SetWallpaper(const QPixmap& picture) {
    wallpaper_ = picture;
    cache_ = {};
    update();
}

void TWPControl::SetNoFlicker(bool on) {
    noFlicker_ = on;
    cache_ = {};
    update();
}

void TWPControl::Tile(QPainter& p, const QSize& area) const {
    const int w = wallpaper_.width(), h = wallpaper_.height();
    for (int y = 0; y < area.height(); y += h)
        for (int x = 0; x < area.width(); x += w) p.drawPixmap(x, y, wallpaper_);
}

void TWPControl::PaintSkin(QPainter& p) {
    if (OnPaint) {
        OnPaint(p);
        return;
    }
    if (wallpaper_.isNull() || wallpaper_.width() <= 0 || wallpaper_.height() <= 0) return;
    if (!noFlicker_) {
        Tile(p, size());
        return;
    }
    if (cache_.size() != size()) {
        cache_ = QPixmap(size());
        QPainter cp(&cache_);
        Tile(cp, size());
    }
    p.drawPixmap(0, 0, cache_);
}

void TWPControl::moveEvent(QMoveEvent* event) {
    TSkinWidget::moveEvent(event);
    emit Moved();
}

void TWPControl::resizeEvent(QResizeEvent* event) {
    TSkinWidget::resizeEvent(event);
    emit Resized();
}

}  // namespace tx
