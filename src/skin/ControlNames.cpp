#include "skin/ControlNames.h"

#include <array>

#include "model/TextCase.h"

namespace tx {

namespace {

constexpr std::array<TStyleControl, 31> kControls{{
    // caption bar
    {"CaptionLabel", "CaptionPic"},
    {"CloseIconZone", "CaptionPic"},
    {"MinBtn", "CaptionPic"},
    {"CloseBtn", "CaptionPic"},
    // menu-bar panel
    {"NewMainMenu", "MainMenuPic"},
    // transport panel
    {"MixScope", "MenuPic"},
    {"MixVolumeter", "MenuPic"},
    {"ScopeButton", "MenuPic"},
    {"StartButton", "MenuPic"},
    {"LoopButton", "MenuPic"},
    {"PatNumDig", "MenuPic"},
    {"PatUpDown", "MenuPic"},
    {"PatPad", "MenuPic"},
    {"BPMDig", "MenuPic"},
    {"BPMUpDown", "MenuPic"},
    {"FXVolBtn", "MenuPic"},
    {"FXPitchBtn", "MenuPic"},
    {"FXDrawBtn", "MenuPic"},
    {"FXNoteBtn", "MenuPic"},
    {"MainVolSlider", "MenuPic"},
    {"ShuffleSlider", "MenuPic"},
    {"MainPitchSlider", "MenuPic"},
    {"MainResoSlider", "MenuPic"},
    {"MainCutOffSlider", "MenuPic"},
    // hint panel
    {"InfoLabel", "BottomPic"},
    // the keyboard editor's parameter buttons
    {"FXPanSelect", "KeybPanel"},
    {"FXVolSelect", "KeybPanel"},
    {"FXPitchSelect", "KeybPanel"},
    {"FXMixSelect", "KeybPanel"},
    {"FXResoSelect", "KeybPanel"},
    {"FXCutOffSelect", "KeybPanel"},
}};

}  // namespace

std::span<const TStyleControl> StyleControls() { return kControls; }

const TStyleControl* FindStyleControl(std::string_view name) {
    for (const TStyleControl& c : kControls)
        if (EqualNoCase(c.Name, name)) return &c;
    return nullptr;
}

}  // namespace tx
