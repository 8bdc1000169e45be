#pragma once

// Test strips whose frames are told apart by colour: frame i is filled with
// FrameColour(i), so a screenshot shows which frame a control picked.
#include <QColor>
#include <QImage>
#include <QPainter>

#include "controls/ImageStrip.h"

namespace tx::test {

inline QRgb FrameColour(int i) { return qRgb(20 + 9 * i, 200 - 7 * (i % 20), (i * 53) % 256); }

inline TBitmap StripBitmap(int frames, int w, int h) {
    QImage image(frames * w, h, QImage::Format_ARGB32);
    for (int i = 0; i < frames; ++i)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) image.setPixel(i * w + x, y, FrameColour(i));
    return ToBitmap(image);
}

// Which frame colour the pixel shows, or -1.
inline int FrameAt(const QImage& image, int x, int y, int frames) {
    const QRgb c = image.pixel(x, y) | 0xFF000000u;
    for (int i = 0; i < frames; ++i)
        if (c == (FrameColour(i) | 0xFF000000u)) return i;
    return -1;
}

}  // namespace tx::test
