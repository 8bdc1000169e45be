#pragma once
// Hand-built BMP files for the style tests, benchmarks and fuzz seeds: any
// depth the reader claims, either row order, a chosen header size, and raw
// access to every header field so damaged files are easy to make.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "skin/Bitmap.h"

namespace txtest {

struct TBmpOptions {
    int Bpp = 24;
    bool TopDown = false;
    uint32_t HeaderSize = 40;       // 12, 40, 108 or 124
    uint32_t Compression = 0;       // 0 plain, 3 bit fields
    std::vector<uint32_t> Palette;  // 0x00RRGGBB, for 1/4/8 bits
    uint32_t Masks[3] = {0, 0, 0};  // bit fields
};

inline void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Encodes `bmp` (palette depths take the index of each pixel's colour in the palette).
inline std::vector<uint8_t> EncodeBmp(const tx::TBitmap& bmp, const TBmpOptions& o = {}) {
    const bool core = o.HeaderSize == 12;
    const size_t entry = core ? 3 : 4;
    const size_t paletteBytes = o.Bpp <= 8 ? o.Palette.size() * entry : 0;
    const size_t maskBytes = o.Compression == 3 && o.HeaderSize == 40 ? 12 : 0;
    const size_t off = 14 + o.HeaderSize + maskBytes + paletteBytes;
    const size_t stride = ((size_t(bmp.Width) * o.Bpp + 31) / 32) * 4;
    std::vector<uint8_t> b(off + stride * bmp.Height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, uint32_t(off));
    put32(b, 14, o.HeaderSize);
    if (core) {
        put16(b, 18, bmp.Width);
        put16(b, 20, bmp.Height);
        put16(b, 22, 1);
        put16(b, 24, o.Bpp);
    } else {
        put32(b, 18, uint32_t(bmp.Width));
        put32(b, 22, uint32_t(o.TopDown ? -bmp.Height : bmp.Height));
        put16(b, 26, 1);
        put16(b, 28, o.Bpp);
        put32(b, 30, o.Compression);
        put32(b, 46, o.Bpp <= 8 ? uint32_t(o.Palette.size()) : 0);
        if (o.Compression == 3)
            for (int i = 0; i < 3; ++i) put32(b, 54 + 4 * i, o.Masks[i]);
    }
    for (size_t i = 0; i < paletteBytes / entry; ++i) {
        const uint32_t c = o.Palette[i];
        const size_t at = 14 + o.HeaderSize + maskBytes + i * entry;
        b[at] = uint8_t(c);
        b[at + 1] = uint8_t(c >> 8);
        b[at + 2] = uint8_t(c >> 16);
    }
    auto index = [&](uint32_t px) {
        for (size_t i = 0; i < o.Palette.size(); ++i)
            if (o.Palette[i] == (px & 0xFFFFFF)) return uint32_t(i);
        return uint32_t(0);
    };
    for (int y = 0; y < bmp.Height; ++y) {
        const size_t row = off + stride * size_t(o.TopDown ? y : bmp.Height - 1 - y);
        for (int x = 0; x < bmp.Width; ++x) {
            const uint32_t px = bmp.Pixels[size_t(y) * bmp.Width + x];
            const uint32_t r = px >> 16 & 255, g = px >> 8 & 255, bl = px & 255;
            switch (o.Bpp) {
                case 1:
                    b[row + x / 8] |= uint8_t(index(px) << (7 - x % 8));
                    break;
                case 4:
                    b[row + x / 2] |= uint8_t(index(px) << (x % 2 ? 0 : 4));
                    break;
                case 8:
                    b[row + x] = uint8_t(index(px));
                    break;
                case 16:
                    put16(b, row + 2 * x, (r >> 3) << 10 | (g >> 3) << 5 | bl >> 3);
                    break;  // 5-5-5
                case 24:
                    b[row + 3 * x] = uint8_t(bl);
                    b[row + 3 * x + 1] = uint8_t(g);
                    b[row + 3 * x + 2] = uint8_t(r);
                    break;
                case 32:
                    put32(b, row + 4 * x, px & 0xFFFFFF);
                    break;
            }
        }
    }
    return b;
}

// A bitmap whose pixel (x, y) is `colour(x, y)`, opaque.
template <class F>
tx::TBitmap MakeBitmap(int w, int h, F colour) {
    tx::TBitmap bmp{w, h, std::vector<uint32_t>(size_t(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp.Pixels[size_t(y) * w + x] = 0xFF000000u | (colour(x, y) & 0xFFFFFF);
    return bmp;
}

inline void WriteBmp(const std::filesystem::path& p, const tx::TBitmap& bmp, const TBmpOptions& o = {}) {
    const std::vector<uint8_t> b = EncodeBmp(bmp, o);
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

}  // namespace txtest
