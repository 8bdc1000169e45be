#pragma once
#include <cstdint>
#include <vector>

#include "skin/Bitmap.h"

namespace tx {

// How a bitmap is cut into frames: a frame count (frame width = width div
// count) or a fixed frame width (as many frames as fit). Masked strips turn
// every pixel of the bottom-left pixel's colour transparent.
struct TStripShape {
    int FrameCount = 0;  // used when FrameWidth is 0
    int FrameWidth = 0;
    bool Masked = false;
};

// A strip cut once at load: painting only copies frames. No frames means the
// strip is missing (no bitmap, or frames that would be 0 pixels wide).
struct TStrip {
    int FrameWidth = 0, FrameHeight = 0;
    bool Masked = false;
    uint32_t MaskColour = 0;  // 0xAARRGGBB of the bottom-left pixel when masked
    std::vector<TBitmap> Frames;
    bool Empty() const { return Frames.empty(); }
};

TStrip LoadStrip(const TBitmap& bitmap, const TStripShape& shape);

// The frame of a strip of `frames` knob or wheel pictures that shows `value`
// out of 0..`maximum`, rounded to the nearest frame and clamped into the strip
// (a file may hold values out of range).
int KnobFrame(int value, int maximum, int frames);

// The rectangle (x, y, w, h) of `from`, clipped to it; parts outside stay transparent.
TBitmap CutRect(const TBitmap& from, int x, int y, int w, int h);

}  // namespace tx
