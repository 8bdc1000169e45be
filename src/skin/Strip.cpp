#include "skin/Strip.h"

#include <algorithm>

namespace tx {

TStrip LoadStrip(const TBitmap& bitmap, const TStripShape& shape) {
    TStrip strip;
    strip.Masked = shape.Masked;
    if (bitmap.Width <= 0 || bitmap.Height <= 0 || bitmap.Pixels.size() != size_t(bitmap.Width) * size_t(bitmap.Height))
        return strip;
    // A count or width of 0 or less from a caller is taken as 1, never as a divisor of 0.
    int frameWidth, frames;
    if (shape.FrameWidth > 0) {
        frameWidth = shape.FrameWidth;
        frames = bitmap.Width / frameWidth;
    } else {
        frames = std::max(shape.FrameCount, 1);
        frameWidth = bitmap.Width / frames;
    }
    if (frameWidth <= 0 || frames <= 0) return strip;  // narrower than one frame: missing
    strip.FrameWidth = frameWidth;
    strip.FrameHeight = bitmap.Height;
    const uint32_t mask = bitmap.Pixels[size_t(bitmap.Height - 1) * bitmap.Width];
    if (shape.Masked) strip.MaskColour = mask;
    strip.Frames.resize(frames);
    for (int f = 0; f < frames; ++f) {
        TBitmap& frame = strip.Frames[f];
        frame.Width = frameWidth;
        frame.Height = bitmap.Height;
        frame.Pixels.resize(size_t(frameWidth) * bitmap.Height);
        for (int y = 0; y < bitmap.Height; ++y) {
            const uint32_t* src = bitmap.Pixels.data() + size_t(y) * bitmap.Width + size_t(f) * frameWidth;
            uint32_t* dst = frame.Pixels.data() + size_t(y) * frameWidth;
            for (int x = 0; x < frameWidth; ++x) dst[x] = shape.Masked && src[x] == mask ? 0u : src[x];
        }
    }
    return strip;
}

TBitmap CutRect(const TBitmap& from, int x, int y, int w, int h) {
    TBitmap out;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return out;
    out.Width = w;
    out.Height = h;
    out.Pixels.assign(size_t(w) * h, 0u);
    for (int64_t row = std::max<int64_t>(0, -int64_t(y)); row < h && y + row < from.Height; ++row)
        for (int64_t col = std::max<int64_t>(0, -int64_t(x)); col < w && x + col < from.Width; ++col)
            out.Pixels[size_t(row * w + col)] = from.Pixels[size_t((y + row) * from.Width + (x + col))];
    return out;
}

int KnobFrame(int value, int maximum, int frames) {
    if (frames <= 1 || maximum <= 0) return 0;
    const int64_t f = (int64_t(value) * (frames - 1) + maximum / 2) / maximum;
    return int(std::clamp<int64_t>(f, 0, frames - 1));
}

}  // namespace tx
