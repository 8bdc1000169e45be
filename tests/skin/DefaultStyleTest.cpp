// The generated default style: complete, its strips cut cleanly into frames,
// every control of the design layout inside its panel and as large as its
// art, "config.txt" saying what the layout says, and the copy compiled into
// the program byte for byte the files on disk.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "skin/DefaultLayout.h"
#include "skin/EmbeddedStyle.h"
#include "desktop/MainMenu.h"

namespace tx {
extern const TEmbeddedFile EmbeddedStyleFiles[];
extern const size_t EmbeddedStyleFileCount;
}  // namespace tx

namespace {

namespace fs = std::filesystem;
namespace layout = tx::DefaultLayout;

const fs::path Build = TROVAMIX_BINARY_DIR;
const fs::path StyleDir = Build / "Styles" / "Default";

std::vector<uint8_t> readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
uint32_t le(const std::vector<uint8_t>& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
    return v;
}
uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) << 24 | b.at(at + 1) << 16 | b.at(at + 2) << 8 | b.at(at + 3);
}

// Just enough of a 24-bit BMP to check the generator's output.
struct TBmp {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Bytes;
    uint32_t BottomLeft() const { return Pixel(0, Height - 1); }
    uint32_t Pixel(int x, int y) const {  // 0xRRGGBB; rows are stored bottom-up
        size_t stride = (size_t(Width) * 3 + 3) & ~size_t(3);
        return le(Bytes, le(Bytes, 10, 4) + stride * (Height - 1 - y) + 3 * size_t(x), 3);
    }
};
TBmp readBmp(const fs::path& p) {
    TBmp bmp;
    bmp.Bytes = readAll(p);
    const auto& b = bmp.Bytes;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return {};
    EXPECT_EQ(le(b, 14, 4), 40u) << p;
    EXPECT_EQ(le(b, 28, 2), 24u) << p << ": not 24-bit";
    EXPECT_EQ(le(b, 30, 4), 0u) << p << ": compressed";
    bmp.Width = int(le(b, 18, 4));
    bmp.Height = int(le(b, 22, 4));
    size_t stride = (size_t(bmp.Width) * 3 + 3) & ~size_t(3);
    EXPECT_EQ(b.size(), le(b, 10, 4) + stride * bmp.Height) << p << ": pixel data size";
    return bmp;
}

struct TStripCase {
    const char* File;
    int Frames;      // frames, or 0 with a fixed frame width
    int FrameWidth;  // expected frame width
    int FrameHeight;
    bool Masked;
};

// Frame counts are the loader's; frame sizes are the ones the controls are laid out for.
const TStripCase Strips[] = {
    {"NoteBtn.bmp", 4, 16, 27, false},
    {"PosLed.bmp", 2, 16, 8, false},
    {"HSliderKnob.bmp", 2, 9, 16, false},
    {"Keyb.bmp", 2, 16, 56, false},
    {"Keyb_Keys.bmp", 8, 16, 12, true},
    {"PLBullet.bmp", 2, 12, 12, true},
    {"LoopBtn.bmp", 2, 22, 18, false},
    {"PlayBtn.bmp", 2, 22, 18, false},
    {"ScopeMute.bmp", 2, 22, 18, false},
    {"PatPad.bmp", 10, 36, 36, false},
    {"MinClose.bmp", 4, 14, 14, false},
    {"UpDown.bmp", 2, 16, 26, false},
    {"FX_Btns.bmp", 8, 22, 18, false},
    {"digits.bmp", 11, 11, 17, false},
    {"MiddleWheel.bmp", 0, 23, 23, false},
    {"SmallWheel.bmp", 0, 14, 13, false},
    {"VolSliderKnob.bmp", 3, 20, 9, false},
    {"Volumeter.bmp", 2, 49, 4, false},
    {"SetBtn.bmp", 2, 64, 16, false},
    {"Zipped.bmp", 2, 48, 12, false},
    {"MuteBtn.bmp", 2, 14, 14, false},
    {"SelectBtn.bmp", 2, 14, 14, false},
    {"MenuItems.bmp", 2, layout::WindowWidth, 18, false},
};

class DefaultStyleStrip : public testing::TestWithParam<TStripCase> {};

