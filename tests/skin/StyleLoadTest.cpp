// Loading a style: the file table in order, strips cut once with their
// masks, the sizes each file sets, the fallback file by file (style folder,
// Default folder, built-in copy) and the style list with its choice.
#include <gtest/gtest.h>

#include "BmpBytes.h"
#include "StyleFolder.h"
#include "TestSupport.h"
#include "skin/Style.h"
#include "skin/StyleCheck.h"
#include "skin/StyleList.h"

namespace {

namespace fs = std::filesystem;
using tx::TStyleOrigin;

constexpr uint32_t DefaultColour = 0x102030, StyleColour = 0x405060;

class StyleLoad : public ::testing::Test {
protected:
    void SetUp() override {
        txtest::WriteStyleFolder(dir / "Default", DefaultColour, "Hint=|from default\n");
        fs::create_directories(dir / "Mine");
    }
    tx::TStyleSources sources() const {
        return {(dir / "Mine").string() + "/", (dir / "Default").string() + "/", nullptr};
    }
    void put(const std::string& name, int w, int h, uint32_t colour = StyleColour) {
        txtest::WriteBmp(dir / "Mine" / name, txtest::MakeBitmap(w, h, [&](int, int) { return colour; }));
    }
    txtest::TempDir dir;
};

TEST_F(StyleLoad, AStyleWithOnlyBackTakesEverythingElseFromDefault) {
    put("back.bmp", 20, 10);
    const tx::TStyleData s = tx::LoadStyleData(sources());
    ASSERT_EQ(s.Items.size(), tx::StyleFileTable().size());
    for (size_t i = 0; i < s.Items.size(); ++i) {
        const tx::TStyleItem& item = s.Items[i];
        EXPECT_EQ(item.Entry, &tx::StyleFileTable()[i]) << "loading order";
        const bool mine = item.Entry->Name == "back.bmp";
        const bool defaultHasIt = item.Entry->Name != "StartSnd.WAV";
        EXPECT_EQ(item.Origin, mine           ? TStyleOrigin::Style
                               : defaultHasIt ? TStyleOrigin::DefaultFolder
                                              : TStyleOrigin::Missing)
            << item.Entry->Name;
    }
    const tx::TStyleItem* back = s.Item("BACK.BMP");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Picture.Width, 20);
    EXPECT_EQ(back->Picture.Pixels[0], 0xFF000000u | StyleColour);
    EXPECT_TRUE(s.HasConfig);
    EXPECT_EQ(s.Config.Hint, "FROM DEFAULT");
    EXPECT_TRUE(s.Notes.empty());
}

TEST_F(StyleLoad, FilesSetTheirSizes) {
    put("MenuBack.bmp", 300, 80);
    const tx::TStyleSizes z = tx::LoadStyleData(sources()).Sizes;
    EXPECT_EQ(z.MainClientWidth, 300);
    EXPECT_EQ(z.MenuPic.Height, 80);
    EXPECT_EQ(z.BottomPic.Height, 16);
    EXPECT_EQ(z.MainMenuPic.Height, 18);
    EXPECT_EQ(z.CaptionBar.Height, 22);
    EXPECT_EQ(z.LeftSideWidth, 8);
    EXPECT_EQ(z.PatPad.Width, 36);
    EXPECT_EQ(z.PatPad.Height, 36);
    EXPECT_EQ(z.MenuBar.Width, 400);
}

TEST_F(StyleLoad, StripsAreCutByCountOrByFixedWidth) {
    const tx::TStyleData s = tx::LoadStyleData(sources());
    struct TWant {
        const char* Name;
        size_t Frames;
        int W, H;
    };
    for (const TWant& w : {TWant{"NoteBtn.bmp", 4, 16, 27}, TWant{"digits.bmp", 11, 11, 17},
                           TWant{"MiddleWheel.bmp", 23, 23, 23}, TWant{"SmallWheel.bmp", 16, 14, 13},
                           TWant{"VolSliderKnob.bmp", 3, 20, 9}, TWant{"Keyb_Keys.bmp", 8, 16, 12}}) {
        const tx::TStrip& strip = s.Item(w.Name)->Strip;
        EXPECT_EQ(strip.Frames.size(), w.Frames) << w.Name;
        EXPECT_EQ(strip.FrameWidth, w.W) << w.Name;
        EXPECT_EQ(strip.FrameHeight, w.H) << w.Name;
    }
}

