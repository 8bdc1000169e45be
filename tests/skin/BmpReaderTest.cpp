// The BMP reader: every depth and layout a style may use decodes to the same
// pixels, and damaged headers give an empty bitmap with a reason, never a crash.
#include <gtest/gtest.h>

#include "BmpBytes.h"
#include "skin/BmpReader.h"

namespace {

using txtest::TBmpOptions;

// Four colours in a 5x3 picture: odd sizes catch row padding and nibble order.
const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
tx::TBitmap picture() {
    return txtest::MakeBitmap(5, 3, [](int x, int y) { return kPalette[(x + 2 * y) % 4]; });
}
tx::TBitmap twoColour() {
    return txtest::MakeBitmap(9, 3, [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFu : 0x000000u; });
}

struct TDepthCase {
    const char* Name;
    TBmpOptions Options;
    bool TwoColours;
};
void PrintTo(const TDepthCase& c, std::ostream* os) { *os << c.Name; }

class BmpDepth : public ::testing::TestWithParam<TDepthCase> {};

TEST_P(BmpDepth, DecodesToTheSamePixels) {
    const tx::TBitmap want = GetParam().TwoColours ? twoColour() : picture();
    const std::vector<uint8_t> bytes = txtest::EncodeBmp(want, GetParam().Options);
    std::string why;
    const tx::TBitmap got = tx::DecodeBmp(bytes.data(), bytes.size(), &why);
    ASSERT_EQ(got.Width, want.Width) << why;
    ASSERT_EQ(got.Height, want.Height);
    EXPECT_EQ(got.Pixels, want.Pixels);
}

TBmpOptions with(int bpp, std::vector<uint32_t> palette = {}, bool topDown = false, uint32_t header = 40) {
    TBmpOptions o;
    o.Bpp = bpp;
    o.Palette = std::move(palette);
    o.TopDown = topDown;
    o.HeaderSize = header;
    return o;
}
// The encoder writes 5-5-5 pixels; here the same layout is declared through bit fields.
TBmpOptions fields555() {
    TBmpOptions o = with(16);
    o.Compression = 3;
    o.Masks[0] = 0x7C00;
    o.Masks[1] = 0x03E0;
    o.Masks[2] = 0x001F;
    return o;
}

INSTANTIATE_TEST_SUITE_P(Reader, BmpDepth,
                         ::testing::Values(TDepthCase{"Mono", with(1, {0x000000, 0xFFFFFF}), true},
                                           TDepthCase{"Palette4", with(4, kPalette), false},
                                           TDepthCase{"Palette8", with(8, kPalette), false},
                                           TDepthCase{"Palette8TopDown", with(8, kPalette, true), false},
                                           TDepthCase{"Rgb16", with(16), false},
                                           TDepthCase{"BitFields16", fields555(), false},
                                           TDepthCase{"Rgb24", with(24), false},
                                           TDepthCase{"Rgb24TopDown", with(24, {}, true), false},
                                           TDepthCase{"Rgb24CoreHeader", with(24, {}, false, 12), false},
                                           TDepthCase{"Rgb24V5Header", with(24, {}, false, 124), false},
                                           TDepthCase{"Palette8CoreHeader", with(8, kPalette, false, 12), false},
                                           TDepthCase{"Rgb32", with(32), false},
                                           TDepthCase{"Rgb32V4TopDown", with(32, {}, true, 108), false}),
                         [](const auto& info) { return std::string(info.param.Name); });

// Run-length files are written by hand: the encoder above does not compress.
std::vector<uint8_t> rleFile(uint32_t compression, int bpp, int w, int h, std::vector<uint8_t> runs) {
    tx::TBitmap blank{w, h, std::vector<uint32_t>(size_t(w) * h, 0xFF000000u)};
    TBmpOptions o = with(bpp, kPalette);
    std::vector<uint8_t> b = txtest::EncodeBmp(blank, o);
    const size_t off = b[10] | b[11] << 8;
    b.resize(off);
    b.insert(b.end(), runs.begin(), runs.end());
    txtest::put32(b, 30, compression);
    return b;
}

TEST(BmpRle, Rle8RunsAbsoluteRunsAndDeltaFillFromTheBottom) {
    // bottom row: 2 x colour 1, absolute 3 (2, 3, 1) padded; next row: delta right 1, then 1 x colour 3.
    const auto b = rleFile(1, 8, 5, 2, {2, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 1, 3, 0, 1});
    const tx::TBitmap got = tx::DecodeBmp(b.data(), b.size());
    ASSERT_EQ(got.Width, 5);
    const uint32_t k = 0xFF000000u, red = k | 0xFF0000, green = k | 0x00FF00, blue = k | 0x0000FF;
    EXPECT_EQ(got.Pixels, (std::vector<uint32_t>{k, blue, k, k, k, red, red, green, blue, red}));
}

TEST(BmpRle, Rle4SplitsEachByteIntoTwoPixels) {
    const auto b = rleFile(2, 4, 4, 1, {4, 0x12, 0, 1});
    const tx::TBitmap got = tx::DecodeBmp(b.data(), b.size());
    ASSERT_EQ(got.Width, 4);
    EXPECT_EQ(got.Pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFFFF0000u, 0xFF00FF00u}));
}

