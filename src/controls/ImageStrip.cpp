#include "controls/ImageStrip.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace tx {

QImage ToImage(const TBitmap& bitmap) {
    if (bitmap.Width <= 0 || bitmap.Height <= 0 || bitmap.Pixels.size() < size_t(bitmap.Width) * size_t(bitmap.Height))
        return {};
    QImage image(bitmap.Width, bitmap.Height, QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(image.scanLine(y), bitmap.Pixels.data() + size_t(y) * bitmap.Width,
                    size_t(bitmap.Width) * sizeof(uint32_t));
    return image;
}

TBitmap ToBitmap(const QImage& image) {
    TBitmap bitmap;
    if (image.isNull()) return bitmap;
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    bitmap.Width = argb.width();
    bitmap.Height = argb.height();
    bitmap.Pixels.resize(size_t(bitmap.Width) * bitmap.Height);
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(bitmap.Pixels.data() + size_t(y) * bitmap.Width, argb.constScanLine(y),
                    size_t(bitmap.Width) * sizeof(uint32_t));
    return bitmap;
}

void TImageStrip::LoadCount(const TBitmap& bitmap, int count, bool masked) {
    LoadImage(ToImage(bitmap), count, masked);
}

void TImageStrip::LoadImage(const QImage& image, int count, bool masked) {
    const int frameWidth = count > 0 ? image.width() / count : 0;
    Cut(image, frameWidth, frameWidth > 0 ? count : 0, masked);
}

void TImageStrip::LoadFixedWidth(const TBitmap& bitmap, int frameWidth, bool masked) {
    QImage image = ToImage(bitmap);
    Cut(image, frameWidth, frameWidth > 0 ? image.width() / frameWidth : 0, masked);
}

void TImageStrip::LoadFrames(const QVector<QImage>& frames) {
    frames_.clear();
    frameSize_ = {};
    if (!frames.isEmpty() && !frames.front().isNull()) {
        frameSize_ = frames.front().size();
        for (const QImage& frame : frames)
            frames_.push_back(
                QPixmap::fromImage(frame.size() == frameSize_ ? frame : frame.copy(QRect({}, frameSize_))));
    }
    emit Changed();
}

void TImageStrip::Clear() { Cut({}, 0, 0, false); }

void TImageStrip::Cut(const QImage& source, int frameWidth, int count, bool masked) {
    frames_.clear();
    frameSize_ = {};
    if (!source.isNull() && frameWidth > 0 && count > 0) {
        QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int height = image.height();
        // Masked strips take the colour of the bottom-left pixel as transparent;
        // others keep their pixels (bitmaps arrive opaque, built-in art with alpha).
        if (masked) {
            const QRgb mask = image.pixel(0, height - 1) & 0xFFFFFF;
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if ((line[x] & 0xFFFFFF) == mask) line[x] = 0;
            }
        }
        frameSize_ = QSize(frameWidth, height);
        frames_.reserve(count);
        for (int i = 0; i < count; ++i)
            frames_.push_back(QPixmap::fromImage(image.copy(i * frameWidth, 0, frameWidth, height)));
    }
    emit Changed();
}

int TImageStrip::ClampFrame(int index) const {
    return frames_.isEmpty() ? -1 : std::clamp(index, 0, int(frames_.size()) - 1);
}

const QPixmap& TImageStrip::Frame(int index) const {
    static const QPixmap none;
    const int i = ClampFrame(index);
    return i < 0 ? none : frames_[i];
}

void TImageStrip::Draw(QPainter& painter, int x, int y, int index) const {
    if (!frames_.isEmpty()) painter.drawPixmap(x, y, Frame(index));
}

}  // namespace tx