TEST_F(StyleLoad, UnusableFilesCountAsMissingAndFallBack) {
    txtest::WriteText(dir / "Mine" / "TitleBar.bmp", "not a bitmap");
    put("digits.bmp", 10, 17);      // narrower than its 11 frames
    put("SMALLWHEEL.BMP", 13, 13);  // narrower than one 14-pixel frame, in capitals
    put("pan_fx.bmp", 5, 5);        // lower case still found
    const tx::TStyleData s = tx::LoadStyleData(sources());
    EXPECT_EQ(s.Item("TitleBar.bmp")->Origin, TStyleOrigin::DefaultFolder);
    EXPECT_EQ(s.Item("TitleBar.bmp")->Picture.Width, 400);
    EXPECT_EQ(s.Item("digits.bmp")->Origin, TStyleOrigin::DefaultFolder);
    EXPECT_EQ(s.Item("SmallWheel.bmp")->Origin, TStyleOrigin::DefaultFolder);
    EXPECT_EQ(s.Item("Pan_FX.bmp")->Origin, TStyleOrigin::Style);
    ASSERT_EQ(s.Notes.size(), 3u);
    EXPECT_EQ(s.Notes[0].File, "TitleBar.bmp");
}

TEST_F(StyleLoad, FilesMissingFromBothFoldersComeFromTheBuiltInCopy) {
    fs::remove(dir / "Default" / "PosLed.bmp");
    fs::remove(dir / "Default" / "config.txt");
    fs::remove(dir / "Default" / "LoopBtn.bmp");
    const std::vector<uint8_t> led = txtest::EncodeBmp(txtest::MakeBitmap(6, 3, [](int, int) { return 0xFFu; }));
    static const std::string config = "ScopeCol=$FF\n";
    std::vector<std::string> asked;
    tx::TStyleSources src = sources();
    src.Embedded = [&](std::string_view name) -> const tx::TEmbeddedFile* {
        static tx::TEmbeddedFile file;
        asked.emplace_back(name);
        if (name == "PosLed.bmp")
            file = {"PosLed.bmp", led.data(), led.size()};
        else if (name == "config.txt")
            file = {"config.txt", reinterpret_cast<const unsigned char*>(config.data()), config.size()};
        else
            return nullptr;
        return &file;
    };
    const tx::TStyleData s = tx::LoadStyleData(src);
    EXPECT_EQ(s.Item("PosLed.bmp")->Origin, TStyleOrigin::Embedded);
    EXPECT_EQ(s.Item("PosLed.bmp")->Strip.FrameWidth, 3);
    EXPECT_EQ(s.Config.ScopeCol, 0xFFu);
    EXPECT_EQ(s.Item("LoopBtn.bmp")->Origin, TStyleOrigin::Missing);  // the built-in glyph stays
    EXPECT_EQ(asked, (std::vector<std::string>{"PosLed.bmp", "LoopBtn.bmp", "config.txt", "StartSnd.WAV"}));
}

TEST_F(StyleLoad, NoFoldersAtAllLeaveEveryItemMissing) {
    const tx::TStyleData s = tx::LoadStyleData({});
    for (const tx::TStyleItem& item : s.Items) EXPECT_EQ(item.Origin, TStyleOrigin::Missing);
    EXPECT_FALSE(s.HasConfig);
    EXPECT_EQ(s.Sizes.MainClientWidth, 0);
    EXPECT_EQ(tx::StyleFile(sources(), "StartSnd.WAV"), "");
}

TEST(BuiltInStyle, GivesEveryFileAndPassesTheChecker) {
    const tx::TStyleData s = tx::LoadStyleData({"", "", &tx::FindEmbeddedStyleFile});
    for (const tx::TStyleItem& item : s.Items) EXPECT_EQ(item.Origin, TStyleOrigin::Embedded) << item.Entry->Name;
    EXPECT_TRUE(s.Config.Problems.empty());
    EXPECT_GT(s.Sizes.MainClientWidth, 0);
    // The same files as a folder beside the program: nothing to report.
    const fs::path built = fs::path(TROVAMIX_BINARY_DIR) / "Styles" / "Default";
    if (!fs::exists(built / "config.txt")) GTEST_SKIP() << "no built Default style folder";
    const tx::TStyleReport report = tx::CheckStyle({built.string() + "/", "", nullptr});
    EXPECT_EQ(report.Problems, std::vector<std::string>{});
    EXPECT_EQ(report.Fallbacks, std::vector<std::string>{});
}

