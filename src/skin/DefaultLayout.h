#pragma once

#include <string_view>

// The design layout of the main window's panels: where every control stands
// before a style's "config.txt" moves it. The default style's generator draws
// its wallpapers around these very rectangles and writes them into its
// "config.txt", and the main window uses them as design positions, so the art
// and the controls cannot drift apart. Plain data, no code to link.
namespace tx::DefaultLayout {

enum class TPanel { Caption, MainMenu, Transport, Hint, Piano };

struct TPanelSize {
    TPanel Panel;
    std::string_view Component;  // the panel's component name
    int Width, Height;
};

struct TControl {
    std::string_view Name;  // component name, as "config.txt" addresses it
    TPanel Panel;
    int X, Y, Width, Height;
};

// The main window's client width; "MenuBack.bmp" sets it at run time.
inline constexpr int WindowWidth = 400;

inline constexpr TPanelSize Panels[] = {
    {TPanel::Caption, "CaptionPic", WindowWidth, 22},    // "TitleBar.bmp"
    {TPanel::MainMenu, "MainMenuPic", WindowWidth, 18},  // "MenuLine.bmp"
    {TPanel::Transport, "MenuPic", WindowWidth, 96},     // "MenuBack.bmp"
    {TPanel::Hint, "BottomPic", WindowWidth, 16},        // "BottomLine.bmp"
    // The keyboard editor's panel: 16 step columns of 16 pixels, then the
    // column of value-row buttons; as high as the draw mode's bars.
    {TPanel::Piano, "KeybPanel", 282, 152},
};

inline constexpr TControl Controls[] = {
    {"CloseIconZone", TPanel::Caption, 2, 2, 18, 18},
    {"CaptionLabel", TPanel::Caption, 26, 3, 330, 16},
    {"MinBtn", TPanel::Caption, 364, 4, 14, 14},
    {"CloseBtn", TPanel::Caption, 382, 4, 14, 14},

    {"NewMainMenu", TPanel::MainMenu, 0, 0, WindowWidth, 18},

    {"MixScope", TPanel::Transport, 8, 8, 104, 56},
    {"MixVolumeter", TPanel::Transport, 8, 74, 49, 8},
    {"ScopeButton", TPanel::Transport, 90, 70, 22, 18},
    {"StartButton", TPanel::Transport, 122, 8, 22, 18},
    {"LoopButton", TPanel::Transport, 148, 8, 22, 18},
    {"PatNumDig", TPanel::Transport, 122, 38, 33, 17},
    {"PatUpDown", TPanel::Transport, 157, 34, 16, 26},
    {"PatPad", TPanel::Transport, 180, 30, 36, 36},
    {"BPMDig", TPanel::Transport, 122, 70, 33, 17},
    {"BPMUpDown", TPanel::Transport, 157, 66, 16, 26},
    {"FXVolBtn", TPanel::Transport, 224, 30, 22, 18},
    {"FXPitchBtn", TPanel::Transport, 248, 30, 22, 18},
    {"FXDrawBtn", TPanel::Transport, 224, 50, 22, 18},
    {"FXNoteBtn", TPanel::Transport, 248, 50, 22, 18},
    {"MainVolSlider", TPanel::Transport, 280, 8, 20, 74},
    {"ShuffleSlider", TPanel::Transport, 302, 8, 20, 74},
    {"MainPitchSlider", TPanel::Transport, 324, 8, 20, 74},
    {"MainResoSlider", TPanel::Transport, 346, 8, 20, 74},
    {"MainCutOffSlider", TPanel::Transport, 368, 8, 20, 74},

    {"InfoLabel", TPanel::Hint, 8, 1, 384, 14},

    {"FXPanSelect", TPanel::Piano, 260, 2, 20, 20},
    {"FXVolSelect", TPanel::Piano, 260, 26, 20, 20},
    {"FXPitchSelect", TPanel::Piano, 260, 50, 20, 20},
    {"FXMixSelect", TPanel::Piano, 260, 74, 20, 20},
    {"FXResoSelect", TPanel::Piano, 260, 98, 20, 20},
    {"FXCutOffSelect", TPanel::Piano, 260, 122, 20, 20},
};

// "ChanBtns": within a channel row, the volume knob, mute button, name
// button, select button and step row, vertically centred on the 27-pixel
// step buttons.
inline constexpr int ChanBtns[10] = {4, 6, 22, 6, 40, 5, 108, 6, 126, 0};

// The captions drawn into "MenuItems.bmp", one per menu of the bar, in order
// (capitals of the program's pixel font; the first letter is the accelerator).
inline constexpr std::string_view MenuCaptions[] = {"FILE", "EDIT", "CHANNELS", "VIEW", "OPTIONS", "TOOLS", "HELP"};

// Width of "LeftSide.bmp" and "RightSide.bmp"; the channel area lies between.
inline constexpr int SideWidth = 8;

// Frames of "Keyb_Keys.bmp": one marker per key shape, first for a step that
// is on, then the same four for a step that is off.
enum TKeyMark { KeyMarkBottomWhite = 0, KeyMarkBlack = 1, KeyMarkMiddleWhite = 2, KeyMarkTopWhite = 3, KeyMarkOff = 4 };

inline constexpr const TControl* FindControl(std::string_view name) {
    for (const TControl& c : Controls)
        if (c.Name == name) return &c;
    return nullptr;
}

}  // namespace tx::DefaultLayout
