// Draws the program's own default style: every bitmap of a style, its
// "config.txt" and "StartSnd.WAV", the splash "Title.JPG", the built-in
// resources (fallback knobs and arrows, cursors, icons), a source file that
// embeds all of them in the program, and a mock-up of the main window to judge
// the art by. Positions come from the one design layout in DefaultLayout.h.
//
// usage: make_default_style BUILD_FOLDER EMBED_SOURCE [PREVIEW_FOLDER]
//   writes BUILD_FOLDER/Styles/Default/, BUILD_FOLDER/resources/,
//   BUILD_FOLDER/Title.JPG, BUILD_FOLDER/StyleMockup.png and EMBED_SOURCE;
//   with PREVIEW_FOLDER also every bitmap as a PNG four times its size.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "DrumSynth.h"
#include "Raster.h"
#include "model/SafeFile.h"
#include "skin/DefaultLayout.h"

namespace fs = std::filesystem;
using namespace raster;
namespace layout = tx::DefaultLayout;

namespace {

// ---- palette: a dark, calm panel; amber for what is on, teal for the signal.
const TRgb PanelTop = Hex(0x2A2E36), PanelBottom = Hex(0x1C1F25);
const TRgb Well = Hex(0x0D0E11), EdgeLight = Hex(0x454B56), EdgeDark = Hex(0x08090B);
const TRgb Label = Hex(0x96A0AE), LabelShadow = Hex(0x101215);
const TRgb Amber = Hex(0xFFA630), AmberHot = Hex(0xFFD27A), AmberDim = Hex(0x3A2A14);
const TRgb Teal = Hex(0x45D6C4), Green = Hex(0x72DC5A), Red = Hex(0xF2503C);
const TRgb Cap = Hex(0x444A55), CapTop = Hex(0x5A616D), CapBottom = Hex(0x30353D);
const TRgb Ink = Hex(0xD8DEE6), InkDim = Hex(0x8C95A2);
const TRgb Back = Hex(0x17191E);  // channel area
const TRgb Mask = Hex(0xFF00FF);  // mask colour of the masked strips

const TRgb PanCol = Teal, VolCol = Amber, PitchCol = Hex(0xB585FF), MixCol = Green;
const TRgb ResoCol = Hex(0xFF7A9A), CutCol = Hex(0x6AB8FF);

constexpr float DegToRad = 3.14159265f / 180.f;

// A wallpaper the size of a frame, copied from (x, y) of a picture.
TImage CutOut(const TImage& from, int x, int y, int w, int h) {
    TImage out(w, h, {});
    out.Paste(from, 0, 0, x, y, w, h);
    return out;
}

// A strip of n frames, each drawn by draw(frame, index) over a copy of bg.
TImage Strip(const TImage& bg, int n, const std::function<void(TImage&, int)>& draw) {
    TImage strip(bg.W * n, bg.H, {});
    for (int i = 0; i < n; ++i) {
        TImage f = bg;
        draw(f, i);
        strip.Paste(f, i * bg.W, 0);
    }
    return strip;
}

// Masked strips: hard edges over the mask colour, so no fringe of it survives.
TImage Masked(const TImage& drawn) {
    TImage out(drawn.W, drawn.H, Mask);
    for (int y = 0; y < drawn.H; ++y)
        for (int x = 0; x < drawn.W; ++x)
            if (drawn.A[size_t(y) * drawn.W + x] >= 0.5f) out.Set(x, y, drawn.At(x, y));
    return out;
}

const layout::TControl& Ctl(std::string_view name) {
    const layout::TControl* c = layout::FindControl(name);
    if (!c) {
        std::fprintf(stderr, "make_default_style: no control %.*s in the layout\n", int(name.size()), name.data());
        std::exit(1);
    }
    return *c;
}

// A recessed well around a control's rectangle: dark edge above, light below.
void WellAround(TImage& img, int x, int y, int w, int h, int margin = 2, TRgb inside = Well) {
    float m = float(margin);
    RoundRect(img, x - m, y - m, x + w + m, y + h + m, m + 1.f, VGrad(EdgeDark, EdgeLight, y - m, y + h + m));
    RoundRect(img, x - m + 1, y - m + 1, x + w + m - 1, y + h + m - 1, m, Flat(inside));
}

// A raised cap (button body) filling a rectangle.
void CapBody(TImage& img, float x0, float y0, float x1, float y1, float r, TRgb top, TRgb bottom, TRgb rim) {
    RoundRect(img, x0, y0, x1, y1, r, Flat(rim));
    RoundRect(img, x0 + 1, y0 + 1, x1 - 1, y1 - 1, std::max(0.f, r - 1), VGrad(top, bottom, y0, y1));
    Line(img, x0 + r, y0 + 1.5f, x1 - r, y0 + 1.5f, 1.f, Flat(Scale(top, 1.25f)), 0.6f);
}

// A knob seen from above: body, rim, a pointer at turn t (0..1 over 270 degrees),
// and with arc set a lit arc from the minimum to the pointer.
void Knob(TImage& img, float cx, float cy, float r, float t, bool arc, TRgb pointer) {
    float a = (-135.f + 270.f * t) * DegToRad;
    if (arc) {
        float ra = r + 1.6f;
        Ring(img, cx, cy, ra, 1.4f, Flat(AmberDim));
        Fill(
            img, cx - ra - 2, cy - ra - 2, cx + ra + 2, cy + ra + 2,
            [=](float x, float y) {
                float ang = std::atan2(x - cx, -(y - cy));  // 0 at the top, clockwise
                if (ang >= -135.f * DegToRad && ang <= a) return std::fabs(SdCircle(x, y, cx, cy, ra)) - 0.8f;
                float e0 =
                    SdCircle(x, y, cx + std::sin(-135.f * DegToRad) * ra, cy - std::cos(-135.f * DegToRad) * ra, 0.8f);
                float e1 = SdCircle(x, y, cx + std::sin(a) * ra, cy - std::cos(a) * ra, 0.8f);
                return std::min(e0, e1);
            },
            Flat(Amber));
        r -= 1.f;
    }
    Circle(img, cx, cy + 0.8f, r, Flat(EdgeDark), 0.7f);  // shadow
    Circle(img, cx, cy, r, Flat(Hex(0x15171B)));
    Circle(img, cx, cy, r - 0.8f, VGrad(CapTop, CapBottom, cy - r, cy + r));
    Ring(img, cx, cy, r - 0.9f, 0.6f, Flat(Hex(0x6A727F)), 0.5f);
    float s = std::sin(a), c = std::cos(a);
    Line(img, cx + s * r * 0.25f, cy - c * r * 0.25f, cx + s * (r - 1.3f), cy - c * (r - 1.3f),
         std::max(1.2f, r * 0.22f), Flat(pointer));
}

void ArrowTriangle(TImage& img, float cx, float cy, float w, float h, bool up, TRgb c) {
    float s = up ? -1.f : 1.f;
    Polygon(img, {{cx - w / 2, cy - s * h / 2}, {cx + w / 2, cy - s * h / 2}, {cx, cy + s * h / 2}}, Flat(c));
}

// ---- the transport panel ---------------------------------------------------

struct TPanelArt {
    TImage Menu;  // "MenuBack.bmp"
};

TImage PanelBackground(int w, int h) {
    TImage img(w, h, PanelBottom);
    for (int y = 0; y < h; ++y) {
        TRgb row = Mix(PanelTop, PanelBottom, float(y) / float(h - 1));
        // A faint brushed grain, the same on every build.
        for (int x = 0; x < w; ++x) {
            uint32_t n = (uint32_t(x) * 73856093u) ^ (uint32_t(y) * 19349663u);
            n = (n ^ (n >> 13)) * 0x5BD1E995u;
            float grain = (float((n >> 8) & 255) / 255.f - 0.5f) * 0.012f;
            img.Set(x, y, {row.R + grain, row.G + grain, row.B + grain});
        }
    }
    Rect(img, 0, 0, w, 1, EdgeLight, 0.8f);
    Rect(img, 0, h - 1, w, 1, EdgeDark);
    return img;
}

void LabelText(TImage& img, std::string_view s, int x, int y) { Text(img, s, x, y, Label, 1.f, &LabelShadow); }
void LabelCentred(TImage& img, std::string_view s, int cx, int y) { LabelText(img, s, cx - TextWidth(s) / 2, y); }

// Scope screen: dark glass with a grid, the centre line a little brighter.
void ScopeScreen(TImage& img, int x0, int y0, int w, int h) {
    Rect(img, x0, y0, w, h, Hex(0x07110F));
    int half = h / 2;
    for (int k = -3; k <= 3; ++k)
        if (k) Rect(img, x0, y0 + half + half * k / 4, w, 1, Hex(0x10292A));
    for (int k = 0; k <= 8; ++k) Rect(img, x0 + (w - 1) * k / 8, y0, 1, h, Hex(0x10292A));
    Rect(img, x0, y0 + half, w, 1, Hex(0x1D4A45));
}

// Groove and tick marks of a vertical slider, as its background shows them.
void SliderTrack(TImage& img, const layout::TControl& c, int knobSize) {
    int trackStart = knobSize / 2, trackLength = c.Height - knobSize;
    float cx = c.X + c.Width / 2.f;
    float y0 = c.Y + trackStart - 2.f, y1 = c.Y + trackStart + trackLength + 2.f;
    RoundRect(img, cx - 2.5f, y0, cx + 2.5f, y1, 2.f, VGrad(EdgeDark, EdgeLight, y0, y1));
    RoundRect(img, cx - 1.5f, y0 + 1, cx + 1.5f, y1 - 1, 1.5f, Flat(Hex(0x050607)));
    for (int i = 0; i <= 8; ++i) {
        int y = c.Y + trackStart + trackLength * i / 8;
        int len = (i % 4 == 0) ? 5 : 3;
        Rect(img, c.X + 1 + (5 - len), y, len, 1, Hex(0x5A626E));
        Rect(img, c.X + c.Width - 6, y, len, 1, Hex(0x5A626E));
    }
}

TImage MenuBack() {
    TImage img = PanelBackground(layout::WindowWidth, 96);
    // Section dividers: scope | transport | edit | master sliders.
    for (int x : {116, 274}) {
        Rect(img, x, 6, 1, 84, EdgeDark);
        Rect(img, x + 1, 6, 1, 84, EdgeLight, 0.35f);
    }
    const auto& scope = Ctl("MixScope");
    WellAround(img, scope.X, scope.Y, scope.Width, scope.Height, 2);
    ScopeScreen(img, scope.X, scope.Y, scope.Width, scope.Height);
    const auto& meter = Ctl("MixVolumeter");
    WellAround(img, meter.X, meter.Y, meter.Width, meter.Height, 2);
    for (const char* n : {"ScopeButton", "StartButton", "LoopButton"}) {
        const auto& b = Ctl(n);
        WellAround(img, b.X, b.Y, b.Width, b.Height, 2);
    }
    // Pattern and tempo: display and spinner share one recess each.
    for (auto [dig, spin] : {std::pair{"PatNumDig", "PatUpDown"}, std::pair{"BPMDig", "BPMUpDown"}}) {
        const auto& d = Ctl(dig);
        const auto& s = Ctl(spin);
        WellAround(img, d.X, s.Y, s.X + s.Width - d.X, s.Height, 2);
    }
    const auto& pad = Ctl("PatPad");
    WellAround(img, pad.X, pad.Y, pad.Width, pad.Height, 2);
    LabelCentred(img, "PATTERN", pad.X + pad.Width / 2, pad.Y - 11);
    const auto& fx = Ctl("FXVolBtn");
    const auto& fxEnd = Ctl("FXNoteBtn");
    WellAround(img, fx.X, fx.Y, fxEnd.X + fxEnd.Width - fx.X, fxEnd.Y + fxEnd.Height - fx.Y, 2);
    LabelCentred(img, "EDIT", (fx.X + fxEnd.X + fxEnd.Width) / 2, fx.Y - 11);
    const auto& bpm = Ctl("BPMUpDown");
    LabelText(img, "TEMPO", bpm.X + bpm.Width + 7, bpm.Y + 3);
    LabelText(img, "BPM", bpm.X + bpm.Width + 7, bpm.Y + 14);
    // The maker's badge.
    Text(img, "TROVAMIX", 222, 80, AmberDim);
    Text(img, "TROVAMIX", 222, 79, Hex(0xC98A35));
    const char* sliders[] = {"MainVolSlider", "ShuffleSlider", "MainPitchSlider", "MainResoSlider", "MainCutOffSlider"};
    const char* names[] = {"VOL", "SHF", "PIT", "RES", "CUT"};
    for (int i = 0; i < 5; ++i) {
        const auto& s = Ctl(sliders[i]);
        SliderTrack(img, s, 9);
        LabelCentred(img, names[i], s.X + s.Width / 2 + 1, s.Y + s.Height + 4);
    }
    return img;
}

// ---- the bitmaps of the style ---------------------------------------------

TImage TitleBar(bool active) {
    const int w = layout::WindowWidth, h = 22;
    TRgb top = active ? Hex(0x343A44) : Hex(0x25282E), bottom = active ? Hex(0x1E2127) : Hex(0x1A1C20);
    TImage img(w, h, bottom);
    RoundRect(img, 0, 0, float(w), float(h + 6), 5.f, VGrad(top, bottom, 0, float(h)));
    Rect(img, 0, h - 1, w, 1, EdgeDark);
    Line(img, 5, 0.5f, w - 5.f, 0.5f, 1.f, Flat(active ? Hex(0x5C6470) : Hex(0x3A3E46)));
    // Grip lines before the two buttons.
    for (int i = 0; i < 3; ++i) Rect(img, 340 + i * 4, 7, 1, 9, active ? Hex(0x4A515C) : Hex(0x33363D));
    return img;
}

TImage MinClose(const TImage& title) {
    const auto& b = Ctl("MinBtn");
    TImage bg = CutOut(title, b.X, b.Y, b.Width, b.Height);
    return Strip(bg, 4, [](TImage& f, int i) {
        bool pressed = i % 2 == 1, close = i >= 2;
        CapBody(f, 0, 0, 14, 14, 3, pressed ? CapBottom : CapTop, pressed ? CapTop : CapBottom, EdgeDark);
        TRgb sym = pressed ? (close ? Red : Amber) : Ink;
        if (close) {
            Line(f, 4.5f, 4.5f, 9.5f, 9.5f, 1.6f, Flat(sym));
            Line(f, 9.5f, 4.5f, 4.5f, 9.5f, 1.6f, Flat(sym));
        } else {
            Line(f, 4.f, 9.5f, 10.f, 9.5f, 1.8f, Flat(sym));
        }
    });
}

TImage MenuBar(const std::vector<int>& lefts, const std::vector<std::string>& captions, bool lit) {
    const int w = layout::WindowWidth, h = 18;
    TImage img(w, h, {});
    Rect(img, 0, 0, w, h, Hex(0x23262C));
    for (int y = 0; y < h; ++y) Rect(img, 0, y, w, 1, Mix(Hex(0x2B2F36), Hex(0x1F2227), y / float(h - 1)));
    Rect(img, 0, h - 1, w, 1, EdgeDark);
    Rect(img, 0, 0, w, 1, Hex(0x3A3F48));
    for (size_t i = 0; i < captions.size(); ++i) {
        int x0 = lefts[i], x1 = i + 1 < lefts.size() ? lefts[i + 1] : w;
        if (lit) RoundRect(img, x0 + 1.f, 2.f, x1 - 1.f, h - 2.f, 3.f, VGrad(Hex(0x4A3C26), Hex(0x33291B), 2, h - 2.f));
        TRgb ink = lit ? AmberHot : Ink;
        Text(img, captions[i], x0 + 8, 5, ink, 1.f, &LabelShadow);
        Rect(img, x0 + 8, 13, 5, 1, lit ? Amber : InkDim);  // the accelerator: the first letter
        if (i > 0 && !lit) Rect(img, x0, 4, 1, h - 8, Hex(0x383D46));
    }
    return img;
}

TImage MenuLine() { return MenuBar({0}, {""}, false); }

TImage BottomLine() {
    const int w = layout::WindowWidth, h = 16;
    TImage img = PanelBackground(w, h);
    const auto& l = Ctl("InfoLabel");
    RoundRect(img, l.X - 4.f, 1, l.X + l.Width + 4.f, h - 1.f, 3.f, VGrad(EdgeDark, EdgeLight, 1, h - 1.f));
    RoundRect(img, l.X - 3.f, 2, l.X + l.Width + 3.f, h - 2.f, 2.f, Flat(Hex(0x0F1114)));
    return img;
}

TImage BackTile() {
    TImage img(32, 32, Back);
    // Perforations, as on a rack panel: barely there.
    for (int y : {7, 23})
        for (int x : {7, 23}) img.Blend(x, y, Hex(0x0A0B0D), 0.8f);
    return img;
}

TImage Side(bool left) {
    TImage img(layout::SideWidth, 32, Back);
    for (int x = 0; x < layout::SideWidth; ++x) {
        float t = float(left ? x : layout::SideWidth - 1 - x) / (layout::SideWidth - 1);
        Rect(img, x, 0, 1, 32, Mix(Hex(0x3A3F48), Hex(0x1B1D22), t));
    }
    Rect(img, left ? layout::SideWidth - 1 : 0, 0, 1, 32, EdgeDark);
    Circle(img, layout::SideWidth / 2.f, 16, 1.8f, Flat(Hex(0x121417)));  // a screw head
    Line(img, layout::SideWidth / 2.f - 1.2f, 16, layout::SideWidth / 2.f + 1.2f, 16, 0.6f, Flat(Hex(0x4A505A)));
    return img;
}

TImage NoteBtn() {
    TImage bg(16, 27, Back);
    return Strip(bg, 4, [](TImage& f, int i) {
        bool on = i % 2 == 1, second = i >= 2;  // frames 2 and 3 mark the second beat of each pair
        TRgb top = second ? Hex(0x4E4A44) : Hex(0x434955), bottom = second ? Hex(0x38342F) : Hex(0x2E333B);
        if (on) top = second ? Hex(0xFFC45C) : Hex(0xFFAE3C), bottom = second ? Hex(0xE08A22) : Hex(0xD8741A);
        RoundRect(f, 1, 1, 15, 26.5f, 2.5f, Flat(EdgeDark));
        RoundRect(f, 1.5f, 1.5f, 14.5f, 25.5f, 2.f, VGrad(top, bottom, 1.5f, 25.5f));
        Line(f, 3, 2.5f, 13, 2.5f, 1.f, Flat(on ? Hex(0xFFF0C8) : Hex(0x6A7280)), on ? 0.8f : 0.5f);
        if (on) RoundRect(f, 4, 6, 12, 21, 3.f, Flat(Hex(0xFFE6A8)), 0.35f);  // the glow of a lit pad
    });
}

TImage PosLed() {
    TImage bg(16, 8, Back);
    return Strip(bg, 2, [](TImage& f, int i) {
        if (i) {
            RoundRect(f, 1, 1, 15, 7, 3.f, Flat(Hex(0x5A1A12)));
            RoundRect(f, 3, 2.5f, 13, 5.5f, 1.5f, Flat(Red));
            Line(f, 4.5f, 3.2f, 11.5f, 3.2f, 0.8f, Flat(Hex(0xFFC8B8)), 0.8f);
        } else {
            RoundRect(f, 3, 2.5f, 13, 5.5f, 1.5f, Flat(Hex(0x2D1A18)));
        }
    });
}

TImage SmallWheel() {
    TImage bg(14, 13, Back);
    return Strip(bg, 16, [](TImage& f, int i) { Knob(f, 7, 6.5f, 5.9f, i / 15.f, false, AmberHot); });
}

TImage MiddleWheel() {
    TImage bg(23, 23, Back);
    return Strip(bg, 23, [](TImage& f, int i) {
        RoundRect(f, 0, 0, 23, 23, 4, Flat(Hex(0x101215)));
        Knob(f, 11.5f, 11.5f, 8.2f, i / 22.f, true, AmberHot);
    });
}

TImage FaderCap(int w, int h, int frame, bool vertical, TRgb bg) {
    TImage f(w, h, bg);
    bool disabled = frame == 1, pressed = frame == 2;
    TRgb top = disabled ? Hex(0x3A3E45) : Hex(0xD3D8DF), bottom = disabled ? Hex(0x2A2D33) : Hex(0x868E99);
    RoundRect(f, 0, 0, float(w), float(h), 1.5f, Flat(EdgeDark));
    RoundRect(f, 0.8f, 0.8f, w - 0.8f, h - 0.8f, 1.f, VGrad(top, bottom, 0, float(h)));
    TRgb mark = pressed ? Amber : (disabled ? Hex(0x4A4E56) : Hex(0x22252A));
    if (vertical)
        Line(f, 2, h / 2.f, w - 2.f, h / 2.f, pressed ? 1.6f : 1.2f, Flat(mark));
    else
        Line(f, w / 2.f, 2, w / 2.f, h - 2.f, pressed ? 1.6f : 1.2f, Flat(mark));
    return f;
}

TImage FaderStrip(int w, int h, int n, bool vertical, TRgb bg) {
    return Strip(TImage(w, h, bg), n, [&](TImage& f, int i) { f = FaderCap(w, h, i, vertical, bg); });
}

TImage Volumeter() {
    TImage bg(49, 4, Well);
    return Strip(bg, 2, [](TImage& f, int lit) {
        for (int x = 0; x < 49; ++x) {
            if (x % 3 == 2) continue;
            TRgb c = x < 30 ? Green : x < 42 ? Amber : Red;
            Rect(f, x, 0, 1, 3, lit ? c : Scale(c, 0.18f));
        }
    });
}

// One seven-segment digit; frame 0 is blank, frame d + 1 shows d.
TImage Digits() {
    static const char* segs[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                   "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
    TImage bg(11, 17, Hex(0x090A0C));
    return Strip(bg, 11, [](TImage& f, int i) {
        std::string on = i ? segs[i - 1] : "";
        auto seg = [&](char s, float ax, float ay, float bx, float by) {
            bool lit = on.find(s) != std::string::npos;
            if (lit) Line(f, ax, ay, bx, by, 3.4f, Flat(Amber), 0.18f);  // glow
            Line(f, ax, ay, bx, by, 1.7f, Flat(lit ? Amber : Hex(0x1C140A)));
        };
        seg('a', 3, 1.8f, 8, 1.8f);
        seg('b', 9.2f, 3, 9.2f, 7.5f);
        seg('c', 9.2f, 9.5f, 9.2f, 14);
        seg('d', 3, 15.2f, 8, 15.2f);
        seg('e', 1.8f, 9.5f, 1.8f, 14);
        seg('f', 1.8f, 3, 1.8f, 7.5f);
        seg('g', 3, 8.5f, 8, 8.5f);
    });
}

TImage PatPad() {
    TImage bg(36, 36, Well);
    return Strip(bg, 10, [](TImage& f, int lit) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                int key = c + 7 - 3 * r;
                bool on = key == lit;
                float x0 = c * 12 + 1.f, y0 = r * 12 + 1.f;
                CapBody(f, x0, y0, x0 + 10, y0 + 10, 2, on ? AmberHot : CapTop, on ? Amber : CapBottom, EdgeDark);
                char d[2] = {char('0' + key), 0};
                Text(f, d, int(x0) + 3, int(y0) + 2, on ? Hex(0x2A1A08) : Ink);
            }
    });
}

