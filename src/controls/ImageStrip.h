#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QVector>

#include "skin/Bitmap.h"
#include "skin/Strip.h"

class QPainter;

namespace tx {

// A strip of equal frames (an image list), cut once at load so painting only
// copies. Controls keep a pointer to a strip; a style reload refills the same
// object and Changed() tells every control using it to resize and repaint.
class TImageStrip : public QObject {
    Q_OBJECT
public:
    explicit TImageStrip(QObject* parent = nullptr) : QObject(parent) {}

    // Frame width = picture width / count (integer division), height = picture height.
    void LoadCount(const TBitmap& bitmap, int count, bool masked = false);
    // As many frames of `frameWidth` as fit.
    void LoadFixedWidth(const TBitmap& bitmap, int frameWidth, bool masked = false);
    void LoadImage(const QImage& image, int count, bool masked = false);
    // Frames already cut (and masked) elsewhere; all take the first one's size.
    void LoadFrames(const QVector<QImage>& frames);
    void Clear();

    int Count() const { return frames_.size(); }
    bool IsEmpty() const { return frames_.isEmpty(); }
    int FrameWidth() const { return frameSize_.width(); }
    int FrameHeight() const { return frameSize_.height(); }
    QSize FrameSize() const { return frameSize_; }

    // The one place a frame index is made safe: values kept as read from a
    // file may lie outside their range, and must still pick a real frame.
    int ClampFrame(int index) const;
    const QPixmap& Frame(int index) const;
    void Draw(QPainter& painter, int x, int y, int index) const;

signals:
    void Changed();

private:
    void Cut(const QImage& image, int frameWidth, int count, bool masked);

    QVector<QPixmap> frames_;
    QSize frameSize_;
};

// The plain pixels as a QImage (a deep copy).
QImage ToImage(const TBitmap& bitmap);
// The reverse, for pictures that come from Qt (built-in art, tests).
TBitmap ToBitmap(const QImage& image);

}  // namespace tx