TEST_P(DefaultStyleStrip, CutsIntoWholeFramesOfTheLaidOutSize) {
    const TStripCase& c = GetParam();
    TBmp bmp = readBmp(StyleDir / c.File);
    ASSERT_GT(bmp.Width, 0) << c.File << " missing or not a BMP";
    if (c.Frames) {
        EXPECT_EQ(bmp.Width % c.Frames, 0) << "a frame count must divide the width";
        EXPECT_EQ(bmp.Width / c.Frames, c.FrameWidth);
    } else {
        EXPECT_EQ(bmp.Width % c.FrameWidth, 0) << "a fixed frame width must divide the width";
        EXPECT_GE(bmp.Width / c.FrameWidth, 2);
    }
    EXPECT_EQ(bmp.Height, c.FrameHeight);
    if (c.Masked) {
        EXPECT_EQ(bmp.BottomLeft(), 0xFF00FFu) << "the mask colour sits in the bottom-left pixel";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DefaultStyleStrip, testing::ValuesIn(Strips), [](const auto& info) {
    std::string n = info.param.File;
    return n.substr(0, n.find('.'));
});

TEST(DefaultStyle, PicturesMatchThePanelsTheyWallpaper) {
    const std::map<std::string, std::pair<int, int>> pictures = {
        {"MenuBack.bmp", {layout::WindowWidth, 96}},
        {"BottomLine.bmp", {layout::WindowWidth, 16}},
        {"MenuLine.bmp", {layout::WindowWidth, 18}},
        {"TitleBar.bmp", {layout::WindowWidth, 22}},
        {"TitleBar_Off.bmp", {layout::WindowWidth, 22}},
        {"back.bmp", {32, 32}},
        {"LeftSide.bmp", {layout::SideWidth, 32}},
        {"RightSide.bmp", {layout::SideWidth, 32}},
        {"Vol_FX.bmp", {16, 16}},
        {"Pan_FX.bmp", {16, 16}},
        {"Pitch_FX.bmp", {16, 16}},
        {"Mix_FX.bmp", {16, 16}},
        {"Reso_FX.bmp", {16, 16}},
        {"CutOff_FX.bmp", {16, 16}},
    };
    for (const auto& [file, size] : pictures) {
        TBmp bmp = readBmp(StyleDir / file);
        EXPECT_EQ(bmp.Width, size.first) << file;
        EXPECT_EQ(bmp.Height, size.second) << file;
    }
    for (const auto& [panel, file] : std::map<std::string, std::string>{{"CaptionPic", "TitleBar.bmp"},
                                                                        {"MainMenuPic", "MenuLine.bmp"},
                                                                        {"MenuPic", "MenuBack.bmp"},
                                                                        {"BottomPic", "BottomLine.bmp"}}) {
        TBmp bmp = readBmp(StyleDir / file);
        bool found = false;
        for (const auto& p : layout::Panels)
            if (p.Component == panel) {
                found = true;
                EXPECT_EQ(p.Width, bmp.Width) << panel;
                EXPECT_EQ(p.Height, bmp.Height) << panel;
            }
        EXPECT_TRUE(found) << panel;
    }
}

TEST(DefaultStyle, EveryControlLiesInsideItsPanelWithoutOverlap) {
    for (const auto& c : layout::Controls) {
        const layout::TPanelSize* panel = nullptr;
        for (const auto& p : layout::Panels)
            if (p.Panel == c.Panel) panel = &p;
        ASSERT_NE(panel, nullptr) << c.Name;
        EXPECT_GE(c.X, 0) << c.Name;
        EXPECT_GE(c.Y, 0) << c.Name;
        EXPECT_LE(c.X + c.Width, panel->Width) << c.Name;
        EXPECT_LE(c.Y + c.Height, panel->Height) << c.Name;
        for (const auto& o : layout::Controls) {
            if (&o == &c || o.Panel != c.Panel) continue;
            bool apart = c.X + c.Width <= o.X || o.X + o.Width <= c.X || c.Y + c.Height <= o.Y || o.Y + o.Height <= c.Y;
            EXPECT_TRUE(apart) << c.Name << " overlaps " << o.Name;
        }
    }
}

// A control's strip is drawn over the wallpaper it stands on, so the corners
// its rounded shape leaves free show the panel's own colour, masked or not.
TEST(DefaultStyle, StripCornersMatchTheWallpaperBehindThem) {
    TBmp menu = readBmp(StyleDir / "MenuBack.bmp"), back = readBmp(StyleDir / "back.bmp");
    const std::pair<const char*, const char*> transport[] = {
        {"StartButton", "PlayBtn.bmp"}, {"LoopButton", "LoopBtn.bmp"}, {"ScopeButton", "ScopeMute.bmp"},
        {"PatUpDown", "UpDown.bmp"},    {"BPMUpDown", "UpDown.bmp"},   {"PatPad", "PatPad.bmp"},
        {"FXVolBtn", "FX_Btns.bmp"},    {"FXNoteBtn", "FX_Btns.bmp"},
    };
    for (const auto& [control, file] : transport) {
        const auto* c = layout::FindControl(control);
        TBmp strip = readBmp(StyleDir / file);
        EXPECT_EQ(strip.Pixel(0, 0), menu.Pixel(c->X, c->Y)) << control;
        EXPECT_EQ(strip.Pixel(0, strip.Height - 1), menu.Pixel(c->X, c->Y + c->Height - 1)) << control;
    }
    TBmp title = readBmp(StyleDir / "TitleBar.bmp"), minClose = readBmp(StyleDir / "MinClose.bmp");
    const auto* closeBtn = layout::FindControl("CloseBtn");
    EXPECT_EQ(minClose.Pixel(minClose.Width - 1, 0), title.Pixel(closeBtn->X + closeBtn->Width - 1, closeBtn->Y));
    for (const char* file :
         {"NoteBtn.bmp", "PosLed.bmp", "SmallWheel.bmp", "SetBtn.bmp", "Zipped.bmp", "MuteBtn.bmp", "SelectBtn.bmp"}) {
        TBmp strip = readBmp(StyleDir / file);
        EXPECT_EQ(strip.Pixel(0, 0), back.Pixel(0, 0)) << file;
        EXPECT_EQ(strip.Pixel(strip.Width - 1, strip.Height - 1), back.Pixel(0, 0)) << file;
    }
}

// Controls whose size the style's strips decide must be laid out at that size.
TEST(DefaultStyle, ControlsAreAsLargeAsTheirArt) {
    struct TCase {
        const char* Control;
        const char* File;
        int Frames, WidthFactor, HeightFactor;
    };
    const TCase cases[] = {
        {"PatPad", "PatPad.bmp", 10, 1, 1},        {"MixVolumeter", "Volumeter.bmp", 2, 1, 2},
        {"PatNumDig", "digits.bmp", 11, 3, 1},     {"BPMDig", "digits.bmp", 11, 3, 1},
        {"PatUpDown", "UpDown.bmp", 2, 1, 1},      {"BPMUpDown", "UpDown.bmp", 2, 1, 1},
        {"StartButton", "PlayBtn.bmp", 2, 1, 1},   {"LoopButton", "LoopBtn.bmp", 2, 1, 1},
        {"ScopeButton", "ScopeMute.bmp", 2, 1, 1}, {"FXVolBtn", "FX_Btns.bmp", 8, 1, 1},
        {"FXNoteBtn", "FX_Btns.bmp", 8, 1, 1},     {"MinBtn", "MinClose.bmp", 4, 1, 1},
        {"CloseBtn", "MinClose.bmp", 4, 1, 1},     {"NewMainMenu", "MenuItems.bmp", 2, 1, 1},
    };
    for (const auto& c : cases) {
        const auto* ctl = layout::FindControl(c.Control);
        ASSERT_NE(ctl, nullptr) << c.Control;
        TBmp bmp = readBmp(StyleDir / c.File);
        EXPECT_EQ(ctl->Width, bmp.Width / c.Frames * c.WidthFactor) << c.Control;
        EXPECT_EQ(ctl->Height, bmp.Height * c.HeightFactor) << c.Control;
    }
    TBmp knob = readBmp(StyleDir / "VolSliderKnob.bmp");
    for (const char* s : {"MainVolSlider", "ShuffleSlider", "MainPitchSlider", "MainResoSlider", "MainCutOffSlider"})
        EXPECT_EQ(layout::FindControl(s)->Width, knob.Width / 3) << s;
}

TEST(DefaultStyle, ChannelRowFitsTheChannelArea) {
    const int area = layout::WindowWidth - 2 * layout::SideWidth;
    const int sizes[5][2] = {{15, 14}, {14, 14}, {64, 16}, {14, 14}, {256, 27}};  // knob with its border
    for (int i = 0; i < 5; ++i) {
        EXPECT_LE(layout::ChanBtns[2 * i] + sizes[i][0], area) << "item " << i;
        EXPECT_LE(layout::ChanBtns[2 * i + 1] + sizes[i][1], 27) << "item " << i;
        if (i) {
            EXPECT_GE(layout::ChanBtns[2 * i], layout::ChanBtns[2 * i - 2] + sizes[i - 1][0]) << "item " << i;
        }
    }
}

std::map<std::string, std::vector<std::string>> readConfig() {
    std::ifstream in(StyleDir / "config.txt", std::ios::binary);
    std::map<std::string, std::vector<std::string>> lines;  // key -> values, one entry per line
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '\'') continue;
        for (char& ch : line) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        lines[line.substr(0, eq)].push_back(line.substr(eq + 1));
    }
    return lines;
}