TImage UpDown() {
    TImage bg(16, 26, Well);
    return Strip(bg, 2, [](TImage& f, int pressed) {
        TRgb top = pressed ? CapBottom : CapTop, bottom = pressed ? CapTop : CapBottom;
        TRgb arrow = pressed ? Amber : Ink;
        CapBody(f, 1, 0.5f, 15, 9.5f, 2, top, bottom, EdgeDark);
        ArrowTriangle(f, 8, 5.2f, 6, 3.5f, true, arrow);
        for (int k = 0; k < 2; ++k) Rect(f, 4, 11 + k * 3, 8, 1, pressed ? Amber : Hex(0x5A626E));
        CapBody(f, 1, 16.5f, 15, 25.5f, 2, top, bottom, EdgeDark);
        ArrowTriangle(f, 8, 20.8f, 6, 3.5f, false, arrow);
    });
}

// The four edit-mode icons, drawn in a 22 x 18 button.
void EditIcon(TImage& f, int which, TRgb c) {
    switch (which) {
        case 0:  // pan / volume wheels: a knob
            Ring(f, 11, 9, 4.5f, 1.4f, Flat(c));
            Line(f, 11, 9, 13.8f, 5.6f, 1.5f, Flat(c));
            break;
        case 1:  // pitch / mix wheels: up and down
            ArrowTriangle(f, 11, 5.5f, 6, 3.5f, true, c);
            ArrowTriangle(f, 11, 12.5f, 6, 3.5f, false, c);
            Line(f, 11, 6, 11, 12, 1.2f, Flat(c));
            break;
        case 2:  // graph edit: bars
            for (int k = 0; k < 4; ++k) {
                int hgt = (int[]){4, 8, 6, 10}[k];
                Rect(f, 6 + k * 3, 14 - hgt, 2, hgt, c);
            }
            break;
        default:  // keyboard edit: piano keys
            Rect(f, 6, 4, 11, 10, c);
            for (int k = 1; k < 4; ++k) Rect(f, 6 + k * 3 - 1, 4, 1, 10, Hex(0x202328));
            for (int k : {8, 11}) Rect(f, k, 4, 2, 5, Hex(0x202328));
            break;
    }
}

