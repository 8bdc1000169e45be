#pragma once

#include <QPixmap>
#include <functional>

#include "controls/SkinWidget.h"

namespace tx {

// The wallpaper panel: a container that tiles its picture from (0, 0). Every
// panel of the main window is one, so a style restyles them by wallpaper.
class TWPControl : public TSkinWidget {
    Q_OBJECT
public:
    explicit TWPControl(QWidget* parent = nullptr);

    const QPixmap& Wallpaper() const { return wallpaper_; }
    void SetWallpaper(const QPixmap& picture);
    // Paint the tiled wallpaper through one off-screen copy of the client
    // area, so a resize never shows half-drawn tiles.
    bool NoFlicker() const { return noFlicker_; }
    void SetNoFlicker(bool on);
    // Replaces the wallpaper drawing.
    std::function<void(QPainter&)> OnPaint;

signals:
    void Moved();
    void Resized();

protected:
    void PaintSkin(QPainter& painter) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Tile(QPainter& painter, const QSize& area) const;

    QPixmap wallpaper_;
    bool noFlicker_ = false;
    QPixmap cache_;  // the tiled client area, when NoFlicker is set
};

}  // namespace tx
