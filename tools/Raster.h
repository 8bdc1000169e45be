// A small software rasteriser for the program's own art: anti-aliased shapes
// from signed distance functions, a pixel font of our own, and writers for
// 24-bit BMP and RGBA PNG. No outside drawing library, so every machine writes
// the very same bytes.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace raster {

struct TRgb {
    float R = 0, G = 0, B = 0;
};

inline TRgb Hex(uint32_t rgb) {
    return {float((rgb >> 16) & 255) / 255.f, float((rgb >> 8) & 255) / 255.f, float(rgb & 255) / 255.f};
}
inline TRgb Mix(TRgb a, TRgb b, float t) {
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}
inline TRgb Scale(TRgb a, float k) { return {a.R * k, a.G * k, a.B * k}; }

using TShade = std::function<TRgb(float x, float y)>;
inline TShade Flat(TRgb c) {
    return [c](float, float) { return c; };
}
// Top-to-bottom gradient between y0 and y1.
inline TShade VGrad(TRgb top, TRgb bottom, float y0, float y1) {
    return [=](float, float y) { return Mix(top, bottom, std::clamp((y - y0) / std::max(1e-3f, y1 - y0), 0.f, 1.f)); };
}

// Colour premultiplied by coverage: an opaque picture keeps A at 1 throughout;
// a resource starts transparent and gains alpha where shapes cover it.
class TImage {
public:
    TImage() = default;
    TImage(int w, int h, TRgb fill, float alpha = 1.f)
        : W(w), H(h), C(size_t(w) * h, Scale(fill, alpha)), A(size_t(w) * h, alpha) {}

    int W = 0, H = 0;
    std::vector<TRgb> C;
    std::vector<float> A;

    void Blend(int x, int y, TRgb c, float a) {
        if (x < 0 || y < 0 || x >= W || y >= H || a <= 0) return;
        a = std::min(a, 1.f);
        size_t i = size_t(y) * W + x;
        C[i] = {C[i].R * (1 - a) + c.R * a, C[i].G * (1 - a) + c.G * a, C[i].B * (1 - a) + c.B * a};
        A[i] = A[i] * (1 - a) + a;
    }
    void Set(int x, int y, TRgb c) {
        if (x < 0 || y < 0 || x >= W || y >= H) return;
        size_t i = size_t(y) * W + x;
        C[i] = c;
        A[i] = 1;
    }
    TRgb At(int x, int y) const {
        size_t i = size_t(std::clamp(y, 0, H - 1)) * W + std::clamp(x, 0, W - 1);
        return A[i] > 0 ? Scale(C[i], 1.f / A[i]) : TRgb{};
    }
    // 0xAARRGGBB, straight alpha.
    uint32_t Argb(int x, int y) const {
        size_t i = size_t(y) * W + x;
        auto q = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.f, 1.f) * 255.f)); };
        float a = A[i];
        TRgb c = a > 0 ? Scale(C[i], 1.f / a) : TRgb{};
        return q(a) << 24 | q(c.R) << 16 | q(c.G) << 8 | q(c.B);
    }
    // Copies src (opaque pixels as they are) to (dx, dy).
    void Paste(const TImage& src, int dx, int dy, int sx = 0, int sy = 0, int w = -1, int h = -1) {
        if (w < 0) w = src.W;
        if (h < 0) h = src.H;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                size_t i = size_t(sy + y) * src.W + sx + x;
                float a = src.A[i];
                if (a > 0) Blend(dx + x, dy + y, Scale(src.C[i], 1.f / a), a);
            }
    }
};