TEST(BmpRle, RunsPastTheEdgeStopThere) {
    // 255 pixels into a 4x1 picture, a delta far outside, an absolute run cut short by the file's end.
    for (const auto& runs :
         {std::vector<uint8_t>{255, 1, 0, 2, 200, 200, 3, 2}, std::vector<uint8_t>{0, 2, 255, 255, 0, 200, 1}}) {
        const auto b = rleFile(1, 8, 4, 1, runs);
        std::string why;
        const tx::TBitmap got = tx::DecodeBmp(b.data(), b.size(), &why);
        EXPECT_TRUE(got.Width == 4 || got.Width == 0) << why;
    }
}

// Damaged files: each mutation of a good 24-bit file is refused with a reason.
struct TDamage {
    const char* Name;
    size_t At;  // byte to overwrite (4 bytes, little-endian), or SIZE_MAX to cut the file
    uint32_t Value;
    const char* Why;
};
void PrintTo(const TDamage& c, std::ostream* os) { *os << c.Name; }
class BmpDamage : public ::testing::TestWithParam<TDamage> {};

TEST_P(BmpDamage, GivesAnEmptyBitmapAndAReason) {
    std::vector<uint8_t> b = txtest::EncodeBmp(picture());
    if (GetParam().At == SIZE_MAX)
        b.resize(GetParam().Value);
    else
        txtest::put32(b, GetParam().At, GetParam().Value);
    std::string why;
    const tx::TBitmap got = tx::DecodeBmp(b.data(), b.size(), &why);
    EXPECT_EQ(got.Width, 0);
    EXPECT_TRUE(got.Pixels.empty());
    EXPECT_NE(why.find(GetParam().Why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Reader, BmpDamage,
    ::testing::Values(TDamage{"NotBm", 0, 0x4A50, "not a BMP"}, TDamage{"Empty", SIZE_MAX, 0, "not a BMP"},
                      TDamage{"HeaderCut", SIZE_MAX, 30, "truncated header"},
                      TDamage{"PixelsCut", SIZE_MAX, 60, "truncated pixel data"},
                      TDamage{"OddHeaderSize", 14, 33, "unknown header size"},
                      TDamage{"ZeroWidth", 18, 0, "empty picture"}, TDamage{"ZeroHeight", 22, 0, "empty picture"},
                      TDamage{"HugeWidth", 18, 16385, "too large"},
                      TDamage{"MinIntHeight", 22, 0x80000000u, "too large"},
                      TDamage{"NegativeWidth", 18, 0xFFFFFFFFu, "empty picture"},
                      TDamage{"Depth2", 28, 2, "colour depth"}, TDamage{"Depth64", 28, 64, "colour depth"},
                      TDamage{"Jpeg", 30, 4, "compression"}, TDamage{"RleOn24", 30, 1, "run-length"},
                      TDamage{"PixelsPastEnd", 10, 0xFFFFFFF0u, "no pixel data"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BmpReader, PaletteIndexPastAShortPaletteIsOpaqueBlackNotAWildRead) {
    // The bottom-left pixel names entry 200 of a 4-entry palette; then the
    // header claims 262144 colours, more than the file holds.
    for (const uint32_t claimed : {4u, 262144u}) {
        std::vector<uint8_t> b = txtest::EncodeBmp(picture(), with(8, kPalette));
        txtest::put32(b, 46, claimed);
        b[b[10]] = 200;
        const tx::TBitmap got = tx::DecodeBmp(b.data(), b.size());
        ASSERT_EQ(got.Width, 5);
        EXPECT_EQ(got.Pixels[2 * 5], 0xFF000000u) << claimed;
    }
}

TEST(BmpReader, MissingFileIsEmpty) {
    std::string why;
    EXPECT_EQ(tx::LoadBmpFile("/nonexistent/x.bmp", &why).Width, 0);
    EXPECT_EQ(why, "cannot be opened");
}

}  // namespace
