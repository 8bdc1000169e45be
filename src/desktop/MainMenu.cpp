#include "desktop/MainMenu.h"

#include "model/TextCase.h"

namespace tx {

const std::vector<TMenuDef>& MainMenus() {
    using C = TCommand;
    static const std::vector<TMenuDef> menus = {
        {"File1",
         "&File",
         {
             {"NewMenu", "&New", "", C::New},
             {"Open", "&Open...", "Ctrl+O", C::Open},
             {"Save", "&Save", "Ctrl+S", C::Save},
             {"SaveAs", "Save &as...", "", C::SaveAs},
             {"SaveAsMIDIMenu", "Export &MIDI...", "Ctrl+M", C::ExportMidi, false, true},
             {"CollectMenuItem", "&Collect Samples...", "", C::CollectSamples},
             {"RenderWAVMenu", "Render &WAV...", "Ctrl+W", C::RenderWav},
             {"ExitMenu", "E&xit", "", C::Exit, false, true},
         }},
        {"Edit1",
         "&Edit",
         {
             {"UndoMenu", "&Undo", "Alt+Backspace", C::Undo},
             {"RedoMenu", "&Redo", "Shift+Alt+Backspace", C::Redo},
             {"CutMenu", "Cu&t", "Ctrl+X", C::Cut, false, true},
             {"CopyMenu", "&Copy", "Ctrl+C", C::Copy},
             {"PasteMenu", "&Paste", "Ctrl+V", C::Paste},
             {"SelectAll", "Select &all", "F3", C::SelectAll},
             {"ShiftLeft1", "&Shift left", "Alt+L", C::ShiftLeft, false, true},
             {"ShiftRight1", "Shi&ft right", "Alt+R", C::ShiftRight},
             {"RandomMenu", "&Random", "Ctrl+R", C::Random},
             {"HumanizeMenu", "&Humanize", "Alt+H", C::Humanize},
             {"PatterntoClipboardMenu", "E&xport pattern to clipboard", "Ctrl+P", C::PatternToClipboard, false, true},
             {"LoopToClipboardMenu", "Export l&oop to clipboard", "Ctrl+Q", C::LoopToClipboard},
             {"InsertPatternMenu", "&Insert pattern in playlist", "Ctrl+I", C::InsertPatternInPlaylist, false, true},
         }},
        {"Channels1",
         "&Channels",
         {
             {"Addone1", "&Add one", "Ctrl+D", C::AddChannel},
             {"Deleteselected1", "&Delete selected", "", C::DeleteSelected},
             {"Zipselected1", "&Zip selected", "Ctrl+Z", C::ZipSelected},
             {"HideLedsMenu", "&Hide position leds", "Alt+Z", C::HidePositionLeds, true, true},
         }},
        {"View1",
         "&View",
         {
             {"DotsMenu", "&Dots window", "F10", C::DotsWindow, true},
             {"HintPanelMenu", "&Hint panel", "F11", C::HintPanel, true},
             {"PlayListMenu", "&Loop playlist", "Ctrl+L", C::LoopPlaylist, true},
         }},
        {"Options1",
         "&Options",
         {
             {"MidiSettings1", "&Midi settings", "F5", C::MidiSettings},
             {"WAVSettings1", "&WAV settings", "F6", C::WavSettings},
             {"General1", "&General", "F7", C::GeneralSettings},
             {"Plugins1", "&Plugins", "F8", C::PluginSettings},
             {"LoopInfo1", "Loop &info...", "F9", C::LoopInfo, false, true},
             {"SyncOption", "S&ync to input", "Ctrl+Y", C::SyncToInput, true, true},
             {"MidiOnly", "Midi only", "", C::MidiOnly, true, true},
             {"WAVonly", "WAV only", "", C::WavOnly, true},
         }},
        {"Tools1",
         "&Tools",
         {
             {"ConfigureTools1", "&Configure", "", C::ConfigureTools},
         }},
        {"Help1",
         "&Help",
         {
             {"Contents1", "&Contents", "", C::HelpContents},
             {"Tips1", "&Tips...", "", C::Tips},
             {"About1", "&About...", "", C::About},
             {"ProductsInfo1", "Products &info...", "", C::ProductsInfo},
             {"Panic", "&Panic!", "Ctrl+H", C::Panic, false, true},
         }},
    };
    return menus;
}

const std::vector<TMenuItemDef>& ChannelMenu() {
    using C = TCommand;
    static const std::vector<TMenuItemDef> items = {
        {"LineCutMenu", "Cu&t", "", C::Cut},
        {"LineCopyMenu", "&Copy", "", C::Copy},
        {"LinePasteMenu", "&Paste", "", C::Paste},
        {"ShiftLeft2", "&Shift Left", "", C::ShiftLeft, false, true},
        {"ShiftRight2", "Shi&ft Right", "", C::ShiftRight},
        {"ChanRandomMenu", "&Random", "", C::Random},
        {"ChanHumanizeMenu", "&Humanize", "", C::Humanize},
        {"InsertChannel1", "Insert Channel", "", C::InsertChannel, false, true},
        {"DeleteChanMenu", "Delete Channel", "", C::DeleteChannel},
    };
    return items;
}

std::vector<int> TempoPresets() { return {120, 125, 130, 135, 140, 145, 150}; }

char AcceleratorOf(std::string_view caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {  // "&&" is a plain ampersand
            ++i;
            continue;
        }
        return UpperAscii(caption[i + 1]);
    }
    return 0;
}

int MenuForAltLetter(char letter) {
    letter = UpperAscii(letter);
    const std::string alt = std::string("Alt+") + letter;
    const auto& menus = MainMenus();
    for (const auto& m : menus)
        for (const auto& item : m.Items)
            if (item.Shortcut == alt) return -1;
    for (size_t i = 0; i < menus.size(); ++i)
        if (AcceleratorOf(menus[i].Caption) == letter) return int(i);
    return -1;
}

}  // namespace tx
