#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace tx {

// Where the main window puts each channel's controls, and the window-height
// rules that follow from it. Plain numbers in skin pixels so the rules are
// tested without widgets; the window applies the result. Window thread only.

struct TSkinPoint {
    int X = 0, Y = 0;
    bool operator==(const TSkinPoint&) const = default;
};

// The row's fixed heights: a step row with its leds, one without.
constexpr int LedRowHeight = 46;
constexpr int PlainRowHeight = 27;
constexpr int LedsOverKnobsShift = 19;
constexpr int LedTopBelowButtons = 27;
constexpr int FirstRowTop = 20;
constexpr int RowGap = 3;
constexpr int MinimizedGap = 7;
constexpr int ScrollSlack = 14;

struct TRowLayoutInput {
    // Volume knob, mute, name, select, step row; all at (0, 0) without "ChanBtns".
    std::array<TSkinPoint, 5> ChanBtns{};
    bool LedsOverKnobs = false;  // "&Position leds over knobs"
    bool HideLeds = false;       // "&Hide position leds"
    int ZippedHeight = 12;       // frame height of "Zipped.bmp"
    int AreaWidth = 0;           // the channel area's width
    struct Channel {
        bool Minimized = false;
        int NameButtonWidth = 0;
    };
    std::vector<Channel> Channels;
};

struct TRowPlacement {
    bool Minimized = false;
    bool ShowsLeds = false;
    int StepLeft = 0, StepTop = 0, StepHeight = 0;
    int ButtonTop = 0, LedTop = 0;
    TSkinPoint Volume, Mute, Name, Select;
    int StepBottom() const { return StepTop + StepHeight; }
};

struct TRowLayout {
    std::vector<TRowPlacement> Rows;
    int LedRow = -1;       // the row that shows leds when they are hidden elsewhere
    int ContentHeight = 0; // bottom of the lowest row (its name button for a packed line)
};

TRowLayout LayoutChannelRows(const TRowLayoutInput& in);

// The main window's vertical metrics, in pixels of the window.
struct TWindowMetrics {
    int ChannelAreaTop = 0;   // window top edge to the channel area's top
    int TopDockBottom = 0;    // window top edge to the top dock's bottom
    int BottomDockHeight = 0;
    int ScreenHeight = 0;
    int CaptionHeight = 22;
};

int MaxHeight(const TWindowMetrics& m, const TRowLayout& rows, int currentHeight);
int MinHeight(const TWindowMetrics& m);
// The height to apply: h limited to [min, max]; the minimum wins when they cross.
int ClampHeight(int h, int minHeight, int maxHeight);
// The new height for FitHeight (after rows change): with "Auto maximize" on,
// the full height unless the window is rolled up to exactly its minimum.
int FitHeight(int currentHeight, int minHeight, int maxHeight, bool autoMaximize);
// The window's top after a move: at least 32 pixels stay below the screen's
// top edge and the caption bar never leaves the screen's bottom.
int ClampTop(int top, int windowHeight, int screenHeight, int captionHeight);
// The vertical scroll range of the channel area: 0 when everything fits.
int ScrollRange(const TRowLayout& rows, int visibleHeight);

// The full-height toggle of a double-click: remembers the height it leaves.
struct THeightToggle {
    int RestoreHeight = 0;
    int Toggle(int currentHeight, int minHeight, int maxHeight, int screenHeight);
};

}  // namespace tx
