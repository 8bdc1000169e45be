#include "desktop/MainMenu.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

TEST(MainMenu, EveryShortcutAndNameExistsOnce) {
    std::map<std::string, int> shortcuts;
    std::set<std::string> names;
    for (const auto& m : tx::MainMenus()) {
        EXPECT_TRUE(names.insert(std::string(m.Name)).second) << m.Name;
        std::set<char> letters;
        for (const auto& item : m.Items) {
            EXPECT_TRUE(names.insert(std::string(item.Name)).second) << item.Name;
            if (!item.Shortcut.empty()) ++shortcuts[std::string(item.Shortcut)];
            // Two items with one letter in a menu make the letter useless.
            const char a = tx::AcceleratorOf(item.Caption);
            // "&Redo" and "&Random" share R in the Edit menu: both captions
            // are fixed, and the letter then moves between the two.
            if (a && !(m.Name == "Edit1" && a == 'R')) {
                EXPECT_TRUE(letters.insert(a).second) << m.Caption << " " << item.Caption;
            }
        }
    }
    // The window's own keys and the recent files take these; a menu item must not.
    for (const char* own : {"Ctrl+G", "Alt+1", "Alt+5"}) EXPECT_EQ(shortcuts.count(own), 0u) << own;
    for (const auto& [key, count] : shortcuts) EXPECT_EQ(count, 1) << key;
    const char* expected[] = {"Ctrl+O", "Ctrl+S", "Ctrl+M", "Ctrl+W", "Ctrl+X", "Ctrl+C", "Ctrl+V", "F3",
                              "Alt+L",  "Alt+R",  "Ctrl+R", "Alt+H",  "Ctrl+P", "Ctrl+Q", "Ctrl+I", "Ctrl+D",
                              "Ctrl+Z", "Alt+Z",  "F10",    "F11",    "Ctrl+L", "F5",     "F6",     "F7",
                              "F8",     "F9",     "Ctrl+Y", "Ctrl+H", "Alt+Backspace", "Shift+Alt+Backspace"};
    EXPECT_EQ(shortcuts.size(), std::size(expected));
    for (const char* k : expected) EXPECT_EQ(shortcuts.count(k), 1u) << k;
}

TEST(MainMenu, AltLettersOpenMenusUnlessAnItemTakesTheKey) {
    EXPECT_EQ(tx::MenuForAltLetter('f'), 0);
    EXPECT_EQ(tx::MenuForAltLetter('C'), 2);
    EXPECT_EQ(tx::MenuForAltLetter('O'), 4);
    EXPECT_EQ(tx::MenuForAltLetter('T'), 5);
    EXPECT_EQ(tx::MenuForAltLetter('H'), -1) << "Alt+H is Humanize";
    EXPECT_EQ(tx::MenuForAltLetter('Q'), -1);
    EXPECT_EQ(tx::AcceleratorOf("Save &as..."), 'A');
    EXPECT_EQ(tx::AcceleratorOf("Rock && &Roll"), 'R');
    EXPECT_EQ(tx::AcceleratorOf("Midi only"), 0);
}
