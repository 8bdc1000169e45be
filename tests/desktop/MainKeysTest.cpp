#include "desktop/MainKeys.h"

#include <gtest/gtest.h>

using tx::TKey;
using tx::TKeyAction;
using tx::TKeyCommand;
using Cmds = std::vector<TKeyCommand>;

namespace {
tx::TKeyInput key(TKey k, int digit = 0, bool ctrl = false, bool repeat = false) { return {k, digit, ctrl, repeat}; }
}  // namespace

TEST(MainKeys, DigitsAddressTheFirstTenChannels) {
    tx::TKeyState s;
    s.ChannelCount = 10;
    EXPECT_EQ(tx::KeyPressed(key(TKey::Digit, 1), s), (Cmds{{TKeyAction::ToggleMute, 0}}));
    EXPECT_EQ(tx::KeyPressed(key(TKey::Digit, 0), s), (Cmds{{TKeyAction::ToggleMute, 9}}));
    EXPECT_EQ(tx::KeyPressed(key(TKey::Digit, 3, true), s), (Cmds{{TKeyAction::Solo, 2}}));
    s.ChannelCount = 4;
    EXPECT_TRUE(tx::KeyPressed(key(TKey::Digit, 5), s).empty()) << "no fifth channel";
    EXPECT_TRUE(tx::KeyPressed(key(TKey::Digit, 0), s).empty());
}

TEST(MainKeys, TransportPatternAndSongPositionKeys) {
    tx::TKeyState s;
    struct Case {
        tx::TKeyInput In;
        Cmds Out;
    } cases[] = {
        {key(TKey::Space), {{TKeyAction::ToggleStart}}},
        {key(TKey::L), {{TKeyAction::ToggleLoop}}},
        {key(TKey::KeypadPlus), {{TKeyAction::PatternStep, 1}}},
        {key(TKey::KeypadMinus, 0, false, true), {{TKeyAction::PatternStep, -1}}},  // repeats step on
        {key(TKey::Keypad, 7), {{TKeyAction::SelectPattern, 7}}},
        {key(TKey::Keypad, 0), {}},
        {key(TKey::KeypadDivide), {{TKeyAction::SongPositionStep, -1}}},
        {key(TKey::KeypadMultiply), {{TKeyAction::SongPositionStep, 1}}},
        {key(TKey::Space, 0, false, true), {}},  // a held space does not start and stop
        {key(TKey::G, 0, true), {{TKeyAction::TogglePlugin}}},
        {key(TKey::G), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(tx::KeyPressed(c.In, s), c.Out) << int(c.In.Key);
}

TEST(MainKeys, WheelsFollowAHeldKey) {
    tx::TKeyState s;
    EXPECT_EQ(tx::KeyPressed(key(TKey::V), s), (Cmds{{TKeyAction::SetWheelMode, 1}}));
    s.WheelMode = 1;
    EXPECT_TRUE(tx::KeyPressed(key(TKey::V, 0, false, true), s).empty());
    EXPECT_TRUE(tx::KeyReleased(key(TKey::V, 0, false, true), s).empty()) << "auto-repeat releases are ignored";
    EXPECT_TRUE(tx::KeyReleased(key(TKey::P), s).empty()) << "P releases only the pitch wheels";
    EXPECT_EQ(tx::KeyReleased(key(TKey::V), s), (Cmds{{TKeyAction::SetWheelMode, 0}}));
    // Ctrl over shown wheels switches to the line cursor, and back on release.
    EXPECT_EQ(tx::KeyPressed(key(TKey::Control, 0, true), s), (Cmds{{TKeyAction::LineCursor}}));
    EXPECT_EQ(tx::KeyReleased(key(TKey::Control), s), (Cmds{{TKeyAction::DefaultCursor}}));
}

TEST(MainKeys, EditorKeysOpenAndCloseInTheirMode) {
    tx::TKeyState s;
    EXPECT_EQ(tx::KeyPressed(key(TKey::K), s), (Cmds{{TKeyAction::PressNoteButton}}));
    EXPECT_EQ(tx::KeyPressed(key(TKey::Shift), s), (Cmds{{TKeyAction::PressDrawButton}}));
    s.KeyboardEditorVisible = true;
    s.NoteButtonDown = true;
    EXPECT_TRUE(tx::KeyPressed(key(TKey::K), s).empty());
    EXPECT_EQ(tx::KeyPressed(key(TKey::F), s), (Cmds{{TKeyAction::NextGraphParameter}}));
    EXPECT_TRUE(tx::KeyReleased(key(TKey::Shift), s).empty()) << "Shift closes only the graph mode";
    EXPECT_EQ(tx::KeyReleased(key(TKey::K), s), (Cmds{{TKeyAction::CloseKeyboardEditor}}));
}

TEST(MainKeys, UpAndDownSkipMinimizedChannelsAndWrap) {
    const std::vector<bool> minimized{false, true, true, false, true};
    EXPECT_EQ(tx::AdjacentChannel(0, 1, minimized), 3);
    EXPECT_EQ(tx::AdjacentChannel(3, 1, minimized), 0);
    EXPECT_EQ(tx::AdjacentChannel(0, -1, minimized), 3);
    EXPECT_EQ(tx::AdjacentChannel(-1, 1, minimized), 0) << "nothing selected: the first open one";
    EXPECT_EQ(tx::AdjacentChannel(2, 1, {true, true, true}), 2) << "all minimized: stays";

    tx::TKeyState s;
    s.ChannelWindowVisible = true;
    EXPECT_EQ(tx::KeyPressed(key(TKey::PageDown), s), (Cmds{{TKeyAction::PassToChannelWindow, 1}}));
    s.PlaylistActive = true;
    EXPECT_TRUE(tx::KeyPressed(key(TKey::PageDown), s).empty());
}
