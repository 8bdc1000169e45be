#include "ControlGallery.h"

#include <QFile>
#include <QPainter>
#include <cmath>

#include "StripSupport.h"

namespace tx::test {
namespace {

struct StripSpec {
    const char* file;
    int count;  // frames, or with fixedWidth the frame width
    bool fixedWidth;
    bool masked;
    int testWidth, testHeight;  // frame size of the stand-in strip
};

const StripSpec kStrips[] = {
    {"MiddleWheel.bmp", 23, true, false, 23, 23},  {"SmallWheel.bmp", 14, true, false, 14, 13},
    {"UpDown.bmp", 2, false, false, 16, 26},       {"digits.bmp", 11, false, false, 11, 17},
    {"PatPad.bmp", 10, false, false, 36, 36},      {"Volumeter.bmp", 2, false, false, 49, 4},
    {"VolSliderKnob.bmp", 3, false, false, 20, 9}, {"HSliderKnob.bmp", 2, false, false, 9, 16},
    {"PlayBtn.bmp", 2, false, false, 22, 18},      {"LoopBtn.bmp", 2, false, false, 22, 18},
    {"ScopeMute.bmp", 2, false, false, 22, 18},    {"FX_Btns.bmp", 8, false, false, 22, 18},
    {"MinClose.bmp", 4, false, false, 14, 14},     {"SetBtn.bmp", 2, false, false, 64, 16},
    {"MuteBtn.bmp", 2, false, false, 14, 14},      {"SelectBtn.bmp", 2, false, false, 14, 14},
    {"MenuItems.bmp", 2, false, false, 400, 18},
};

QImage LoadPicture(const QString& folder, const char* file) {
    QImage image;
    if (!folder.isEmpty()) image.load(folder + "/" + file);
    return image;
}

}  // namespace

QString GalleryStyleFolder() {
    const QString env = qEnvironmentVariable("TROVAMIX_GALLERY_STYLE");
    return env.isEmpty() ? QString(TROVAMIX_BINARY_DIR "/Styles/Default") : env;
}

std::unique_ptr<TControlGallery> MakeControlGallery(const QString& folder) {
    auto g = std::make_unique<TControlGallery>();
    g->FromStyle = QFile::exists(folder + "/MiddleWheel.bmp");
    for (const StripSpec& s : kStrips) {
        auto strip = std::make_unique<TImageStrip>();
        QImage image = LoadPicture(folder, s.file);
        const int frames = s.fixedWidth ? (s.count == 23 ? 23 : 16) : s.count;
        if (image.isNull()) image = ToImage(StripBitmap(frames, s.testWidth, s.testHeight));
        if (s.fixedWidth)
            strip->LoadFixedWidth(ToBitmap(image), s.count, s.masked);
        else
            strip->LoadImage(image, s.count, s.masked);
        g->Strips[s.file] = std::move(strip);
    }
    auto strip = [&](const char* file) { return g->Strips[file].get(); };

    QImage back = LoadPicture(folder, "back.bmp");
    if (back.isNull()) {
        back = QImage(32, 32, QImage::Format_ARGB32);
        back.fill(QColor(38, 42, 48));
    }
    QImage menuBack = LoadPicture(folder, "MenuBack.bmp");

    g->Panel = std::make_unique<TWPControl>();
    TWPControl* panel = g->Panel.get();
    panel->resize(480, 320);
    panel->SetWallpaper(QPixmap::fromImage(back));
    panel->SetNoFlicker(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(52, 56, 64));
    pal.setColor(QPalette::WindowText, QColor(220, 224, 230));
    pal.setColor(QPalette::ButtonText, QColor(220, 224, 230));
    pal.setColor(QPalette::Button, QColor(70, 76, 88));
    panel->setPalette(pal);
    auto bitmapOnly = [&](QWidget* w) {
        g->BitmapOnly.push_back(w);
        return w;
    };

    // Menu bars: skinned, and the drawn look without a picture.
    for (const char* title : {"&File", "&Edit", "&Channels", "&View", "&Options", "&Tools", "&Help"})
        g->Menus.push_back(std::make_unique<QMenu>(title));
    QList<QMenu*> menus;
    for (auto& m : g->Menus) menus.push_back(m.get());
    auto* skinnedMenu = new TNewMenu(panel);
    skinnedMenu->SetImList(strip("MenuItems.bmp"));
    skinnedMenu->SetMirrorMenu(menus);
    skinnedMenu->SetSeparators({36, 74, 138, 178, 236, 286});
    skinnedMenu->move(0, 0);
    bitmapOnly(skinnedMenu);
    auto* drawnMenu = new TNewMenu(panel);
    drawnMenu->resize(400, 18);
    drawnMenu->SetMirrorMenu(menus);
    drawnMenu->move(0, 20);

    // Knobs at their low, middle and high values; one without a strip.
    int x = 8;
    for (int value : {0, 64, 127}) {
        auto* knob = new TWAVWheel(panel);
        knob->SetWheelIL(strip("MiddleWheel.bmp"));
        knob->SetValueProperty(value);
        knob->move(x, 46);
        bitmapOnly(knob);
        auto* small = new TWAVWheel(panel);
        small->SetWheelIL(strip("SmallWheel.bmp"));
        small->SetValueProperty(value);
        small->move(x + 4, 76);
        bitmapOnly(small);
        x += 30;
    }
    auto* drawnKnob = new TWAVWheel(panel);
    drawnKnob->SetValueProperty(90);
    drawnKnob->move(x, 46);

    // Spinners, digits, pad.
    auto* spin = new TZavoUpDown(panel);
    spin->SetImList(strip("UpDown.bmp"));
    spin->move(150, 46);
    bitmapOnly(spin);
    auto* drawnSpin = new TZavoUpDown(panel);
    drawnSpin->move(170, 46);
    auto* pattern = new TRCADigital(panel);
    pattern->SetFormatWidth(3);
    pattern->SetImList(strip("digits.bmp"));
    pattern->SetValue(1);
    pattern->move(192, 50);
    bitmapOnly(pattern);
    auto* tempo = new TRCADigital(panel);
    tempo->SetFormatWidth(3);
    tempo->SetImList(strip("digits.bmp"));
    tempo->SetValue(140);
    tempo->move(192, 74);
    bitmapOnly(tempo);
    auto* pad = new TNumpad(panel);
    pad->SetImList(strip("PatPad.bmp"));
    pad->SetValue(5);
    pad->move(236, 46);
    bitmapOnly(pad);

    // Meter and scopes in the three styles, one without data.
    auto* meter = new TWAVVolumeter(panel);
    meter->SetImList(strip("Volumeter.bmp"));
    meter->SetLevels(20000, TWAVVolumeter::FullScale);
    meter->move(8, 100);
    bitmapOnly(meter);
    g->ScopeData.resize(2 * 512);
    for (int i = 0; i < 512; ++i) {
        const double t = i / 512.0;
        g->ScopeData[2 * i] = int16_t(14000 * std::sin(2 * M_PI * 3 * t));
        g->ScopeData[2 * i + 1] = int16_t(9000 * std::sin(2 * M_PI * 7 * t) * (1 - t));
    }
    for (int style = 0; style < 4; ++style) {
        auto* scope = new TWAVScope(panel);
        scope->resize(104, 56);
        scope->SetBackColor(QColor(16, 24, 32));
        scope->SetLineColor(QColor(120, 230, 160));
        scope->move(8 + (style % 2) * 112, 110 + (style / 2) * 62);
        if (style < 3) {
            scope->SetStyle(style);
            scope->SetData(g->ScopeData.data(), 512);
        } else if (!menuBack.isNull()) {
            scope->SetBackground(QPixmap::fromImage(menuBack.copy(8, 8, 104, 56)));
            bitmapOnly(scope);
        }
    }

    // Sliders: skinned over a piece of the transport wallpaper, and drawn.
    auto* vol = new TTrackSlider(panel);
    vol->resize(20, 74);
    vol->SetRange(0, 128);
    vol->SetKnobIL(strip("VolSliderKnob.bmp"));
    if (!menuBack.isNull()) vol->SetBackIL(QPixmap::fromImage(menuBack.copy(280, 8, 20, 74)));
    vol->SetPosition(32, false);
    vol->move(290, 46);
    if (!menuBack.isNull()) bitmapOnly(vol);
    auto* drawnVertical = new TTrackSlider(panel);
    drawnVertical->resize(45, 100);
    drawnVertical->SetRange(0, 10);
    drawnVertical->SetTickMarks(TTrackSlider::TickMark::Both);
    drawnVertical->SetnBigTicks(1);
    drawnVertical->SetPosition(3, false);
    drawnVertical->move(316, 40);
    drawnVertical->resize(45, 130);
    auto* across = new TTrackSlider(panel, Qt::Horizontal);
    across->resize(108, 30);
    across->SetRange(-1200, 1200);
    across->SetKnobIL(strip("HSliderKnob.bmp"));
    across->SetFrequency(300);
    across->SetPosition(600, false);
    across->move(366, 46);
    auto* drawnAcross = new TTrackSlider(panel, Qt::Horizontal);
    drawnAcross->resize(108, 45);
    drawnAcross->SetRange(0, 8);
    drawnAcross->SetTickMarks(TTrackSlider::TickMark::TopLeft);
    drawnAcross->SetPosition(6, false);
    drawnAcross->move(366, 80);

    // Buttons: transport, edit modes, caption buttons, a channel row.
    x = 8;
    const char* transport[] = {"ScopeMute.bmp", "PlayBtn.bmp", "LoopBtn.bmp"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new TMyTransButton(panel);
        b->SetImList(strip(transport[i]));
        b->resize(22, 18);
        b->SetStayDown(true);
        b->SetDown(i != 1);
        b->move(x, 236);
        bitmapOnly(b);
        x += 26;
    }
    for (int i = 0; i < 4; ++i) {
        auto* b = new TMyTransButton(panel);
        b->SetImList(strip("FX_Btns.bmp"));
        b->SetILIndex(2 * i);
        b->resize(22, 18);
        b->SetDown(i == 0);
        b->move(x, 236);
        bitmapOnly(b);
        x += 24;
    }
    for (int i = 0; i < 2; ++i) {
        auto* b = new TMyTransButton(panel);
        b->SetImList(strip("MinClose.bmp"));
        b->SetILIndex(2 * i);
        b->resize(14, 14);
        b->move(x + 4 + 18 * i, 238);
        bitmapOnly(b);
    }
    const char* rowFiles[] = {"MuteBtn.bmp", "SetBtn.bmp", "SelectBtn.bmp"};
    x = 8;
    for (int row = 0; row < 2; ++row) {
        auto* knob = new TWAVWheel(panel);
        knob->SetWheelIL(strip("SmallWheel.bmp"));
        knob->SetValueProperty(row ? 100 : 70);
        knob->move(x, 262 + row * 22);
        for (int i = 0; i < 3; ++i) {
            auto* b = new TMyTransButton(panel);
            b->SetImList(strip(rowFiles[i]));
            const QSize size = strip(rowFiles[i])->FrameSize();
            b->resize(size);
            b->SetStayDown(true);
            b->SetDown(row == 1 && i != 0);
            if (i == 1) b->SetCaption(row ? "Snare" : "Kick");
            b->move(x + 20 + (i == 0 ? 0 : i == 1 ? 18 : 86), 262 + row * 22);
            if (i != 1) bitmapOnly(b);
        }
    }
    auto* captioned = new TMyTransButton(panel);
    captioned->SetCaption("Render &WAV...");
    captioned->SetTransparent(false);
    captioned->resize(110, 22);
    captioned->move(240, 236);

    // A wallpaper panel inside the panel: tiles, no stretching.
    auto* inner = new TWPControl(panel);
    QImage tile(10, 10, QImage::Format_ARGB32);
    tile.fill(QColor(60, 66, 76));
    for (int i = 0; i < 10; ++i) tile.setPixel(i, i, qRgb(90, 98, 110));
    inner->SetWallpaper(QPixmap::fromImage(tile));
    inner->resize(95, 45);
    inner->move(240, 266);
    bitmapOnly(inner);
    return g;
}

QImage PaintGallery(QWidget& panel, int scale) {
    QImage image(panel.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    panel.render(&image);
    return image;
}

}  // namespace tx::test
