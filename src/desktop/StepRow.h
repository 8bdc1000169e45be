#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tx {

// The step row's rules apart from its widget: which frame each step and
// wheel shows, how a mouse drag paints steps, where the per-step knob goes,
// and the dots window's fading lights. Window thread only.

constexpr int StepCellWidth = 16;
constexpr int StepWheelRowHeight = 14;  // the two small wheels of a step
constexpr int StepWheelSpacing = 13;

// Frame of "NoteBtn.bmp": groups of four steps alternate between two looks.
int StepButtonFrame(int step, bool on);
// The step under x: the division truncates toward zero, so -15..15 is step
// 0; -1 when outside the row.
int StepAt(int x);

enum TMouseButton : int { NoButton = 0, LeftButton = 1, RightButton = 2 };

// A drag that switches steps on or off.
struct TStepPaint {
    bool Painting = false;
    int PaintValue = 2;  // 0 off, 1 on, 2 decided by the first step touched

    // Whether a press starts painting (else it may start a per-step knob edit).
    static bool PressPaints(int wheelMode, bool bothButtons, TMouseButton button) {
        return wheelMode == 0 && (bothButtons || button != RightButton);
    }
    void Begin() {
        Painting = true;
        PaintValue = 2;
    }
    void End() { Painting = false; }
    // The state to give the step under x, if any; `held` is a set of TMouseButton bits.
    std::optional<bool> Move(int x, int held, bool bothButtons, bool stepIsOn);
};

// The per-step knob: which value row a press at y picks (0 upper, 1 lower,
// else -1; y from buttonTop - 13 to buttonTop + 13 is the upper one) and the
// hint its value shows.
int StepWheelRowAt(int y, int buttonTop);
std::string StepValueHint(int editRow, int value);  // editRow 0 pan, 1 vol, 2 pitch, 3 mix

// The dots window's lights: set by the mixer, faded by the display.
constexpr int32_t StepLightFlash = 288;
constexpr int32_t ActivityLightFlash = 320;
constexpr int32_t StepLightFade = 32;
constexpr int32_t ActivityLightFade = 64;
inline int32_t Fade(int32_t light, int32_t by) { return light > 0 ? light - by : light; }
// Blend of the dark base colour and a channel colour (0x00RRGGBB) by
// intensity/256; bytes clamped to 0..255 above 256.
uint32_t DotColor(uint32_t channelColor, int32_t intensity);
// The darker rows of the dots' line pattern: each byte 27 lower, not below 0.
uint32_t DotLineColor(uint32_t color);
// The dots window: a channel column CellSize div 2 wide, then 16 step cells,
// one row per channel, with a one-pixel line closing the right and bottom.
constexpr int DotCellSmall = 12;
constexpr int DotCellLarge = 24;
inline int DotsWindowWidth(int cellSize) { return 16 * cellSize + cellSize / 2 + 1; }
inline int DotsWindowHeight(int cellSize, int channels) { return channels * cellSize + 1; }
// The channel row at y, or -1 outside the rows.
inline int DotsRowAt(int y, int cellSize, int channels) {
    const int row = y >= 0 ? y / cellSize : -1;
    return row < channels ? row : -1;
}

}  // namespace tx
