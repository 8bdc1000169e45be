// The settings store: its encodings, case-blind sections and names, unknown
// values kept, a first start's save byte for byte, the dock errors and the clamps that keep damaged values from sizing
// buffers.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "desktop/DesktopSettings.h"

namespace {

using tx::TSettingsStore;

std::string readText(const std::filesystem::path& p) {
    const std::vector<unsigned char> b = txtest::ReadFileBytes(p);
    return std::string(b.begin(), b.end());
}
void writeText(const std::filesystem::path& p, const std::string& text) {
    txtest::WriteFileBytes(p, std::vector<unsigned char>(text.begin(), text.end()));
}

struct TIntCase {
    const char* Text;
    int32_t Want;  // with default -5
};
void PrintTo(const TIntCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }
class StoredInteger : public ::testing::TestWithParam<TIntCase> {};

TEST_P(StoredInteger, ReadsAsTheStoreEncodesIt) {
    const TSettingsStore store = TSettingsStore::Parse(std::string("[TX SETTINGS]\nV=") + GetParam().Text + "\n");
    EXPECT_EQ(store.ReadInteger("TX SETTINGS", "V", -5), GetParam().Want);
}

INSTANTIATE_TEST_SUITE_P(Store, StoredInteger,
                         ::testing::Values(TIntCase{"4410", 4410}, TIntCase{"-1", -1}, TIntCase{"0x1F", 31},
                                           TIntCase{"0X1f", 31}, TIntCase{"$1F", 31}, TIntCase{"$FFFFFFFF", -1},
                                           TIntCase{"0x", -5}, TIntCase{"$", -5}, TIntCase{"abc", -5},
                                           TIntCase{"12abc", -5}, TIntCase{"", -5}, TIntCase{" 7", -5},
                                           TIntCase{"2147483648", -5}, TIntCase{"0x100000000", -5}));

TEST(Store, SectionsAndNamesMatchWithoutCaseAndBooleansAreAnyNonZero) {
    const TSettingsStore store = TSettingsStore::Parse(
        "[tx settings]\r\nEASY MOVE=2\r\nsurround=0\r\nName=C:\\Loops\\a b.txp \r\n"
        "[TX SETTINGS\\PlayListForm]\nLeft=$10\n");
    EXPECT_TRUE(store.ReadBool("TX SETTINGS", "Easy Move", false));
    EXPECT_FALSE(store.ReadBool("TX SETTINGS", "Surround", true));
    EXPECT_TRUE(store.ReadBool("TX SETTINGS", "Splash Screen", true));  // missing: the default
    EXPECT_EQ(store.ReadString("Tx Settings", "NAME", ""), "C:\\Loops\\a b.txp ");
    EXPECT_EQ(store.ReadInteger("tx settings\\playlistform", "left", 0), 16);

    // A lone carriage return ends a line too, so what is read can be written back.
    TSettingsStore cr = TSettingsStore::Parse("[TX TOOL 3]\rFileName=/a\rb=1\r\rName=x\r\n");
    EXPECT_EQ(cr.ReadString("TX TOOL 3", "FileName", "?"), "/a");
    EXPECT_EQ(cr.ReadInteger("TX TOOL 3", "b", 0), 1);
    EXPECT_EQ(cr.ReadString("TX TOOL 3", "Name", "?"), "x");
}

TEST(Store, WritesKeepTheFirstSpellingAndRefuseLineBreaks) {
    TSettingsStore store = TSettingsStore::Parse("[tx settings]\nwindowx=1\n");
    store.WriteInteger("TX SETTINGS", "WindowX", 5);
    store.WriteString("TX SETTINGS", "Last Opened 0", "/tmp/a\nInjected=1");
    store.WriteString("TX SETTINGS", "Bad\nName", "x");
    EXPECT_EQ(store.Text(), "[tx settings]\nwindowx=5\n");
}

TEST(Store, AHugeDamagedFileLoadsInLinearTime) {
    // 200000 distinct values in one section: a quadratic look-up would take minutes.
    std::string text = "[TX SETTINGS]\n";
    for (int i = 0; i < 200000; ++i) text += "V" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    const TSettingsStore store = TSettingsStore::Parse(text);
    EXPECT_EQ(store.ReadInteger("tx settings", "v199999", 0), 199999);
    EXPECT_EQ(store.Sections()[0].Values.size(), 200000u);
}

class Settings : public ::testing::Test {
protected:
    static std::string golden() {
        return readText(std::filesystem::path(TROVAMIX_TEST_DATA) / "settings" / "first-start.ini");
    }
    // What the program adds on a first start with one sound output, one MIDI
    // output and one MIDI input: "-none-" chosen in each list, the first
    // style, and the default length as the engine's whole blocks.
    static tx::TDesktopSettings AsFirstStarted(tx::TDesktopSettings s) {
        if (!s.DSDriver) s.DSDriver = 1;
        if (!s.InputDevice) s.InputDevice = 1;
        if (!s.OutputDevice) s.OutputDevice = 1;
        if (!s.Style) s.Style = 0;
        s.BufferLength = s.BufferLength / 576 * 576;
        return s;
    }
    txtest::TempDir dir;
};

TEST_F(Settings, AFirstStartSavesEveryDefaultInTheSaveOrder) {
    const tx::TDesktopSettings first = AsFirstStarted(tx::LoadDesktopSettings(TSettingsStore{}));
    const TSettingsStore saved = tx::SaveDesktopSettings(first, TSettingsStore{});
    EXPECT_EQ(saved.Text(), golden());
    const std::string path = (dir / "cfg" / "Trovamix.ini").string();
    ASSERT_EQ(saved.SaveFile(path), "");
    EXPECT_EQ(readText(path), golden());
    // What was saved reads back as what was loaded.
    const tx::TDesktopSettings again = tx::LoadDesktopSettings(TSettingsStore::LoadFile(path));
    EXPECT_EQ(tx::SaveDesktopSettings(AsFirstStarted(again), {}).Text(), golden());
    EXPECT_EQ(again.Favorites, std::vector<std::string>{});
}

TEST_F(Settings, AMissingOrDamagedFileMeansEveryDefault) {
    writeText(dir / "bin.ini", std::string("\0\xff[\n=\n[]\n", 9));
    for (const std::string& path : {(dir / "none.ini").string(), (dir / "bin.ini").string(), dir.path().string()}) {
        const tx::TDesktopSettings s = tx::LoadDesktopSettings(TSettingsStore::LoadFile(path));
        EXPECT_EQ(tx::SaveDesktopSettings(AsFirstStarted(s), {}).Text(), golden()) << path;
    }
}

TEST_F(Settings, SavingKeepsUnknownValuesStaleFavouritesAndOlderRecentEntries) {
    const TSettingsStore old = TSettingsStore::Parse(
        "[TX FAVORITES]\nCount=3\n0=/a\n1=/b\n2=/c\n"
        "[TX SETTINGS]\nLast Opened 3=/old.txp\nFuture Option=yes\n"
        "[Other Program]\nX=1\n");
    tx::TDesktopSettings s = tx::LoadDesktopSettings(old);
    ASSERT_EQ(s.Favorites, (std::vector<std::string>{"/a", "/b", "/c"}));
    s.Favorites->pop_back();
    s.RecentFiles[3].clear();
    const TSettingsStore saved = tx::SaveDesktopSettings(s, old);
    EXPECT_EQ(saved.ReadInteger("TX FAVORITES", "Count", -1), 2);
    EXPECT_EQ(saved.ReadString("TX FAVORITES", "2", ""), "/c");  // stale, left in place
    EXPECT_EQ(saved.ReadString("TX SETTINGS", "Last Opened 3", ""), "/old.txp");
    EXPECT_EQ(saved.ReadString("TX SETTINGS", "Future Option", ""), "yes");
    EXPECT_EQ(saved.ReadInteger("Other Program", "X", 0), 1);
}

TEST(SettingsClamps, BufferLengthsStayWithinHalfASecondAndFavouritesWithinTen) {
    std::string text = "[TX SETTINGS]\nBuffer Length=2000000000\nAhead Length=-4\n[TX FAVORITES]\nCount=100000\n";
    for (int i = 0; i < 12; ++i) text += std::to_string(i) + "=/f" + std::to_string(i) + "\n";
    const tx::TDesktopSettings s = tx::LoadDesktopSettings(TSettingsStore::Parse(text));
    EXPECT_EQ(s.BufferLength, tx::MaxBufferFrames);
    EXPECT_EQ(s.AheadLength, 1);
    ASSERT_EQ(s.Favorites->size(), 10u);
    EXPECT_EQ(s.Favorites->back(), "/f9");
    const tx::TDesktopSettings kept = tx::LoadDesktopSettings(TSettingsStore::Parse("[TX SETTINGS]\nBuffer Length=1000\n"));
    EXPECT_EQ(kept.BufferLength, 1000);  // the engine rounds it; the store keeps what it was given
}

TEST(SettingsClamps, DeviceIndicesClampIntoTheirList) {
    EXPECT_EQ(tx::ClampListIndex(7, 3), 2);
    EXPECT_EQ(tx::ClampListIndex(-2, 3), 0);
    EXPECT_EQ(tx::ClampListIndex(1, 3), 1);
    EXPECT_EQ(tx::ClampListIndex(5, 0), 0);
}

TEST(Docks, PanelsRoundTripAndUnnamedOnesFailWithTheirTextWhileTheRestAreSaved) {
    std::vector<tx::TDockPanel> panels = tx::TDesktopSettings::DefaultDocks();
    panels[1] = {"MenuToolWindow", false, "", false, 0, 0, 300, 200};  // floating
    panels.push_back({"", true, "TopDock", true, 0, 0, 0, 0});
    panels.push_back({"Orphan", true, "", true, 0, 0, 0, 0});
    tx::TSettingsStore store;
    const std::vector<std::string> errors = tx::SaveDockPositions(store, panels);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "Cannot save tool window's position because Name property is not set",
                          "Cannot save tool window's position because DockedTo's Name property not set"}));
    EXPECT_FALSE(store.HasSection("Orphan"));
    std::vector<tx::TDockPanel> loaded = tx::TDesktopSettings::DefaultDocks();
    tx::LoadDockPositions(store, loaded);
    EXPECT_EQ(loaded[1], panels[1]);
    EXPECT_EQ(loaded[2], panels[2]);

    // A damaged dock name keeps the panel where it is rather than losing it on the next save.
    const TSettingsStore damaged = TSettingsStore::Parse("[MenuToolWindow]\nDockedTo=TopDo\r5Pck\n");
    loaded = tx::TDesktopSettings::DefaultDocks();
    tx::LoadDockPositions(damaged, loaded);
    EXPECT_EQ(loaded[1].DockedTo, tx::TDesktopSettings::DefaultDocks()[1].DockedTo);
    EXPECT_TRUE(loaded[1].Docked);
}

TEST(Placement, EachValueDefaultsToTheWindowsOwn) {
    const TSettingsStore store = TSettingsStore::Parse("[TX SETTINGS\\PlayListForm]\nTop=9\nWidth=junk\n");
    EXPECT_EQ(tx::LoadWindowPlacement(store, "TX SETTINGS", "PlayListForm", {1, 2, 3, 4}),
              (tx::TWindowPlacement{1, 9, 3, 4}));
}

TEST(SettingsPath, FollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg/", 1);
    EXPECT_EQ(tx::SettingsFilePath(), "/tmp/cfg/Trovamix/Trovamix.ini");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
