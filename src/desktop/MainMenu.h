#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tx {

// The main window's menus as data: the standard menu and the skinned bar
// that mirrors it are both built from this table, so a caption, shortcut or
// command exists in one place only.

enum class TCommand {
    None,
    // File
    New, Open, Save, SaveAs, ExportMidi, CollectSamples, RenderWav, Exit,
    // Edit
    Undo, Redo, Cut, Copy, Paste, SelectAll, ShiftLeft, ShiftRight, Random, Humanize,
    PatternToClipboard, LoopToClipboard, InsertPatternInPlaylist,
    // Channels
    AddChannel, DeleteSelected, ZipSelected, HidePositionLeds,
    // Channel pop-up only
    InsertChannel, DeleteChannel,
    // View
    DotsWindow, HintPanel, LoopPlaylist,
    // Options
    MidiSettings, WavSettings, GeneralSettings, PluginSettings, LoopInfo, SyncToInput, MidiOnly, WavOnly,
    // Tools
    ConfigureTools,
    // Help
    HelpContents, Tips, About, ProductsInfo, Panic,
};

struct TMenuItemDef {
    std::string_view Name;      // the component name
    std::string_view Caption;   // with "&" before the accelerator letter
    std::string_view Shortcut;  // "Ctrl+O", "Alt+L", "F3"; empty for none
    TCommand Command;
    bool Checkable = false;
    bool SeparatorBefore = false;
};

struct TMenuDef {
    std::string_view Name;
    std::string_view Caption;
    std::vector<TMenuItemDef> Items;
};

// The seven menus of the bar, in order. The recent files (Alt+1..5) and the
// tools are added to "&File" and "&Tools" at run time.
const std::vector<TMenuDef>& MainMenus();
// The channel row's pop-up menu.
const std::vector<TMenuItemDef>& ChannelMenu();
// The tempo display's pop-up: "120 BPM" ... "150 BPM".
std::vector<int> TempoPresets();

// The accelerator letter of a caption ("&File" -> 'F'), upper case; 0 for none.
char AcceleratorOf(std::string_view caption);
// Which menu Alt + letter opens: -1 when no menu has that letter or when an
// item's own shortcut takes the key (Alt+H is "&Humanize", not "&Help").
int MenuForAltLetter(char letter);

}  // namespace tx
