// The Tools menu's slots: what the menu shows, the slot the tools window
// selects, reordering, arguments, and naming a chosen program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "desktop/Tools.h"

using tx::TToolSlots;

namespace {

TToolSlots named(std::vector<std::string> names) {
    TToolSlots slots;
    for (size_t i = 0; i < names.size(); ++i) slots[i].Name = names[i];
    return slots;
}

}  // namespace

TEST(Tools, MenuShowsNamedSlotsAndOnlyTheCompanionGetsCtrlF) {
    auto entries = tx::ToolMenuEntries(named({"Sonelo", "", "Editor", "sonelo"}));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Slot, 0);
    EXPECT_EQ(entries[0].Shortcut, "Ctrl+F");
    EXPECT_EQ(entries[1].Slot, 2);
    EXPECT_EQ(entries[1].Caption, "Editor");
    EXPECT_EQ(entries[2].Shortcut, "") << "the shortcut is for the exact name";
    EXPECT_TRUE(tx::IsCompanionName("SONELO"));
    EXPECT_FALSE(tx::IsCompanionName("Sonelo2"));
    EXPECT_TRUE(tx::ToolMenuEntries(TToolSlots{}).empty());
}

TEST(Tools, TheWindowSelectsTheSlotAfterTheLastNamedOne) {
    struct Case {
        std::vector<std::string> names;
        int slot;
    } cases[] = {
        {{}, 0},
        {{"a"}, 1},
        {{"a", "", "c"}, 3},
        {{"", "", "", "d"}, 4},
        {{"a", "b", "c", "d", "e"}, 4},
        {{"", "", "", "", "e"}, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(tx::ToolSlotToEdit(named(c.names)), c.slot) << c.names.size();
}

TEST(Tools, MovingASlotKeepsTheOthersInOrder) {
    struct Case {
        int from, to;
        std::string order;
    } cases[] = {{0, 3, "bcdae"}, {4, 0, "eabcd"}, {2, 2, "abcde"}, {1, 9, "abcde"}, {3, 1, "adbce"}};
    for (const auto& c : cases) {
        auto slots = named({"a", "b", "c", "d", "e"});
        tx::MoveToolSlot(slots, c.from, c.to);
        std::string order;
        for (const auto& s : slots) order += s.Name;
        EXPECT_EQ(order, c.order) << c.from << "->" << c.to;
    }
}

TEST(Tools, ArgumentsAreWholePathsInFlagOrder) {
    tx::TToolSlot slot{"Ed", "/opt/ed", 0};
    const std::string samples = "/home/me/My Samples/";
    const std::string wav = "/tmp/a song; rm -rf ~.wav";
    struct Case {
        int32_t params;
        std::string wav;
        std::vector<std::string> args;
    } cases[] = {
        {0, wav, {}}, {1, wav, {samples}}, {2, wav, {wav}}, {3 | 8 | 16, wav, {samples, wav}},
        {2, "", {}},  // nothing rendered yet: no empty argument
    };
    for (const auto& c : cases) {
        slot.Params = c.params;
        EXPECT_EQ(tx::ToolArguments(slot, samples, c.wav), c.args) << c.params;
    }
}

TEST(Tools, AChosenProgramIsNamedByItsDesktopEntry) {
    txtest::TempDir dir;
    const auto apps = (dir / "applications").string();
    std::filesystem::create_directories(apps);
    auto entry = [&](const std::string& file, const std::string& text) { std::ofstream(apps + "/" + file) << text; };
    entry("wave.desktop", "[Desktop Entry]\nType=Application\nName=Wave Editor\nName[de]=Wellen\nExec=waved %F\n");
    entry("quoted.desktop", "[Desktop Entry]\nName=Quoted Tool\nExec=\"/opt/my tools/qt ool\" --x\n");
    entry("action.desktop",
          "[Desktop Entry]\nName=Main\nExec=other\n[Desktop Action new]\nName=New window\nExec=/usr/bin/late\n");
    struct Case {
        std::string program, name;
    } cases[] = {
        {"/usr/bin/waved", "Wave Editor"},
        {"/opt/my tools/qt ool", "Quoted Tool"},
        {"/usr/bin/late", "late"},  // an action's Exec is not the entry's program
        {"/home/me/bin/drum.kit.sh", "drum.kit"},
        {"/home/me/bin/plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(tx::ToolNameForProgram(c.program, {apps, apps + "/missing"}), c.name);
}