TImage ButtonFrames(int w, int h, int n, const std::function<void(TImage&, int frame)>& icon, TRgb litBody) {
    TImage bg(w, h, Well);
    return Strip(bg, n, [&](TImage& f, int i) {
        bool down = i % 2 == 1;
        if (down)
            CapBody(f, 0, 0, float(w), float(h), 3, Mix(CapBottom, litBody, 0.35f), Mix(CapTop, litBody, 0.2f),
                    EdgeDark);
        else
            CapBody(f, 0, 0, float(w), float(h), 3, CapTop, CapBottom, EdgeDark);
        icon(f, i);
    });
}

TImage FXBtns() {
    return ButtonFrames(
        22, 18, 8, [](TImage& f, int i) { EditIcon(f, i / 2, i % 2 ? AmberHot : Ink); }, Amber);
}

TImage PlayBtn() {
    return ButtonFrames(
        22, 18, 2,
        [](TImage& f, int on) {
            Polygon(f, {{8, 4.5f}, {8, 13.5f}, {15.5f, 9}}, Flat(on ? Green : Ink));
        },
        Green);
}

TImage LoopBtn() {
    return ButtonFrames(
        22, 18, 2,
        [](TImage& f, int on) {
            TRgb c = on ? AmberHot : Ink;
            RoundRect(f, 5, 4.5f, 17, 13.5f, 3.5f, Flat(c));
            RoundRect(f, 6.6f, 6.1f, 15.4f, 11.9f, 2.f, Flat(on ? Mix(CapBottom, Amber, 0.3f) : Hex(0x3A4049)));
            Polygon(f, {{13, 2.5f}, {13, 8.5f}, {16.5f, 5.3f}}, Flat(c));
        },
        Amber);
}

