#include "skin/BmpReader.h"

#include <array>
#include <bit>
#include <fstream>
#include <iterator>

namespace tx {

namespace {

// Every read is checked against the end of the buffer: a header may claim anything.
struct TReader {
    const uint8_t* Data;
    size_t Size;
    bool Has(size_t at, size_t n) const { return at <= Size && n <= Size - at; }
    uint32_t U16(size_t at) const { return Data[at] | Data[at + 1] << 8; }
    uint32_t U32(size_t at) const {
        return uint32_t(Data[at]) | uint32_t(Data[at + 1]) << 8 | uint32_t(Data[at + 2]) << 16 |
               uint32_t(Data[at + 3]) << 24;
    }
};

enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6 };

// One colour channel of a bit-field pixel, scaled to 0..255.
struct TField {
    int Shift = 0, Bits = 0;
    static TField From(uint32_t mask) {
        TField f;
        if (!mask) return f;
        f.Shift = std::countr_zero(mask);
        f.Bits = std::countr_one(mask >> f.Shift);
        if (f.Bits > 8) {  // keep the top 8 bits of a wide field
            f.Shift += f.Bits - 8;
            f.Bits = 8;
        }
        return f;
    }
    uint32_t Get(uint32_t px) const {
        if (!Bits) return 0;
        const uint32_t v = (px >> Shift) & ((1u << Bits) - 1);
        return Bits == 8 ? v : v * 255 / ((1u << Bits) - 1);
    }
};

TBitmap fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return {};
}

// Run-length decoding into palette indices; a run or delta that leaves the
// picture stops at its edge, pixels never written keep index 0.
bool decodeRle(const TReader& r, size_t at, size_t end, int width, int height, bool four, std::vector<uint8_t>& idx) {
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](uint8_t v) {
        if (x < width && y < height) idx[size_t(height - 1 - y) * width + x] = v;
        ++x;
    };
    while (at + 2 <= end) {
        const uint8_t n = r.Data[at], v = r.Data[at + 1];
        at += 2;
        if (n) {
            for (int i = 0; i < n; ++i) put(four ? (i & 1 ? v & 15 : v >> 4) : v);
            continue;
        }
        if (v == 0) {  // end of line
            x = 0;
            ++y;
        } else if (v == 1) {  // end of bitmap
            return true;
        } else if (v == 2) {  // delta
            if (at + 2 > end) return false;
            x += r.Data[at];
            y += r.Data[at + 1];
            at += 2;
        } else {  // absolute run of v pixels, padded to a whole word
            const size_t bytes = four ? (v + 1) / 2 : v;
            if (at + bytes > end) return false;
            for (int i = 0; i < v; ++i) {
                const uint8_t b = r.Data[at + (four ? i / 2 : i)];
                put(four ? (i & 1 ? b & 15 : b >> 4) : b);
            }
            at += (bytes + 1) & ~size_t{1};
        }
        if (y >= height) return true;
    }
    return true;  // a missing end marker still leaves a picture
}

}  // namespace