std::vector<int> numbers(const std::string& v) {
    std::vector<int> out;
    std::stringstream ss(v);
    for (std::string item; std::getline(ss, item, ',');)
        out.push_back(item.size() > 1 && item[0] == '$' ? std::stoi(item.substr(1), nullptr, 16) : std::stoi(item));
    return out;
}

TEST(DefaultStyle, ConfigSaysWhatTheLayoutSays) {
    auto cfg = readConfig();
    ASSERT_FALSE(cfg.empty());
    for (const auto& c : layout::Controls) {
        std::string key(c.Name);
        for (char& ch : key) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        ASSERT_EQ(cfg[key].size(), 1u) << c.Name;
        EXPECT_EQ(numbers(cfg[key][0]), (std::vector<int>{c.X, c.Y, c.Width, c.Height})) << c.Name;
    }
    EXPECT_EQ(numbers(cfg["CHANBTNS"].at(0)), std::vector<int>(layout::ChanBtns, layout::ChanBtns + 10));
    std::vector<int> seps = numbers(cfg["MENUSEP"].at(0));
    ASSERT_EQ(seps.size(), 6u) << "seven menus";
    for (size_t i = 0; i < seps.size(); ++i) EXPECT_GT(seps[i], i ? seps[i - 1] : 0);
    EXPECT_LT(seps.back(), layout::WindowWidth);
    ASSERT_EQ(cfg["DEFHOLE"].size(), 2u);
    for (const auto& hole : cfg["DEFHOLE"]) {
        std::vector<int> pts = numbers(hole);
        ASSERT_EQ(pts.size(), 6u) << hole;
        for (size_t i = 0; i < 6; i += 2) {
            EXPECT_TRUE(pts[i] <= 5 || pts[i] >= layout::WindowWidth - 5) << "a corner cut: " << hole;
            EXPECT_LE(pts[i + 1], 5) << hole;
        }
    }
    for (const char* font : {"TITLEFONT", "HINTFONT"}) EXPECT_EQ(cfg[font].at(0).rfind("DEJAVU SANS,", 0), 0u);
    EXPECT_EQ(numbers(cfg["GRAPHCOL"].at(0)).size(), 4u);
    EXPECT_EQ(numbers(cfg["SAMPLESCOPECOL"].at(0)).size(), 3u);
    EXPECT_EQ(numbers(cfg["SCOPECOL"].at(0)).size(), 1u);
    EXPECT_FALSE(cfg["HINT"].at(0).empty());
}