TImage ScopeMute() {
    return ButtonFrames(
        22, 18, 2,
        [](TImage& f, int on) {
            TRgb c = on ? Teal : Ink;
            for (int k = 0; k < 12; ++k) {
                float x0 = 5 + k, x1 = 6 + k;
                Line(f, x0, 9 - 4 * std::sin(k * 0.55f), x1, 9 - 4 * std::sin((k + 1) * 0.55f), 1.4f, Flat(c));
            }
        },
        Teal);
}

TImage ChannelButton(int w, int h) {
    TImage bg(w, h, Back);
    return Strip(bg, 2, [w, h](TImage& f, int down) {
        if (down) {
            CapBody(f, 0, 0, float(w), float(h), 3, Hex(0x5A4A30), Hex(0x3E3322), EdgeDark);
            Rect(f, 3, 3, 2, h - 6, AmberHot);
        } else {
            CapBody(f, 0, 0, float(w), float(h), 3, CapTop, CapBottom, EdgeDark);
            Rect(f, 3, 3, 2, h - 6, Hex(0x2A2E35));
        }
    });
}

TImage MuteBtn() {
    TImage bg(14, 14, Back);
    return Strip(bg, 2, [](TImage& f, int muted) {
        CapBody(f, 0, 0, 14, 14, 3, muted ? Hex(0xF26A52) : CapTop, muted ? Hex(0xB8321F) : CapBottom, EdgeDark);
        Text(f, "M", 5 - 1, 4 - 1, muted ? Hex(0xFFF0EA) : InkDim);
    });
}

TImage SelectBtn() {
    TImage bg(14, 14, Back);
    return Strip(bg, 2, [](TImage& f, int on) {
        CapBody(f, 0, 0, 14, 14, 3, CapTop, CapBottom, EdgeDark);
        if (on) Circle(f, 7, 7, 4.2f, Flat(Teal), 0.3f);
        Circle(f, 7, 7, 2.6f, Flat(on ? Hex(0x9BF3E8) : Hex(0x1C2A2A)));
    });
}

// Parameter glyphs of the keyboard editor's value-row buttons.
TImage ParamGlyph(int which) {
    TImage f(16, 16, Hex(0x202328));
    RoundRect(f, 0, 0, 16, 16, 3, Flat(Hex(0x15171B)));
    RoundRect(f, 1, 1, 15, 15, 2.5f, VGrad(Hex(0x3A3F48), Hex(0x262A30), 1, 15));
    switch (which) {
        case 0:  // volume: a rising wedge
            Polygon(f, {{3, 12}, {13, 12}, {13, 4}}, Flat(VolCol));
            break;
        case 1:  // pan: left and right
            ArrowTriangle(f, 4.5f, 8, 5, 3.5f, true, PanCol);
            Polygon(f, {{2.5f, 8}, {6, 5}, {6, 11}}, Flat(PanCol));
            Polygon(f, {{13.5f, 8}, {10, 5}, {10, 11}}, Flat(PanCol));
            Line(f, 5, 8, 11, 8, 1.4f, Flat(PanCol));
            break;
        case 2:  // pitch: up and down
            ArrowTriangle(f, 8, 4.5f, 6, 3.5f, true, PitchCol);
            ArrowTriangle(f, 8, 11.5f, 6, 3.5f, false, PitchCol);
            break;
        case 3:  // mix: two overlapping circles
            Ring(f, 6, 8, 3.2f, 1.3f, Flat(MixCol));
            Ring(f, 10, 8, 3.2f, 1.3f, Flat(MixCol));
            break;
        case 4:  // resonance: a peak
            for (int k = 0; k < 10; ++k) {
                auto y = [](float t) { return 11.f - 7.f * std::exp(-std::pow((t - 5.5f) / 1.3f, 2.f)); };
                Line(f, 3.f + k, y(float(k)), 4.f + k, y(float(k + 1)), 1.3f, Flat(ResoCol));
            }
            break;
        default:  // cutoff: a low-pass slope
            Line(f, 3, 6, 9, 6, 1.3f, Flat(CutCol));
            Line(f, 9, 6, 13, 12, 1.3f, Flat(CutCol));
            break;
    }
    return f;
}