// Signed distances (negative inside) at a point.
inline float SdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }
inline float SdRoundBox(float x, float y, float x0, float y0, float x1, float y1, float r) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2, hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
    float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.f), std::max(qy, 0.f)) + std::min(std::max(qx, qy), 0.f) - r;
}
inline float SdSegment(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.f, 1.f) : 0.f;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}
// Any simple polygon, even-odd inside test.
inline float SdPolygon(float x, float y, const std::vector<std::array<float, 2>>& v) {
    float d = 1e9f;
    bool inside = false;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        d = std::min(d, SdSegment(x, y, v[j][0], v[j][1], v[i][0], v[i][1], 0));
        if ((v[i][1] > y) != (v[j][1] > y) && x < (v[j][0] - v[i][0]) * (y - v[i][1]) / (v[j][1] - v[i][1]) + v[i][0])
            inside = !inside;
    }
    return inside ? -d : d;
}

// Fills the shape given by its distance function over the box (x0, y0)-(x1, y1)
// in pixel coordinates; the pixel (x, y) is sampled at its centre.
inline void Fill(TImage& img, float x0, float y0, float x1, float y1, const std::function<float(float, float)>& sd,
                 const TShade& shade, float opacity = 1.f) {
    int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
    int ix1 = std::min(img.W, int(std::ceil(x1)) + 1), iy1 = std::min(img.H, int(std::ceil(y1)) + 1);
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float cover = std::clamp(0.5f - sd(px, py), 0.f, 1.f);
            if (cover > 0) img.Blend(x, y, shade(px, py), cover * opacity);
        }
}

inline void RoundRect(TImage& img, float x0, float y0, float x1, float y1, float r, const TShade& s, float op = 1) {
    Fill(
        img, x0, y0, x1, y1, [=](float x, float y) { return SdRoundBox(x, y, x0, y0, x1, y1, r); }, s, op);
}
inline void Circle(TImage& img, float cx, float cy, float r, const TShade& s, float op = 1) {
    Fill(
        img, cx - r, cy - r, cx + r, cy + r, [=](float x, float y) { return SdCircle(x, y, cx, cy, r); }, s, op);
}
inline void Ring(TImage& img, float cx, float cy, float r, float width, const TShade& s, float op = 1) {
    float o = r + width;
    Fill(
        img, cx - o, cy - o, cx + o, cy + o,
        [=](float x, float y) { return std::fabs(SdCircle(x, y, cx, cy, r)) - width / 2; }, s, op);
}
inline void Line(TImage& img, float ax, float ay, float bx, float by, float width, const TShade& s, float op = 1) {
    float h = width / 2;
    Fill(
        img, std::min(ax, bx) - h, std::min(ay, by) - h, std::max(ax, bx) + h, std::max(ay, by) + h,
        [=](float x, float y) { return SdSegment(x, y, ax, ay, bx, by, h); }, s, op);
}
inline void Polygon(TImage& img, std::vector<std::array<float, 2>> v, const TShade& s, float op = 1) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (auto& p : v)
        x0 = std::min(x0, p[0]), y0 = std::min(y0, p[1]), x1 = std::max(x1, p[0]), y1 = std::max(y1, p[1]);
    Fill(
        img, x0, y0, x1, y1, [v](float x, float y) { return SdPolygon(x, y, v); }, s, op);
}
// Whole-pixel rectangle, no smoothing.
inline void Rect(TImage& img, int x, int y, int w, int h, TRgb c, float a = 1) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) img.Blend(i, j, c, a);
}