// The menu bar's picture must name the menus the bar opens, in their order.
TEST(DefaultStyle, MenuBarCaptionsAreTheMainMenus) {
    const auto& menus = tx::MainMenus();
    ASSERT_EQ(menus.size(), std::size(layout::MenuCaptions));
    for (size_t i = 0; i < menus.size(); ++i) {
        std::string caption;
        for (char ch : menus[i].Caption)
            if (ch != '&') caption += char(std::toupper(static_cast<unsigned char>(ch)));
        EXPECT_EQ(layout::MenuCaptions[i], caption);
        EXPECT_EQ(tx::AcceleratorOf(menus[i].Caption), layout::MenuCaptions[i][0]) << "the underlined letter";
    }
}

TEST(DefaultStyle, StartSoundAndSplashAreWhatTheProgramReads) {
    std::vector<uint8_t> wav = readAll(StyleDir / "StartSnd.WAV");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(le(wav, 22, 2), 2u);
    EXPECT_EQ(le(wav, 24, 4), 44100u);
    EXPECT_EQ(le(wav, 34, 2), 16u);
    double seconds = le(wav, 40, 4) / 4.0 / 44100.0;
    EXPECT_GT(seconds, 0.4);
    EXPECT_LT(seconds, 0.7);

    // A baseline JPEG (SOF0) of the splash window's size.
    std::vector<uint8_t> jpg = readAll(Build / "Title.JPG");
    ASSERT_GE(jpg.size(), 4u);
    EXPECT_EQ(jpg[0], 0xFF);
    EXPECT_EQ(jpg[1], 0xD8);
    size_t at = 2;
    while (at + 9 < jpg.size() && jpg[at] == 0xFF && jpg[at + 1] != 0xC0) {
        EXPECT_NE(jpg[at + 1], 0xC2) << "progressive";
        at += 2 + (jpg[at + 2] << 8 | jpg[at + 3]);
    }
    ASSERT_LT(at + 9, jpg.size()) << "no baseline frame header";
    EXPECT_EQ(jpg[at + 5] << 8 | jpg[at + 6], 390);
    EXPECT_EQ(jpg[at + 7] << 8 | jpg[at + 8], 299);
}

