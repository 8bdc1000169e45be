#include "skin/StyleFiles.h"

#include <array>

#include "model/TextCase.h"

namespace tx {

namespace {

using K = TStyleFileKind;
using S = TStyleSize;

constexpr TStripShape frames(int n) { return {n, 0, false}; }
constexpr TStripShape width(int w) { return {0, w, false}; }
constexpr TStripShape masked(int n) { return {n, 0, true}; }

constexpr std::array<TStyleFileEntry, 39> kFiles{{
    {"MenuBack.bmp", K::Picture, {}, S::MainWidthAndMenuPic, "MenuPic"},
    {"BottomLine.bmp", K::Picture, {}, S::BottomPic, "BottomPic"},
    {"MenuLine.bmp", K::Picture, {}, S::MainMenuPic, "MainMenuPic"},
    {"TitleBar.bmp", K::Picture, {}, S::CaptionBar, "CaptionPic"},
    {"TitleBar_Off.bmp", K::Picture, {}, S::None, "CaptionPic"},
    {"back.bmp", K::Picture, {}, S::None, "BackWP"},
    {"LeftSide.bmp", K::Picture, {}, S::LeftSideWidth, "LeftSideWP"},
    {"RightSide.bmp", K::Picture, {}, S::RightSideWidth, "RightSideWP"},
    {"NoteBtn.bmp", K::Strip, frames(4), S::None, "TechnoGrid"},
    {"PosLed.bmp", K::Strip, frames(2), S::None, "TechnoGrid"},
    {"HSliderKnob.bmp", K::Strip, frames(2), S::None, "HSliderIL"},
    {"Vol_FX.bmp", K::Picture, {}, S::None, "FXVolSelect", false},
    {"Pan_FX.bmp", K::Picture, {}, S::None, "FXPanSelect", false},
    {"Pitch_FX.bmp", K::Picture, {}, S::None, "FXPitchSelect", false},
    {"Mix_FX.bmp", K::Picture, {}, S::None, "FXMixSelect", false},
    {"Reso_FX.bmp", K::Picture, {}, S::None, "FXResoSelect", false},
    {"CutOff_FX.bmp", K::Picture, {}, S::None, "FXCutOffSelect", false},
    {"Keyb.bmp", K::Strip, frames(2), S::None, "KeybIL"},
    {"Keyb_Keys.bmp", K::Strip, masked(8), S::None, "KeybNoteIL", false},
    {"PLBullet.bmp", K::Strip, masked(2), S::None, "PLBulletIL", false},
    {"LoopBtn.bmp", K::Glyph, {}, S::None, "LoopButton", false},
    {"PlayBtn.bmp", K::Glyph, {}, S::None, "StartButton", false},
    {"ScopeMute.bmp", K::Glyph, {}, S::None, "ScopeButton", false},
    {"PatPad.bmp", K::Strip, frames(10), S::PatPad, "PatPad"},
    {"MinClose.bmp", K::Strip, frames(4), S::None, "MinCloseIL"},
    {"UpDown.bmp", K::Strip, frames(2), S::None, "UpDownIL"},
    {"FX_Btns.bmp", K::Strip, frames(8), S::None, "FXBtnIL"},
    {"digits.bmp", K::Strip, frames(11), S::None, "LCDIL"},
    {"MiddleWheel.bmp", K::Strip, width(23), S::None, "MiddleWheelIL"},
    {"SmallWheel.bmp", K::Strip, width(14), S::None, "SmallWheelIL"},
    {"VolSliderKnob.bmp", K::Strip, frames(3), S::None, "VolSliderIL"},
    {"Volumeter.bmp", K::Strip, frames(2), S::None, "MixVolumeter"},
    {"SetBtn.bmp", K::Strip, frames(2), S::None, "SetButton"},
    {"Zipped.bmp", K::Strip, frames(2), S::None, "SetButton"},
    {"MuteBtn.bmp", K::Strip, frames(2), S::None, "FrontMuteButton"},
    {"SelectBtn.bmp", K::Strip, frames(2), S::None, "SelectButton"},
    {"MenuItems.bmp", K::Strip, frames(2), S::MenuBar, "NewMainMenu"},
    {"config.txt", K::Config, {}, S::None, ""},
    {"StartSnd.WAV", K::Sound, {}, S::None, ""},
}};

}  // namespace

std::span<const TStyleFileEntry> StyleFileTable() { return kFiles; }

const TStyleFileEntry* FindStyleFile(std::string_view name) {
    for (const TStyleFileEntry& f : StyleFileTable())
        if (EqualNoCase(f.Name, name)) return &f;
    return nullptr;
}

}  // namespace tx