TBitmap DecodeBmp(const uint8_t* data, size_t size, std::string* why) {
    const TReader r{data, size};
    if (!data || !r.Has(0, 18) || data[0] != 'B' || data[1] != 'M') return fail(why, "not a BMP file");
    const uint32_t offBits = r.U32(10);
    const uint32_t hdrSize = r.U32(14);
    int64_t width = 0, height = 0;
    uint32_t bpp = 0, compression = BiRgb, colorsUsed = 0;
    size_t paletteEntry = 4;
    if (hdrSize == 12) {  // the old core header
        if (!r.Has(14, 12)) return fail(why, "truncated header");
        width = r.U16(18);
        height = r.U16(20);
        bpp = r.U16(24);
        paletteEntry = 3;
    } else if (hdrSize >= 40 && hdrSize <= 124) {
        if (!r.Has(14, hdrSize)) return fail(why, "truncated header");
        width = int32_t(r.U32(18));
        height = int32_t(r.U32(22));
        bpp = r.U16(28);
        compression = r.U32(30);
        colorsUsed = r.U32(46);
    } else {
        return fail(why, "unknown header size");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return fail(why, "empty picture");
    if (width > MaxBitmapSide || height > MaxBitmapSide || width * height > MaxBitmapPixels)
        return fail(why, "picture too large");

    const bool rle = compression == BiRle8 || compression == BiRle4;
    if (rle && (topDown || bpp != (compression == BiRle8 ? 8u : 4u))) return fail(why, "bad run-length bitmap");
    const bool fields = compression == BiBitfields || compression == BiAlphaBitfields;
    if (!rle && !fields && compression != BiRgb) return fail(why, "unsupported compression");
    if (fields && bpp != 16 && bpp != 32) return fail(why, "bit fields need 16 or 32 bits");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return fail(why, "unsupported colour depth");

    // Palette (up to 256 entries) follows the header.
    std::array<uint32_t, 256> palette;
    palette.fill(0xFF000000u);  // entries a short palette lacks are opaque black
    if (bpp <= 8) {
        const size_t max = size_t{1} << bpp;
        const size_t n = colorsUsed && colorsUsed < max ? colorsUsed : max;
        const size_t at = 14 + hdrSize;
        for (size_t i = 0; i < n; ++i) {
            if (!r.Has(at + i * paletteEntry, 3)) break;  // a short palette leaves black
            const uint8_t* p = data + at + i * paletteEntry;
            palette[i] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }

    TField red, green, blue;
    if (bpp == 16 || bpp == 32) {
        uint32_t mr = bpp == 16 ? 0x7C00 : 0xFF0000, mg = bpp == 16 ? 0x03E0 : 0xFF00, mb = bpp == 16 ? 0x1F : 0xFF;
        if (fields) {
            // The masks sit inside a version 4/5 header, or just after a 40-byte one.
            if (!r.Has(54, 12)) return fail(why, "truncated bit fields");
            mr = r.U32(54);
            mg = r.U32(58);
            mb = r.U32(62);
        }
        red = TField::From(mr);
        green = TField::From(mg);
        blue = TField::From(mb);
    }

    const int w = int(width), h = int(height);
    TBitmap bmp;
    if (offBits >= size) return fail(why, "no pixel data");
    if (rle) {
        std::vector<uint8_t> idx(size_t(w) * h, 0);
        if (!decodeRle(r, offBits, size, w, h, compression == BiRle4, idx)) return fail(why, "truncated run");
        bmp.Pixels.resize(idx.size());
        for (size_t i = 0; i < idx.size(); ++i) bmp.Pixels[i] = palette[idx[i]];
    } else {
        const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
        if (!r.Has(offBits, stride * h)) return fail(why, "truncated pixel data");
        bmp.Pixels.resize(size_t(w) * h);
        for (int row = 0; row < h; ++row) {
            const uint8_t* src = data + offBits + stride * row;
            uint32_t* dst = bmp.Pixels.data() + size_t(topDown ? row : h - 1 - row) * w;
            for (int x = 0; x < w; ++x) {
                uint32_t px;
                switch (bpp) {
                    case 1:
                        px = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                        break;
                    case 4:
                        px = palette[(src[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
                        break;
                    case 8:
                        px = palette[src[x]];
                        break;
                    case 24:
                        px = 0xFF000000u | uint32_t(src[3 * x + 2]) << 16 | uint32_t(src[3 * x + 1]) << 8 | src[3 * x];
                        break;
                    default: {
                        const uint32_t v = bpp == 16 ? uint32_t(src[2 * x] | src[2 * x + 1] << 8)
                                                     : r.U32(size_t(src - data) + 4 * size_t(x));
                        // Styles mask by colour, so any alpha channel is ignored.
                        px = 0xFF000000u | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
                    }
                }
                dst[x] = px;
            }
        }
    }
    bmp.Width = w;
    bmp.Height = h;
    return bmp;
}

TBitmap LoadBmpFile(const std::string& path, std::string* why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(why, "cannot be opened");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // A header cannot describe more than this, so a bigger file is not a style bitmap.
    if (size < 0 || size > MaxBitmapPixels * 4 + 65536) return fail(why, "file too large");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return fail(why, "cannot be read");
    return DecodeBmp(bytes.data(), bytes.size(), why);
}

}  // namespace tx
