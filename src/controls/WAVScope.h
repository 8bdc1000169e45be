#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <cstdint>

#include "controls/ImageStrip.h"
#include "controls/SkinWidget.h"

namespace tx {

// The oscilloscope: a grid (or the style's background picture) and the sum of
// a block of 16-bit stereo frames as lines, dots or bars.
class TWAVScope : public TSkinWidget {
    Q_OBJECT
public:
    enum Styles { Lines = 0, Dots = 1, Bars = 2 };

    explicit TWAVScope(QWidget* parent = nullptr);

    QColor BackColor() const { return backColor_; }
    void SetBackColor(const QColor& c) {
        backColor_ = c;
        update();
    }
    QColor CenterColor() const { return centerColor_; }
    void SetCenterColor(const QColor& c) {
        centerColor_ = c;
        update();
    }
    QColor LineColor() const { return lineColor_; }
    void SetLineColor(const QColor& c) {
        lineColor_ = c;
        update();
    }
    int Style() const { return style_; }
    void SetStyle(int style) {
        style_ = style;
        update();
    }
    void SetBackground(const QPixmap& picture) {
        background_ = picture;
        update();
    }
    const QPixmap& Background() const { return background_; }

    // Interleaved left/right frames, not owned; they must outlive the next paint.
    void SetData(const int16_t* frames, int frameCount);
    void ClearData() { SetData(nullptr, 0); }
    bool HasData() const { return data_ && count_ > 0; }

    // The grid's colour: each of red, green and blue raised by 16, stopping at 255.
    static QColor GridColor(const QColor& back);
    // The column value d of column x: ((left + right) x half) / 65536 of frame
    // (count x x) / (width + 1).
    static int ColumnValue(const int16_t* frames, int count, int x, int width, int half);

signals:
    void Clicked();

protected:
    void PaintSkin(QPainter& painter) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QColor backColor_{0, 0, 0}, centerColor_{128, 128, 128}, lineColor_{255, 255, 255};
    int style_ = Lines;
    QPixmap background_;
    const int16_t* data_ = nullptr;
    int count_ = 0;
};
}  // namespace tx