// One octave of the keyboard editor's piano roll, octave bottom at the bottom.
TImage Keyb() {
    TImage bg(16, 56, Back);
    return Strip(bg, 2, [](TImage& f, int alt) {
        TRgb white = alt ? Hex(0x3E4550) : Hex(0x343A44), black = Hex(0x16181C), line = Hex(0x22262C);
        Rect(f, 0, 0, 16, 56, white);
        for (int k = 0; k < 7; ++k) Rect(f, 0, 56 - 8 * k - 1, 16, 1, line);
        for (int r0 : {5, 13, 29, 37, 45}) Rect(f, 0, 56 - r0 - 6, 9, 6, black);
        Rect(f, 15, 0, 1, 56, line);
        Rect(f, 0, 55, 16, 1, Hex(0x5A626E));  // C: the octave's floor
    });
}

// Key marks: the shape of each kind of key, from the bottom of a 12-pixel frame.
TImage KeybKeys() {
    TImage drawn(16 * 8, 12, {}, 0.f);
    for (int frame = 0; frame < 8; ++frame) {
        int shape = frame % 4;
        bool off = frame >= layout::KeyMarkOff;
        TRgb c = off ? Hex(0x7A6A52) : Amber;
        auto rows = [&](int x0, int x1, int r0, int r1) {  // rows r0..r1-1 counted from the bottom
            for (int r = r0; r < r1; ++r)
                for (int x = x0; x < x1; ++x) drawn.Set(frame * 16 + x, 11 - r, c);
        };
        switch (shape) {
            case layout::KeyMarkBottomWhite:
                rows(10, 15, 1, 7), rows(1, 10, 1, 4);
                break;
            case layout::KeyMarkBlack:
                rows(1, 8, 2, 6);
                break;
            case layout::KeyMarkMiddleWhite:
                rows(10, 15, 1, 7), rows(1, 10, 3, 5);
                break;
            default:
                rows(10, 15, 1, 7), rows(1, 10, 4, 7);
                break;
        }
    }
    return Masked(drawn);
}

TImage PLBullet() {
    TImage drawn(24, 12, {}, 0.f);
    Circle(drawn, 6, 6, 3.6f, Flat(Amber));
    Circle(drawn, 18, 6, 4.2f, Flat(AmberHot));
    Circle(drawn, 17, 5, 1.6f, Flat(Hex(0xFFF4D8)));
    return Masked(drawn);
}

// ---- built-in resources (PNG with alpha) --------------------------------

TImage Transparent(int w, int h) { return TImage(w, h, {}, 0.f); }

TImage ProgramIcon(int size) {
    TImage img = Transparent(size, size);
    float s = float(size), r = s * 0.2f;
    RoundRect(img, 0, 0, s, s, r, VGrad(Hex(0x3A3F48), Hex(0x15171B), 0, s));
    RoundRect(img, s * 0.04f, s * 0.04f, s * 0.96f, s * 0.96f, r * 0.85f, VGrad(Hex(0x2B2F36), Hex(0x1A1C21), 0, s));
    // A 3 x 3 pad with a beat lit: amber on the downbeats, teal for the accent.
    const int lit[9] = {1, 0, 1, 0, 2, 0, 1, 0, 1};
    float cell = s * 0.92f / 3.f, gap = std::max(1.f, s * 0.05f);
    for (int k = 0; k < 9; ++k) {
        float x0 = s * 0.04f + (k % 3) * cell + gap, y0 = s * 0.04f + (k / 3) * cell + gap;
        TRgb top = lit[k] == 1 ? AmberHot : lit[k] == 2 ? Hex(0x9BF3E8) : Hex(0x4A505B);
        TRgb bottom = lit[k] == 1 ? Hex(0xD8741A) : lit[k] == 2 ? Hex(0x1FA593) : Hex(0x2E333B);
        RoundRect(img, x0, y0, x0 + cell - 2 * gap, y0 + cell - 2 * gap, std::max(0.8f, cell * 0.18f),
                  VGrad(top, bottom, y0, y0 + cell));
    }
    return img;
}

// Cursors: an arrow with its hot spot at (1, 1) and a badge of the mode.
TImage Cursor(bool wave) {
    TImage img = Transparent(32, 32);
    std::vector<std::array<float, 2>> arrow = {{1, 1}, {1, 17}, {5, 13}, {8, 20}, {10.5f, 19}, {7.5f, 12}, {13, 12}};
    Polygon(img, arrow, Flat(Hex(0x000000)));
    std::vector<std::array<float, 2>> inner = {{2.4f, 3.6f},  {2.4f, 14}, {5.3f, 11}, {8.5f, 18},
                                               {9.1f, 17.6f}, {6, 10.7f}, {10, 10.7f}};
    Polygon(img, inner, Flat(Hex(0xFFFFFF)));
    RoundRect(img, 14, 18, 31, 31, 3, Flat(Hex(0x101215)));
    RoundRect(img, 15, 19, 30, 30, 2.5f, Flat(Hex(0x2B2F36)));
    if (wave) {
        for (int k = 0; k < 11; ++k)
            Line(img, 17.f + k, 24.5f - 3.5f * std::sin(k * 0.63f), 18.f + k, 24.5f - 3.5f * std::sin((k + 1) * 0.63f),
                 1.5f, Flat(Teal));
    } else {
        Line(img, 17, 28, 28, 21, 1.6f, Flat(Amber));
        Circle(img, 17, 28, 1.6f, Flat(AmberHot));
        Circle(img, 28, 21, 1.6f, Flat(AmberHot));
    }
    return img;
}

TImage Star(bool plus) {
    TImage img = Transparent(16, 16);
    std::vector<std::array<float, 2>> v;
    for (int k = 0; k < 10; ++k) {
        float a = (-90.f + 36.f * k) * DegToRad, r = k % 2 ? 3.f : 7.f;
        v.push_back({8 + r * std::cos(a), 8.5f + r * std::sin(a)});
    }
    Polygon(img, v, VGrad(AmberHot, Amber, 1, 15));
    if (plus) {
        Circle(img, 12.5f, 12.5f, 3.4f, Flat(Hex(0x1A1C21)));
        Line(img, 10.8f, 12.5f, 14.2f, 12.5f, 1.3f, Flat(Green));
        Line(img, 12.5f, 10.8f, 12.5f, 14.2f, 1.3f, Flat(Green));
    }
    return img;
}

TImage Folder() {
    TImage img = Transparent(16, 16);
    RoundRect(img, 1, 3, 8, 7, 1, Flat(Hex(0xB07A2A)));
    RoundRect(img, 1, 5, 15, 14, 1.5f, VGrad(Hex(0xFFC45C), Hex(0xD8841E), 5, 14));
    return img;
}

TImage SettingsKnobStrip() {
    const int n = 32, size = 28;
    TImage strip = Transparent(size * n, size);
    for (int i = 0; i < n; ++i) {
        TImage f = Transparent(size, size);
        Knob(f, size / 2.f, size / 2.f, 10.5f, i / float(n - 1), true, AmberHot);
        strip.Paste(f, i * size, 0);
    }
    return strip;
}

TImage SpinnerArrows() {
    TImage img = Transparent(16, 5);
    ArrowTriangle(img, 4, 2.5f, 7, 4, true, Hex(0x000000));
    ArrowTriangle(img, 12, 2.5f, 7, 4, false, Hex(0x000000));
    return img;
}

