#pragma once
// Writes a complete style folder of plain 24-bit bitmaps at the default
// style's sizes, for the loader, checker and benchmark. Each file gets its
// own colour so a test can tell which folder a picture came from.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "BmpBytes.h"
#include "skin/StyleFiles.h"

namespace txtest {

struct TSize {
    int W, H;
};

// Whole-bitmap sizes (frames x frame width) of the default style.
inline const std::map<std::string, TSize>& StyleBitmapSizes() {
    static const std::map<std::string, TSize> sizes = {
        {"MenuBack.bmp", {400, 96}},    {"BottomLine.bmp", {400, 16}},   {"MenuLine.bmp", {400, 18}},
        {"TitleBar.bmp", {400, 22}},    {"TitleBar_Off.bmp", {400, 22}}, {"back.bmp", {32, 32}},
        {"LeftSide.bmp", {8, 32}},      {"RightSide.bmp", {8, 32}},      {"NoteBtn.bmp", {64, 27}},
        {"PosLed.bmp", {32, 8}},        {"HSliderKnob.bmp", {18, 16}},   {"Vol_FX.bmp", {16, 16}},
        {"Pan_FX.bmp", {16, 16}},       {"Pitch_FX.bmp", {16, 16}},      {"Mix_FX.bmp", {16, 16}},
        {"Reso_FX.bmp", {16, 16}},      {"CutOff_FX.bmp", {16, 16}},     {"Keyb.bmp", {32, 56}},
        {"Keyb_Keys.bmp", {128, 12}},   {"PLBullet.bmp", {24, 12}},      {"LoopBtn.bmp", {44, 18}},
        {"PlayBtn.bmp", {44, 18}},      {"ScopeMute.bmp", {44, 18}},     {"PatPad.bmp", {360, 36}},
        {"MinClose.bmp", {56, 14}},     {"UpDown.bmp", {32, 26}},        {"FX_Btns.bmp", {176, 18}},
        {"digits.bmp", {121, 17}},      {"MiddleWheel.bmp", {529, 23}},  {"SmallWheel.bmp", {224, 13}},
        {"VolSliderKnob.bmp", {60, 9}}, {"Volumeter.bmp", {98, 4}},      {"SetBtn.bmp", {128, 16}},
        {"Zipped.bmp", {96, 12}},       {"MuteBtn.bmp", {28, 14}},       {"SelectBtn.bmp", {28, 14}},
        {"MenuItems.bmp", {800, 18}},
    };
    return sizes;
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// Every bitmap of the table, filled with `colour` (a grey ramp keeps it from
// looking like a mask), plus `config` as "config.txt" when not empty.
inline void WriteStyleFolder(const std::filesystem::path& dir, uint32_t colour, const std::string& config = {}) {
    std::filesystem::create_directories(dir);
    for (const auto& [name, size] : StyleBitmapSizes())
        WriteBmp(dir / name,
                 MakeBitmap(size.W, size.H, [&](int x, int y) { return (colour + uint32_t(x + y)) & 0xFFFFFF; }));
    if (!config.empty()) WriteText(dir / "config.txt", config);
}

}  // namespace txtest