// The program's own 5x7 pixel font: capitals, digits and a little punctuation.
inline const std::array<const char*, 7>* Glyph(char ch) {
    struct G {
        char C;
        std::array<const char*, 7> Rows;
    };
    static const G glyphs[] = {
        {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
        {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
        {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
        {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
        {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
        {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
        {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
        {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
        {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
        {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
        {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
        {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
        {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
        {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
        {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
        {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
        {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
        {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
        {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
        {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
        {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
        {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
        {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
        {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
        {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
        {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
        {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
        {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
    };
    for (const G& g : glyphs)
        if (g.C == ch) return &g.Rows;
    return nullptr;
}

inline constexpr int GlyphAdvance = 6;  // 5 columns and one of spacing
inline int TextWidth(std::string_view s, int scale = 1) {
    return s.empty() ? 0 : (int(s.size()) * GlyphAdvance - 1) * scale;
}

// Calls dot(x, y) for every lit font pixel of s with its top-left at (x, y).
inline void ForTextDots(std::string_view s, int x, int y, const std::function<void(int, int)>& dot) {
    for (char ch : s) {
        if (auto* g = Glyph(char(std::toupper(static_cast<unsigned char>(ch)))))
            for (int r = 0; r < 7; ++r)
                for (int c = 0; c < 5; ++c)
                    if ((*g)[r][c] == '#') dot(x + c, y + r);
        x += GlyphAdvance;
    }
}

// Crisp text, optionally with a one-pixel shadow below it (an engraved look).
inline void Text(TImage& img, std::string_view s, int x, int y, TRgb c, float a = 1.f, const TRgb* shadow = nullptr) {
    if (shadow) ForTextDots(s, x, y + 1, [&](int px, int py) { img.Blend(px, py, *shadow, a); });
    ForTextDots(s, x, y, [&](int px, int py) { img.Blend(px, py, c, a); });
}

// ---- writers -------------------------------------------------------------

inline void PutLE(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutBE(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// 24-bit bottom-up BMP with a BITMAPINFOHEADER, rows padded to four bytes.
inline std::vector<uint8_t> EncodeBmp(const TImage& img) {
    const uint32_t stride = (uint32_t(img.W) * 3 + 3) & ~3u;
    const uint32_t dataSize = stride * uint32_t(img.H);
    std::vector<uint8_t> b;
    b.reserve(54 + dataSize);
    b.push_back('B');
    b.push_back('M');
    PutLE(b, 54 + dataSize, 4);
    PutLE(b, 0, 4);
    PutLE(b, 54, 4);
    PutLE(b, 40, 4);
    PutLE(b, uint32_t(img.W), 4);
    PutLE(b, uint32_t(img.H), 4);
    PutLE(b, 1, 2);   // planes
    PutLE(b, 24, 2);  // bits per pixel
    PutLE(b, 0, 4);   // no compression
    PutLE(b, dataSize, 4);
    PutLE(b, 2835, 4);  // 72 dots per inch
    PutLE(b, 2835, 4);
    PutLE(b, 0, 4);
    PutLE(b, 0, 4);
    for (int y = img.H - 1; y >= 0; --y) {
        size_t rowStart = b.size();
        for (int x = 0; x < img.W; ++x) {
            uint32_t p = img.Argb(x, y);
            b.push_back(uint8_t(p));
            b.push_back(uint8_t(p >> 8));
            b.push_back(uint8_t(p >> 16));
        }
        while (b.size() - rowStart < stride) b.push_back(0);
    }
    return b;
}

inline uint32_t Crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// RGBA PNG; the image data is stored in uncompressed deflate blocks, which
// every PNG reader accepts and which needs no compression library.
inline std::vector<uint8_t> EncodePng(const TImage& img) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < img.H; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < img.W; ++x) {
            uint32_t p = img.Argb(x, y);
            raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t s1 = 1, s2 = 0;
    for (uint8_t v : raw) s1 = (s1 + v) % 65521, s2 = (s2 + s1) % 65521;
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        PutLE(z, uint32_t(n), 2);
        PutLE(z, uint32_t(~n & 0xFFFF), 2);
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
        if (n == 0) break;
    }
    PutBE(z, s2 << 16 | s1);
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        PutBE(b, uint32_t(data.size()));
        size_t start = b.size();
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), data.begin(), data.end());
        PutBE(b, Crc32(b.data() + start, b.size() - start));
    };
    std::vector<uint8_t> ihdr;
    PutBE(ihdr, uint32_t(img.W));
    PutBE(ihdr, uint32_t(img.H));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", {});
    return b;
}

}  // namespace raster