// Whole-number enlargement with nearest-neighbour sampling, for looking at art.
TImage Enlarged(const TImage& img, int k) {
    TImage out(img.W * k, img.H * k, {});
    for (int y = 0; y < out.H; ++y)
        for (int x = 0; x < out.W; ++x) {
            size_t i = size_t(y / k) * img.W + x / k, o = size_t(y) * out.W + x;
            out.C[o] = img.C[i];
            out.A[o] = img.A[i];
        }
    return out;
}

TImage Opaque(TImage img, TRgb under) {  // flattens a picture with alpha onto a colour
    TImage out(img.W, img.H, under);
    out.Paste(img, 0, 0);
    return out;
}

// ---- files -------------------------------------------------------------

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::string error =
        tx::WriteFileSafely(path.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (!error.empty()) {
        std::fprintf(stderr, "make_default_style: %s\n", error.c_str());
        std::exit(1);
    }
}

// "config.txt" colours are 0x00BBGGRR.
std::string StyleColour(TRgb c) {
    auto q = [](float v) { return unsigned(std::lround(std::clamp(v, 0.f, 1.f) * 255.f)); };
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%06X", q(c.B) << 16 | q(c.G) << 8 | q(c.R));
    return buf;
}

const std::vector<std::string> MenuCaptions(std::begin(layout::MenuCaptions), std::end(layout::MenuCaptions));

// Left edges of the menu bar's items: each caption with eight pixels either side.
std::vector<int> MenuLefts() {
    std::vector<int> lefts;
    int x = 0;
    for (const auto& c : MenuCaptions) {
        lefts.push_back(x);
        x += TextWidth(c) + 16;
    }
    return lefts;
}

// Plain "\n" line ends: a reader that keeps a "\r" would take the last number
// of every line for unreadable.
std::string ConfigText() {
    std::ostringstream o;
    o << "' Trovamix default style. Positions are x, y, width, height within each panel;\n"
         "' colours are $BBGGRR.\n";
    o << "Hint=Welcome to Trovamix\n";
    o << "TitleFont=DejaVu Sans," << StyleColour(Hex(0xD2D8E0)) << ",12\n";
    o << "HintFont=DejaVu Sans," << StyleColour(Hex(0xE8C27A)) << ",11\n";
    o << "ScopeCol=" << StyleColour(Teal) << "\n";
    o << "SampleScopeCol=" << StyleColour(Hex(0x0A1412)) << "," << StyleColour(Hex(0x1F4A43)) << ","
      << StyleColour(Teal) << "\n";
    o << "GraphCol=" << StyleColour(PanCol) << "," << StyleColour(VolCol) << "," << StyleColour(PitchCol) << ","
      << StyleColour(MixCol) << "\n";
    std::vector<int> lefts = MenuLefts();
    o << "MenuSep=";
    for (size_t i = 1; i < lefts.size(); ++i) o << lefts[i] << (i + 1 < lefts.size() ? "," : "\n");
    // Two small corner cuts round off the caption bar's top corners.
    const int w = layout::WindowWidth;
    o << "DefHole=0,0,4,0,0,4\n";
    o << "DefHole=" << w << ",0," << w - 4 << ",0," << w << ",4\n";
    o << "ChanBtns=";
    for (int i = 0; i < 10; ++i) o << layout::ChanBtns[i] << (i < 9 ? "," : "\n");
    for (const auto& c : layout::Controls)
        o << c.Name << "=" << c.X << "," << c.Y << "," << c.Width << "," << c.Height << "\n";
    std::string s = o.str();
    return s;
}

std::vector<uint8_t> StartSound() {
    using namespace drumsynth;
    // Two kicks and three closed hats at 112 BPM sixteenths: the kit says hello.
    TStereo out(0.56);
    auto add = [&](const TStereo& s, double at, double gain, double pan) {
        size_t off = size_t(at * Rate);
        for (size_t i = 0; i < s.size() && off + i < out.size(); ++i) {
            out.L[off + i] += s.L[i] * gain * (1 - pan);
            out.R[off + i] += s.R[i] * gain * (1 + pan);
        }
    };
    TStereo k = kick(), h = hat(0.14, 0.022, 79);
    add(k, 0.0, 1.0, 0);
    add(h, 0.134, 0.35, 0.25);
    add(k, 0.268, 0.85, 0);
    add(h, 0.268, 0.25, 0.25);
    add(h, 0.402, 0.4, 0.25);
    return encodeWAV(out);
}

// ---- the splash ---------------------------------------------------------

TImage Splash() {
    const int w = 299, h = 390;
    TImage img(w, h, Hex(0x121418));
    for (int y = 0; y < h; ++y) Rect(img, 0, y, w, 1, Mix(Hex(0x262A31), Hex(0x0E1013), y / float(h - 1)));
    RoundRect(img, 8, 8, w - 8.f, h - 8.f, 10, Flat(EdgeLight), 0.35f);
    RoundRect(img, 9, 9, w - 9.f, h - 9.f, 9, VGrad(Hex(0x23272E), Hex(0x111316), 9, h - 9.f));
    // A bar of sixteen steps, four rows: the picture of a beat.
    const char* beat[4] = {"x...x...x...x...", "....x.......x...", "x.x.x.x.x.x.x.xx", "..x.....x..x...."};
    const float cell = 15, x0 = (w - 16 * cell) / 2.f, y0 = 70;
    for (int r = 0; r < 4; ++r)
        for (int s = 0; s < 16; ++s) {
            bool on = beat[r][s] == 'x', second = (s / 4) % 2 == 1;
            float x = x0 + s * cell, y = y0 + r * 22;
            TRgb top = on ? (second ? Hex(0xFFC45C) : AmberHot) : (second ? Hex(0x4E4A44) : Hex(0x434955));
            TRgb bottom = on ? Hex(0xD8741A) : (second ? Hex(0x38342F) : Hex(0x2E333B));
            if (on) RoundRect(img, x - 1, y - 1, x + cell, y + 20, 4, Flat(Amber), 0.18f);
            RoundRect(img, x + 1, y + 1, x + cell - 2, y + 18, 2.5f, VGrad(top, bottom, y, y + 18));
        }
    for (int s = 0; s < 16; ++s)
        RoundRect(img, x0 + s * cell + 3, y0 + 92, x0 + s * cell + cell - 4, y0 + 96, 1.5f,
                  Flat(s == 6 ? Red : Hex(0x2D1A18)));
    // The name in round dots, as on a dot-matrix display.
    const std::string name = "TROVAMIX";
    const float dot = 5.f;
    float tx = (w - TextWidth(name) * dot) / 2.f, ty = 215;
    ForTextDots(name, 0, 0, [&](int px, int py) {
        float cx = tx + px * dot + dot / 2, cy = ty + py * dot + dot / 2;
        Circle(img, cx, cy, dot * 0.9f, Flat(Amber), 0.15f);
        Circle(img, cx, cy, dot * 0.44f, VGrad(AmberHot, Amber, cy - dot / 2, cy + dot / 2));
    });
    auto centred = [&](const std::string& s, int y, int scale, TRgb c) {
        int x = (w - TextWidth(s) * scale) / 2;
        ForTextDots(s, 0, 0, [&](int px, int py) { Rect(img, x + px * scale, y + py * scale, scale, scale, c); });
    };
    centred("LOOP DRUM MACHINE", 268, 2, Label);
    centred(std::string("VERSION ") + TROVAMIX_VERSION_TEXT, 340, 1, InkDim);
    RoundRect(img, 60, 300, w - 60.f, 302, 1, Flat(Amber), 0.7f);
    return img;
}

