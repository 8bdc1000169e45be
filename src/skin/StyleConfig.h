#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

// At most this many points of a "DefHole" line are used; the rest are ignored.
constexpr size_t MaxHolePoints = 64;

struct TStylePoint {
    int X = 0, Y = 0;
    bool operator==(const TStylePoint&) const = default;
};

// A font line: each part unset when its value was empty or unreadable, so the
// control keeps what it had. Colours are as written: 0x00BBGGRR.
struct TStyleFont {
    std::optional<std::string> Name;  // in capitals
    std::optional<uint32_t> Colour;
    std::optional<int> Height;
};

// A control line: x, y or x, y, w, h; an empty or unreadable number leaves
// that edge or size as it was.
struct TControlPlace {
    std::optional<int> X, Y, W, H;
};

struct TConfigProblem {
    int Line = 0;  // 1-based
    std::string What;
};

// What a "config.txt" says, after every rule of the format: later lines win,
// numbers that cannot be read leave their property unset. The polygons stay
// point lists; turning them into a window shape is the widgets' business.
struct TStyleConfig {
    std::optional<std::string> Hint;  // the long part, in capitals
    std::optional<std::vector<int>> MenuSep;
    TStyleFont TitleFont, HintFont;
    std::optional<uint32_t> ScopeCol;
    std::array<std::optional<uint32_t>, 3> SampleScopeCol;  // back, centre, line
    std::array<std::optional<uint32_t>, 4> GraphCol;        // pan, volume, pitch, mix
    std::vector<std::vector<TStylePoint>> DefHoles;         // each cut from the full-height rectangle
    std::optional<std::array<TStylePoint, 5>> ChanBtns;     // knob, mute, name, select, step row
    std::map<std::string, TControlPlace> Controls;          // by the table's spelling of the name
    std::vector<TConfigProblem> Problems;
};

TStyleConfig ParseStyleConfig(std::string_view text);

// A config colour (0x00BBGGRR, only the low 24 bits count) as opaque 0xFFRRGGBB.
constexpr uint32_t StyleColourToArgb(uint32_t c) {
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// Reads a number as the format allows it: decimal with an optional sign, or
// "$" and hexadecimal digits; nothing else, and nothing outside 32 bits.
std::optional<int> ParseStyleNumber(std::string_view s);

}  // namespace tx
