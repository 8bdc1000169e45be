#pragma once
#include <vector>

namespace tx {

// The main window's own keys (it sees them before its controls): what a
// press or release does, decided apart from widgets so the rules are tested
// on their own. The window translates its key events into TKeyInput and runs
// the actions. Window thread only.

enum class TKey {
    Other,
    Digit,     // main keyboard 0..9
    Keypad,    // numeric keypad 0..9
    KeypadPlus, KeypadMinus, KeypadDivide, KeypadMultiply,
    Space, L, K, P, V, F, G,
    Shift, Control,
    PageUp, PageDown, Up, Down,
};

struct TKeyInput {
    TKey Key = TKey::Other;
    int Digit = 0;
    bool Ctrl = false;
    bool AutoRepeat = false;
};

// What the window knows when a key arrives.
struct TKeyState {
    int ChannelCount = 0;
    bool NoteButtonDown = false;  // FXNoteBtn: keyboard editor in keyboard mode
    bool DrawButtonDown = false;  // FXDrawBtn: keyboard editor in graph mode
    bool KeyboardEditorVisible = false;
    int WheelMode = 0;
    bool ChannelWindowVisible = false;
    bool PlaylistActive = false;
    bool MainOrEditorActive = true;
};

enum class TKeyAction {
    ToggleMute,        // Arg: channel
    Solo,              // Arg: channel
    ToggleStart,       // without resetting the song position
    ToggleLoop,
    PatternStep,       // Arg: +1 / -1
    SelectPattern,     // Arg: 1..9
    SongPositionStep,  // Arg: +1 / -1
    PressNoteButton,
    PressDrawButton,
    SetWheelMode,      // Arg: 0, 1, 2
    NextGraphParameter,
    PassToChannelWindow,  // Arg: +1 for Page Down, -1 for Page Up
    SelectNextChannel,    // Arg: +1 below / -1 above
    LineCursor,
    DefaultCursor,
    CloseKeyboardEditor,  // and release both edit buttons
    TogglePlugin,
};

struct TKeyCommand {
    TKeyAction Action;
    int Arg = 0;
    bool operator==(const TKeyCommand&) const = default;
};

std::vector<TKeyCommand> KeyPressed(const TKeyInput& k, const TKeyState& s);
std::vector<TKeyCommand> KeyReleased(const TKeyInput& k, const TKeyState& s);

// The channel Up or Down selects: the next one in that direction that is not
// minimized, wrapping around; `from` when there is none.
int AdjacentChannel(int from, int direction, const std::vector<bool>& minimized);

}  // namespace tx
