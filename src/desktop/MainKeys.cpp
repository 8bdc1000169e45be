#include "desktop/MainKeys.h"

#include <cstddef>

namespace tx {

std::vector<TKeyCommand> KeyPressed(const TKeyInput& k, const TKeyState& s) {
    using A = TKeyAction;
    std::vector<TKeyCommand> out;
    // The wheels and editors follow a held key; the system's repeats of it
    // must not toggle anything again.
    if (k.AutoRepeat && k.Key != TKey::KeypadPlus && k.Key != TKey::KeypadMinus && k.Key != TKey::Up &&
        k.Key != TKey::Down && k.Key != TKey::PageUp && k.Key != TKey::PageDown)
        return out;
    const bool editing = s.KeyboardEditorVisible || s.WheelMode > 0;
    switch (k.Key) {
        case TKey::Digit: {
            const int ch = k.Digit == 0 ? 9 : k.Digit - 1;  // 0 is the tenth channel
            if (ch < s.ChannelCount) out.push_back({k.Ctrl ? A::Solo : A::ToggleMute, ch});
            break;
        }
        case TKey::Space: out.push_back({A::ToggleStart}); break;
        case TKey::L:
            if (!k.Ctrl) out.push_back({A::ToggleLoop});
            break;
        case TKey::KeypadPlus: out.push_back({A::PatternStep, 1}); break;
        case TKey::KeypadMinus: out.push_back({A::PatternStep, -1}); break;
        case TKey::Keypad:
            if (k.Digit >= 1) out.push_back({A::SelectPattern, k.Digit});
            break;
        case TKey::KeypadDivide: out.push_back({A::SongPositionStep, -1}); break;
        case TKey::KeypadMultiply: out.push_back({A::SongPositionStep, 1}); break;
        case TKey::K:
            if (!s.NoteButtonDown) out.push_back({A::PressNoteButton});
            break;
        case TKey::Shift:
            if (!s.DrawButtonDown) out.push_back({A::PressDrawButton});
            break;
        case TKey::P: out.push_back({A::SetWheelMode, 2}); break;
        case TKey::V: out.push_back({A::SetWheelMode, 1}); break;
        case TKey::F:
            if (s.KeyboardEditorVisible) out.push_back({A::NextGraphParameter});
            break;
        case TKey::G:
            if (k.Ctrl) out.push_back({A::TogglePlugin});
            break;
        case TKey::PageUp:
        case TKey::PageDown:
            if (s.ChannelWindowVisible && !s.PlaylistActive)
                out.push_back({A::PassToChannelWindow, k.Key == TKey::PageDown ? 1 : -1});
            break;
        case TKey::Up:
        case TKey::Down:
            if (s.MainOrEditorActive) out.push_back({A::SelectNextChannel, k.Key == TKey::Down ? 1 : -1});
            break;
        case TKey::Control:
        case TKey::Other: break;
    }
    if ((k.Ctrl || k.Key == TKey::Control) && editing) out.push_back({A::LineCursor});
    return out;
}

std::vector<TKeyCommand> KeyReleased(const TKeyInput& k, const TKeyState& s) {
    using A = TKeyAction;
    std::vector<TKeyCommand> out;
    if (k.AutoRepeat) return out;
    switch (k.Key) {
        case TKey::V:
            if (s.WheelMode == 1) out.push_back({A::SetWheelMode, 0});
            break;
        case TKey::P:
            if (s.WheelMode == 2) out.push_back({A::SetWheelMode, 0});
            break;
        case TKey::K:
            if (s.KeyboardEditorVisible && s.NoteButtonDown) out.push_back({A::CloseKeyboardEditor});
            break;
        case TKey::Shift:
            if (s.KeyboardEditorVisible && s.DrawButtonDown) out.push_back({A::CloseKeyboardEditor});
            break;
        case TKey::Control:
            if (s.KeyboardEditorVisible || s.WheelMode > 0) out.push_back({A::DefaultCursor});
            break;
        default: break;
    }
    return out;
}

int AdjacentChannel(int from, int direction, const std::vector<bool>& minimized) {
    const int n = int(minimized.size());
    if (n == 0) return from;
    int i = from < 0 ? (direction > 0 ? -1 : 0) : from;
    for (int step = 0; step < n; ++step) {
        i = ((i + direction) % n + n) % n;
        if (!minimized[std::size_t(i)]) return i;
    }
    return from;
}

}  // namespace tx
