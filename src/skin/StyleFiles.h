#pragma once
#include <span>
#include <string_view>

#include "skin/Strip.h"

namespace tx {

enum class TStyleFileKind {
    Picture,  // a wallpaper or caption picture, used whole
    Strip,    // cut into frames by LoadStrip
    Glyph,    // a button glyph: only used when some folder has it, else the built-in glyph stays
    Config,   // "config.txt"
    Sound,    // "StartSnd.WAV"
};

// The size a file sets on the window when it loads.
enum class TStyleSize {
    None,
    MainWidthAndMenuPic,  // the main window's client width, and the transport panel's client size
    BottomPic,            // the hint panel's client size
    MainMenuPic,          // the menu-bar panel's client size
    CaptionBar,           // the caption bar's size
    LeftSideWidth,
    RightSideWidth,
    PatPad,  // the pad's size: one frame
    MenuBar  // the skinned menu bar's size: one frame
};

// One file of a style, in loading order, with what it skins.
struct TStyleFileEntry {
    std::string_view Name;
    TStyleFileKind Kind;
    TStripShape Strip;  // for strips
    TStyleSize Sets = TStyleSize::None;
    std::string_view Skins;  // the component or image list it goes to
    // False for the masked strips and for button glyphs, which a button may
    // draw with their bottom-left colour keyed out, as glyphs traditionally are.
    bool DrawnOpaque = true;
};

// Every file of a style, in the order they are loaded.
std::span<const TStyleFileEntry> StyleFileTable();

const TStyleFileEntry* FindStyleFile(std::string_view name);  // matched without case

}  // namespace tx
