#include "StyleData.h"

#include <QImage>

#include "skin/StyleFiles.h"

namespace tx::test {

namespace {

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