TEST(DefaultStyle, EmbeddedCopyIsTheFilesByteForByte) {
    size_t onDisk = 0;
    for (const auto& entry : fs::directory_iterator(StyleDir)) {
        std::string name = entry.path().filename().string();
        ++onDisk;
        std::vector<uint8_t> bytes = readAll(entry.path());
        std::string upper = name;
        for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        for (const std::string& asked : {name, upper}) {
            const tx::TEmbeddedFile* f = tx::FindEmbeddedStyleFile(asked);
            ASSERT_NE(f, nullptr) << asked;
            EXPECT_EQ(std::vector<uint8_t>(f->Data, f->Data + f->Size), bytes) << asked;
        }
    }
    EXPECT_EQ(onDisk, tx::EmbeddedStyleFileCount) << "every embedded file is on disk, and no more";
    EXPECT_EQ(tx::FindEmbeddedStyleFile("MenuBack"), nullptr);
    EXPECT_EQ(tx::FindEmbeddedStyleFile(""), nullptr);
}

TEST(DefaultStyle, ResourcesArePngsOfTheirSizes) {
    const std::map<std::string, std::pair<uint32_t, uint32_t>> sizes = {
        {"WAVE", {32, 32}},      {"LINE", {32, 32}},      {"Icon18", {18, 18}}, {"Icon48", {48, 48}},
        {"Icon128", {128, 128}}, {"Icon256", {256, 256}}, {"SKnob", {40, 9}},   {"SKnobH", {18, 16}},
    };
    for (const auto& [name, size] : sizes) {
        const tx::TEmbeddedFile* f = tx::FindEmbeddedResource(name);
        ASSERT_NE(f, nullptr) << name;
        std::vector<uint8_t> bytes(f->Data, f->Data + f->Size);
        EXPECT_EQ(bytes, readAll(Build / "resources" / (name + ".png"))) << name;
        ASSERT_GT(bytes.size(), 24u);
        EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG") << name;
        EXPECT_EQ(be32(bytes, 16), size.first) << name;
        EXPECT_EQ(be32(bytes, 20), size.second) << name;
    }
    for (const char* name : {"ZavoUpDown", "FavAdd", "FavFolder", "SetKnob", "sknob"})
        EXPECT_NE(tx::FindEmbeddedResource(name), nullptr) << name;
}

}  // namespace
