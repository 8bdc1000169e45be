#include "MainControls.h"

#include <QImage>

#include "skin/StyleFiles.h"

namespace tx::test {

namespace {

template <class T>
T* Add(QWidget* parent, const char* name, QRect geometry) {
    auto* t = new T(parent);
    t->setObjectName(name);
    t->setGeometry(geometry);
    return t;
}

// A picture or strip of w x h whose colour tells which file and which frame it is.
TBitmap Coloured(int w, int h, int frames, int seed) {
    TBitmap b;
    b.Width = w;
    b.Height = h;
    b.Pixels.resize(size_t(w) * h);
    const int frameWidth = std::max(1, w / std::max(1, frames));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int f = x / frameWidth;
            b.Pixels[size_t(y) * w + x] = 0xFF000000u | uint32_t((seed * 37) & 0xFF) << 16 |
                                          uint32_t((f * 41 + x / 7) & 0xFF) << 8 | uint32_t((y * 5) & 0xFF);
        }
    return b;
}

}  // namespace

TMainControls MakeMainControls(int channels) {
    TMainControls c;
    c.Window = std::make_unique<QWidget>();
    c.Window->setObjectName("TrovamixMainForm");
    c.Window->resize(300, 400);
    QWidget* w = c.Window.get();
    auto* caption = Add<TWPControl>(w, "CaptionPic", {0, 0, 300, 20});
    Add<QLabel>(caption, "CaptionLabel", {24, 2, 200, 16})->setText("Trovamix");
    Add<QLabel>(caption, "CloseIconZone", {2, 2, 18, 18});
    Add<TMyTransButton>(caption, "MinBtn", {260, 3, 14, 14});
    Add<TMyTransButton>(caption, "CloseBtn", {280, 3, 14, 14});
    auto* menuPanel = Add<TWPControl>(w, "MainMenuPic", {0, 20, 300, 18});
    Add<TNewMenu>(menuPanel, "NewMainMenu", {0, 0, 300, 18});
    auto* transport = Add<TWPControl>(w, "MenuPic", {0, 38, 300, 96});
    Add<TWAVScope>(transport, "MixScope", {4, 4, 100, 50});
    Add<TWAVVolumeter>(transport, "MixVolumeter", {4, 60, 49, 8});
    for (auto [name, x] : {std::pair{"ScopeButton", 60}, {"StartButton", 84}, {"LoopButton", 108}}) {
        auto* b = Add<TMyTransButton>(transport, name, {x, 60, 22, 18});
        b->SetStayDown(true);
    }
    Add<TRCADigital>(transport, "PatNumDig", {110, 4, 33, 17})->SetFormatWidth(3);
    Add<TZavoUpDown>(transport, "PatUpDown", {145, 2, 16, 26})->SetRange(1, 999);
    Add<TNumpad>(transport, "PatPad", {165, 2, 36, 36});
    Add<TRCADigital>(transport, "BPMDig", {110, 30, 33, 17})->SetFormatWidth(3);
    Add<TZavoUpDown>(transport, "BPMUpDown", {145, 30, 16, 26})->SetRange(10, 500);
    int x = 205;
    for (const char* name : {"FXVolBtn", "FXPitchBtn", "FXDrawBtn", "FXNoteBtn"}) {
        Add<TMyTransButton>(transport, name, {x, 4, 22, 18})->SetStayDown(true);
        x += 23;
    }
    x = 200;
    for (const char* name :
         {"MainVolSlider", "ShuffleSlider", "MainPitchSlider", "MainResoSlider", "MainCutOffSlider"}) {
        Add<TTrackSlider>(transport, name, {x, 24, 18, 70});
        x += 20;
    }
    auto* bottom = Add<TWPControl>(w, "BottomPic", {0, 380, 300, 16});
    Add<QLabel>(bottom, "InfoLabel", {4, 1, 290, 14});
    Add<TWPControl>(w, "LeftSideWP", {0, 134, 8, 246});
    Add<TWPControl>(w, "RightSideWP", {292, 134, 8, 246});
    auto* back = Add<TWPControl>(w, "BackWP", {8, 134, 284, 246});
    for (int ch = 0; ch < channels; ++ch) {
        const int y = 20 + ch * 49;
        Add<TWAVWheel>(back, "FrontVolWheel", {4, y, 15, 14});
        Add<TMyTransButton>(back, "FrontMuteButton", {22, y, 14, 14})->SetStayDown(true);
        Add<TMyTransButton>(back, "SetButton", {40, y, 64, 16})->SetStayDown(true);
        Add<TMyTransButton>(back, "SelectButton", {108, y, 14, 14})->SetStayDown(true);
    }
    Add<TWAVWheel>(back, "DotVolWheel", {0, 0, 24, 24})->hide();
    c.Editor = std::make_unique<QWidget>();
    auto* keyb = Add<TWPControl>(c.Editor.get(), "KeybPanel", {0, 0, 282, 152});
    int y = 2;
    for (const char* name :
         {"FXPanSelect", "FXVolSelect", "FXPitchSelect", "FXMixSelect", "FXResoSelect", "FXCutOffSelect"}) {
        Add<TMyTransButton>(keyb, name, {260, y, 20, 20});
        y += 24;
    }
    return c;
}

TStyleData MakeStyleData(const std::string& config, int frameScale) {
    TStyleData style;
    int seed = 1;
    for (const TStyleFileEntry& entry : StyleFileTable()) {
        TStyleItem item;
        item.Entry = &entry;
        item.Origin = TStyleOrigin::Style;
        const std::string_view name = entry.Name;
        ++seed;
        switch (entry.Kind) {
            case TStyleFileKind::Picture: {
                const bool menuBack = name == "MenuBack.bmp";
                const bool side = name == "LeftSide.bmp" || name == "RightSide.bmp";
                item.Picture = Coloured(menuBack             ? 400
                                        : side               ? 8
                                        : name == "back.bmp" ? 32
                                                             : 400,
                                        menuBack                                               ? 96
                                        : name == "TitleBar.bmp" || name == "TitleBar_Off.bmp" ? 22
                                                                                               : 16,
                                        1, seed);
                if (name.ends_with("_FX.bmp")) item.Picture = Coloured(16, 16, 1, seed);
                break;
            }
            case TStyleFileKind::Glyph:
                item.Picture = Coloured(44, 18, 2, seed);
                break;
            case TStyleFileKind::Strip: {
                const int frames = entry.Strip.FrameWidth > 0 ? 16 : entry.Strip.FrameCount;
                const int fw = (entry.Strip.FrameWidth > 0 ? entry.Strip.FrameWidth : 12) * frameScale;
                const int h = (name == "MenuItems.bmp" ? 18 : name == "PatPad.bmp" ? 36 : 14) * frameScale;
                const int width = name == "MenuItems.bmp" ? 400 * 2 : frames * fw;
                TStripShape cut = entry.Strip;
                if (cut.FrameWidth > 0) cut.FrameWidth *= frameScale;
                item.Strip = LoadStrip(Coloured(width, h, frames, seed), cut);
                break;
            }
            default:
                break;
        }
        style.Items.push_back(std::move(item));
    }
    style.Sizes.MainClientWidth = 400;
    style.HasConfig = !config.empty();
    if (style.HasConfig) style.Config = ParseStyleConfig(config);
    return style;
}

}  // namespace tx::test
