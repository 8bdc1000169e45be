#include "desktop/StepRow.h"

#include <algorithm>
#include <cstdio>

namespace tx {

int StepButtonFrame(int step, bool on) { return (on ? 1 : 0) + (((step >> 2) & 1) ? 2 : 0); }

int StepAt(int x) {
    const int s = x / StepCellWidth;
    return s >= 0 && s < 16 ? s : -1;
}

std::optional<bool> TStepPaint::Move(int x, int held, bool bothButtons, bool stepIsOn) {
    if (!Painting) return std::nullopt;
    if (StepAt(x) < 0) return std::nullopt;
    if (bothButtons) {
        if (held & LeftButton) return true;
        if (held & RightButton) return false;
        return std::nullopt;
    }
    if (!(held & LeftButton)) return std::nullopt;
    if (PaintValue == 2) PaintValue = stepIsOn ? 0 : 1;
    return PaintValue == 1;
}

int StepWheelRowAt(int y, int buttonTop) {
    // The division truncates toward zero, so a press up to 13 pixels above
    // the wheels (the leds' band when they sit over the knobs) still picks the
    // upper wheel.
    const int row = (y - buttonTop) / StepWheelRowHeight;
    return row == 0 || row == 1 ? row : -1;
}

std::string StepValueHint(int editRow, int value) {
    switch (editRow) {
        case 0:
            return "pan " + std::to_string(value);
        case 1:
            return "vol " + std::to_string(value);
        case 2: {
            // Semitones from the middle value 120, in tenths.
            char buf[32];
            const int tenths = value - 120;
            std::snprintf(buf, sizeof buf, "pitch %s%d.%d", tenths < 0 ? "-" : "", std::abs(tenths) / 10,
                          std::abs(tenths) % 10);
            std::string s = buf;
            if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
            return s;
        }
        default:
            return "mix " + std::to_string(value);
    }
}

uint32_t DotColor(uint32_t channelColor, int32_t intensity) {
    constexpr uint32_t base = 0x303035;  // RGB(48, 48, 53)
    if (intensity <= 0) return base;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int64_t b = (base >> shift) & 0xFF, c = (channelColor >> shift) & 0xFF;
        const int64_t v = (b * (256 - intensity) + c * intensity) / 256;
        out |= uint32_t(std::clamp<int64_t>(v, 0, 255)) << shift;
    }
    return out;
}

}  // namespace tx

namespace tx {

uint32_t DotLineColor(uint32_t color) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= uint32_t(std::max(0, int((color >> shift) & 0xFF) - 27)) << shift;
    return out;
}

}  // namespace tx