// A baseline JPEG: libjpeg writes one unless progressive scans are asked for.
std::vector<uint8_t> EncodeJpeg(const TImage& img) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);  // the default handler exits on error, which suits a build tool
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(img.W);
    cinfo.image_height = JDIMENSION(img.H);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size_t(img.W) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = int(cinfo.next_scanline);
        for (int x = 0; x < img.W; ++x) {
            uint32_t p = img.Argb(x, y);
            row[size_t(x) * 3] = JSAMPLE(p >> 16);
            row[size_t(x) * 3 + 1] = JSAMPLE(p >> 8);
            row[size_t(x) * 3 + 2] = JSAMPLE(p);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> bytes(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// ---- the embedded copy --------------------------------------------------

void AppendArray(std::string& out, const std::string& id, const std::vector<uint8_t>& bytes) {
    out += "alignas(4) const unsigned char " + id + "[] = {";
    char buf[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 24 == 0) out += "\n";
        std::snprintf(buf, sizeof buf, "%u,", unsigned(bytes[i]));
        out += buf;
    }
    if (bytes.empty()) out += "0";
    out += "\n};\n";
}

std::string EmbedSource(const std::vector<std::pair<std::string, fs::path>>& style,
                        const std::vector<std::pair<std::string, fs::path>>& resources) {
    std::string out =
        "// Generated by tools/MakeDefaultStyle.cpp from the files it wrote; do not edit.\n"
        "#include \"skin/EmbeddedStyle.h\"\n\nnamespace tx {\nnamespace {\n";
    auto tables = [&](const char* prefix, const std::vector<std::pair<std::string, fs::path>>& files) {
        std::string entries;
        for (size_t i = 0; i < files.size(); ++i) {
            std::vector<uint8_t> bytes = ReadBytes(files[i].second);
            std::string id = std::string(prefix) + std::to_string(i);
            AppendArray(out, id, bytes);
            entries += "    {\"" + files[i].first + "\", " + id + ", " + std::to_string(bytes.size()) + "},\n";
        }
        return entries;
    };
    std::string styleEntries = tables("styleFile", style);
    std::string resourceEntries = tables("resource", resources);
    out += "}  // namespace\n\n";
    out += "extern const TEmbeddedFile EmbeddedStyleFiles[] = {\n" + styleEntries + "};\n";
    out += "extern const size_t EmbeddedStyleFileCount = " + std::to_string(style.size()) + ";\n";
    out += "extern const TEmbeddedFile EmbeddedResources[] = {\n" + resourceEntries + "};\n";
    out += "extern const size_t EmbeddedResourceCount = " + std::to_string(resources.size()) + ";\n";
    out += "\n}  // namespace tx\n";
    return out;
}

// ---- the mock-up of the main window ---------------------------------------

TImage Frame(const TImage& strip, int frames, int index) {
    int fw = strip.W / frames;
    return CutOut(strip, index * fw, 0, fw, strip.H);
}

TImage Mockup(const std::map<std::string, TImage>& s, const TImage& icon18) {
    auto at = [&](const char* n) -> const TImage& { return s.at(n); };
    const int w = layout::WindowWidth;
    const int rowH = 46, rows = 4, areaTop = 22 + 18 + 96;
    const int areaH = 20 + rows * (rowH + 3) + 14;
    TImage img(w, areaTop + areaH + 16, Back);
    img.Paste(at("TitleBar.bmp"), 0, 0);
    img.Paste(icon18, Ctl("CloseIconZone").X, Ctl("CloseIconZone").Y);
    Text(img, "TROVAMIX - BREAKS.TXP", Ctl("CaptionLabel").X + 2, 8, Hex(0xD2D8E0));
    img.Paste(Frame(at("MinClose.bmp"), 4, 0), Ctl("MinBtn").X, Ctl("MinBtn").Y);
    img.Paste(Frame(at("MinClose.bmp"), 4, 2), Ctl("CloseBtn").X, Ctl("CloseBtn").Y);
    // The menu bar with "Edit" under the mouse.
    TImage bar = Frame(at("MenuItems.bmp"), 2, 0), lit = Frame(at("MenuItems.bmp"), 2, 1);
    std::vector<int> lefts = MenuLefts();
    bar.Paste(lit, lefts[1], 0, lefts[1], 0, lefts[2] - lefts[1], lit.H);
    img.Paste(bar, 0, 22);
    // The transport panel while playing.
    TImage panel = at("MenuBack.bmp");
    const auto& sc = Ctl("MixScope");
    TRgb scopeLine = Teal;
    int prevY = 0;
    for (int x = 0; x < sc.Width; ++x) {
        double t = x / double(sc.Width);
        double v = 0.8 * std::exp(-t * 3) * std::sin(t * 55) + 0.15 * std::sin(t * 170);
        int y = sc.Height / 2 - int(v * sc.Height / 2);
        if (x)
            Line(panel, sc.X + x - 0.5f, sc.Y + prevY + 0.5f, sc.X + x + 0.5f, sc.Y + y + 0.5f, 1.f, Flat(scopeLine));
        prevY = y;
    }
    auto place = [&](const char* ctl, const TImage& f) { panel.Paste(f, Ctl(ctl).X, Ctl(ctl).Y); };
    const auto& mv = Ctl("MixVolumeter");
    for (int ch = 0; ch < 2; ++ch) {
        int litW = ch ? 36 : 42;
        panel.Paste(Frame(at("Volumeter.bmp"), 2, 0), mv.X, mv.Y + ch * 4);
        panel.Paste(Frame(at("Volumeter.bmp"), 2, 1), mv.X, mv.Y + ch * 4, 0, 0, litW, 4);
    }
    place("ScopeButton", Frame(at("ScopeMute.bmp"), 2, 1));
    place("StartButton", Frame(at("PlayBtn.bmp"), 2, 1));
    place("LoopButton", Frame(at("LoopBtn.bmp"), 2, 0));
    auto digits = [&](const char* ctl, int v) {
        const auto& d = Ctl(ctl);
        for (int place = 2; place >= 0; --place) {
            int frame = v >= 1 ? v % 10 + 1 : (place == 2 ? 1 : 0);
            panel.Paste(Frame(at("digits.bmp"), 11, frame), d.X + place * 11, d.Y);
            v /= 10;
        }
    };
    digits("PatNumDig", 5);
    digits("BPMDig", 140);
    place("PatUpDown", Frame(at("UpDown.bmp"), 2, 0));
    place("BPMUpDown", Frame(at("UpDown.bmp"), 2, 0));
    place("PatPad", Frame(at("PatPad.bmp"), 10, 5));
    const char* fx[] = {"FXVolBtn", "FXPitchBtn", "FXDrawBtn", "FXNoteBtn"};
    for (int i = 0; i < 4; ++i) place(fx[i], Frame(at("FX_Btns.bmp"), 8, i * 2 + (i == 0 ? 1 : 0)));
    const char* sliders[] = {"MainVolSlider", "ShuffleSlider", "MainPitchSlider", "MainResoSlider", "MainCutOffSlider"};
    const int pos[] = {20, 40, 64, 0, 0};  // value along 0..128 of each slider's range
    for (int i = 0; i < 5; ++i) {
        const auto& sl = Ctl(sliders[i]);
        int track = sl.Height - 9;
        panel.Paste(Frame(at("VolSliderKnob.bmp"), 3, 0), sl.X, sl.Y + pos[i] * track / 128);
    }
    img.Paste(panel, 0, 40);
    // The channel area with four rows.
    for (int y = areaTop; y < areaTop + areaH; y += 32)
        for (int x = 0; x < w; x += 32)
            img.Paste(at("back.bmp"), x, y, 0, 0, std::min(32, w - x), std::min(32, areaTop + areaH - y));
    for (int y = areaTop; y < areaTop + areaH; y += 32) {
        int hh = std::min(32, areaTop + areaH - y);
        img.Paste(at("LeftSide.bmp"), 0, y, 0, 0, layout::SideWidth, hh);
        img.Paste(at("RightSide.bmp"), w - layout::SideWidth, y, 0, 0, layout::SideWidth, hh);
    }
    const char* names[rows] = {"KICK", "SNARE", "HAT", "CLAP"};
    const char* patterns[rows] = {"x...x...x...x...", "....x.......x..x", "x.xxx.x.x.xxx.x.", "....x.......x..."};
    const int* cb = layout::ChanBtns;
    for (int r = 0; r < rows; ++r) {
        int ox = layout::SideWidth, oy = areaTop + 20 + r * (rowH + 3);
        img.Paste(Frame(at("SmallWheel.bmp"), 16, 12 - r * 2), ox + cb[0], oy + cb[1]);
        img.Paste(Frame(at("MuteBtn.bmp"), 2, r == 3 ? 1 : 0), ox + cb[2], oy + cb[3]);
        img.Paste(Frame(at("SetBtn.bmp"), 2, r == 1 ? 1 : 0), ox + cb[4], oy + cb[5]);
        Text(img, names[r], ox + cb[4] + 10, oy + cb[5] + 5, r == 1 ? AmberHot : Ink);
        img.Paste(Frame(at("SelectBtn.bmp"), 2, r == 1 ? 1 : 0), ox + cb[6], oy + cb[7]);
        for (int st = 0; st < 16; ++st) {
            int state = patterns[r][st] == 'x' ? 1 : 0;
            int frame = state + (((st / 4) % 2) ? 2 : 0);
            img.Paste(Frame(at("NoteBtn.bmp"), 4, frame), ox + cb[8] + st * 16, oy + cb[9]);
            img.Paste(Frame(at("PosLed.bmp"), 2, st == 6 ? 1 : 0), ox + cb[8] + st * 16, oy + cb[9] + 27);
        }
    }
    // The per-step knob over one step, as a right-click shows it.
    img.Paste(Frame(at("MiddleWheel.bmp"), 23, 15), layout::SideWidth + cb[8] + 8 * 16 - 4, areaTop + 20 + 2 * 49 - 4);
    img.Paste(at("BottomLine.bmp"), 0, areaTop + areaH);
    Text(img, "START PLAYING", Ctl("InfoLabel").X + 2, areaTop + areaH + 4, Hex(0xE8C27A));
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make_default_style BUILD_FOLDER EMBED_SOURCE [PREVIEW_FOLDER]\n");
        return 64;
    }
    const fs::path build = argv[1], embed = argv[2];
    const fs::path styleDir = build / "Styles" / "Default", resDir = build / "resources";
    std::error_code ec;
    fs::create_directories(styleDir, ec);
    fs::create_directories(resDir, ec);
    fs::create_directories(embed.parent_path(), ec);

    const TImage menuBack = MenuBack();
    const TImage title = TitleBar(true);
    std::map<std::string, TImage> bmp;
    bmp["MenuBack.bmp"] = menuBack;
    bmp["BottomLine.bmp"] = BottomLine();
    bmp["MenuLine.bmp"] = MenuLine();
    bmp["TitleBar.bmp"] = title;
    bmp["TitleBar_Off.bmp"] = TitleBar(false);
    bmp["back.bmp"] = BackTile();
    bmp["LeftSide.bmp"] = Side(true);
    bmp["RightSide.bmp"] = Side(false);
    bmp["NoteBtn.bmp"] = NoteBtn();
    bmp["PosLed.bmp"] = PosLed();
    bmp["HSliderKnob.bmp"] = FaderStrip(9, 16, 2, false, PanelBottom);
    const char* glyphs[] = {"Vol_FX.bmp", "Pan_FX.bmp", "Pitch_FX.bmp", "Mix_FX.bmp", "Reso_FX.bmp", "CutOff_FX.bmp"};
    for (int i = 0; i < 6; ++i) bmp[glyphs[i]] = ParamGlyph(i);
    bmp["Keyb.bmp"] = Keyb();
    bmp["Keyb_Keys.bmp"] = KeybKeys();
    bmp["PLBullet.bmp"] = PLBullet();
    bmp["LoopBtn.bmp"] = LoopBtn();
    bmp["PlayBtn.bmp"] = PlayBtn();
    bmp["ScopeMute.bmp"] = ScopeMute();
    bmp["PatPad.bmp"] = PatPad();
    bmp["MinClose.bmp"] = MinClose(title);
    bmp["UpDown.bmp"] = UpDown();
    bmp["FX_Btns.bmp"] = FXBtns();
    bmp["digits.bmp"] = Digits();
    bmp["MiddleWheel.bmp"] = MiddleWheel();
    bmp["SmallWheel.bmp"] = SmallWheel();
    bmp["VolSliderKnob.bmp"] = FaderStrip(20, 9, 3, true, Mix(PanelTop, PanelBottom, 0.5f));
    bmp["Volumeter.bmp"] = Volumeter();
    bmp["SetBtn.bmp"] = ChannelButton(64, 16);
    bmp["Zipped.bmp"] = ChannelButton(48, 12);
    bmp["MuteBtn.bmp"] = MuteBtn();
    bmp["SelectBtn.bmp"] = SelectBtn();
    {
        TImage items(layout::WindowWidth * 2, 18, {});
        items.Paste(MenuBar(MenuLefts(), MenuCaptions, false), 0, 0);
        items.Paste(MenuBar(MenuLefts(), MenuCaptions, true), layout::WindowWidth, 0);
        bmp["MenuItems.bmp"] = items;
    }

    std::vector<std::pair<std::string, fs::path>> styleFiles, resources;
    for (const auto& [name, img] : bmp) {
        Save(styleDir / name, EncodeBmp(img));
        styleFiles.push_back({name, styleDir / name});
    }
    std::string config = ConfigText();
    Save(styleDir / "config.txt", std::vector<uint8_t>(config.begin(), config.end()));
    styleFiles.push_back({"config.txt", styleDir / "config.txt"});
    Save(styleDir / "StartSnd.WAV", StartSound());
    styleFiles.push_back({"StartSnd.WAV", styleDir / "StartSnd.WAV"});

    std::map<std::string, TImage> res;
    res["SKnob"] = FaderStrip(20, 9, 2, true, PanelBottom);
    res["SKnobH"] = FaderStrip(9, 16, 2, false, PanelBottom);
    res["ZavoUpDown"] = SpinnerArrows();
    res["WAVE"] = Cursor(true);
    res["LINE"] = Cursor(false);
    for (int size : {18, 48, 128, 256}) res["Icon" + std::to_string(size)] = ProgramIcon(size);
    res["FavAdd"] = Star(true);
    res["FavFolder"] = Folder();
    res["SetKnob"] = SettingsKnobStrip();
    for (const auto& [name, img] : res) {
        Save(resDir / (name + ".png"), EncodePng(img));
        resources.push_back({name, resDir / (name + ".png")});
    }

    Save(build / "Title.JPG", EncodeJpeg(Splash()));
    Save(build / "StyleMockup.png", EncodePng(Mockup(bmp, Opaque(res["Icon18"], Hex(0x2A2E36)))));

    if (argc == 4) {
        const fs::path preview = argv[3];
        fs::create_directories(preview, ec);
        for (const auto& [name, img] : bmp) Save(preview / (name + ".png"), EncodePng(Enlarged(img, 4)));
        for (const auto& [name, img] : res) Save(preview / (name + ".png"), EncodePng(Enlarged(img, 4)));
        Save(preview / "Title.png", EncodePng(Splash()));
        Save(preview / "StyleMockup.png", EncodePng(Enlarged(Mockup(bmp, Opaque(res["Icon18"], Hex(0x2A2E36))), 2)));
    }

    std::string src = EmbedSource(styleFiles, resources);
    // Rewritten only when it changes, so a rebuild does not recompile it for nothing.
    std::vector<uint8_t> bytes(src.begin(), src.end());
    if (ReadBytes(embed) != bytes) Save(embed, bytes);
    return 0;
}