TEST(Strip, MaskedStripsTurnTheBottomLeftColourTransparent) {
    // 4x2, two frames; the bottom-left pixel is 0xFF00FF.
    const tx::TBitmap bmp =
        txtest::MakeBitmap(4, 2, [](int x, int y) { return y == 1 && x != 1 ? 0xFF00FFu : 0x000100u * x; });
    const tx::TStrip masked = tx::LoadStrip(bmp, {2, 0, true});
    ASSERT_EQ(masked.Frames.size(), 2u);
    EXPECT_EQ(masked.MaskColour, 0xFFFF00FFu);
    EXPECT_EQ(masked.Frames[0].Pixels, (std::vector<uint32_t>{0xFF000000u, 0xFF000100u, 0u, 0xFF000100u}));
    EXPECT_EQ(masked.Frames[1].Pixels, (std::vector<uint32_t>{0xFF000200u, 0xFF000300u, 0u, 0u}));
    const tx::TStrip opaque = tx::LoadStrip(bmp, {2, 0, false});
    EXPECT_EQ(opaque.Frames[1].Pixels[3], 0xFFFF00FFu);
}

TEST(Strip, DivisorsStayAtLeastOneAndZeroWidthFramesMeanMissing) {
    const tx::TBitmap bmp = txtest::MakeBitmap(7, 2, [](int x, int) { return uint32_t(x); });
    EXPECT_EQ(tx::LoadStrip(bmp, {0, 0, false}).Frames.size(), 1u);  // no count: one frame
    EXPECT_EQ(tx::LoadStrip(bmp, {-3, 0, false}).FrameWidth, 7);
    EXPECT_EQ(tx::LoadStrip(bmp, {3, 0, false}).FrameWidth, 2);  // the rest column is dropped
    EXPECT_TRUE(tx::LoadStrip(bmp, {8, 0, false}).Empty());
    EXPECT_TRUE(tx::LoadStrip(bmp, {0, 8, false}).Empty());
    EXPECT_TRUE(tx::LoadStrip({}, {2, 0, false}).Empty());
    EXPECT_TRUE(tx::LoadStrip(tx::TBitmap{3, 3, {}}, {1, 0, false}).Empty());  // pixels do not match the size
}

TEST(Strip, CutRectClipsToThePicture) {
    const tx::TBitmap bmp = txtest::MakeBitmap(3, 2, [](int x, int y) { return uint32_t(10 * y + x); });
    const tx::TBitmap cut = tx::CutRect(bmp, 2, -1, 2, 3);
    EXPECT_EQ(cut.Pixels, (std::vector<uint32_t>{0, 0, 0xFF000002u, 0, 0xFF00000Cu, 0}));
    EXPECT_TRUE(tx::CutRect(bmp, 0, 0, 0, 5).Pixels.empty());
    EXPECT_EQ(tx::CutRect(bmp, 2147483647, 2147483647, 1, 1).Pixels, std::vector<uint32_t>{0});
}

class StyleListTest : public ::testing::Test {
protected:
    txtest::TempDir program, user;
};

TEST_F(StyleListTest, ListsProgramStylesThenUserStylesAndPicksDefaultInAnyCase) {
    for (const char* name : {"Chrome", "default"}) fs::create_directories(program / "Styles" / name);
    txtest::WriteText(program / "Styles" / "notes.txt", "not a folder");
    fs::create_directories(user / "Neon");
    const auto styles = tx::ListStyles(program.path().string(), user.path().string());
    ASSERT_EQ(styles.size(), 3u);
    EXPECT_EQ(styles[2].Name, "Neon");
    EXPECT_EQ(styles[2].Folder, (user / "Neon").string() + "/");
    const int def = tx::DefaultStyleIndex(styles);
    ASSERT_GE(def, 0);
    EXPECT_EQ(styles[def].Name, "default");
    EXPECT_EQ(tx::ChooseStyle(styles, std::nullopt), def);
    EXPECT_EQ(tx::ChooseStyle(styles, 2), 2);
    EXPECT_EQ(tx::ChooseStyle(styles, 3), def);  // a style removed since the last run
    EXPECT_EQ(tx::ChooseStyle(styles, -1), def);
}

TEST_F(StyleListTest, NoStylesFolderMeansTheBuiltInStyle) {
    const auto styles = tx::ListStyles(program.path().string(), "");
    EXPECT_TRUE(styles.empty());
    EXPECT_EQ(tx::ChooseStyle(styles, 0), -1);
    fs::create_directories(program / "Styles" / "Chrome");
    EXPECT_EQ(tx::ChooseStyle(tx::ListStyles(program.path().string(), ""), 4), -1);
}

TEST(StyleListEnv, UserFolderFollowsXdgDataHome) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "", home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(tx::UserStylesFolder(), "/tmp/xdg/Trovamix/Styles/");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored, as the base directory rules say
    setenv("HOME", "/home/me", 1);
    EXPECT_EQ(tx::UserStylesFolder(), "/home/me/.local/share/Trovamix/Styles/");
    setenv("HOME", home.c_str(), 1);
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
