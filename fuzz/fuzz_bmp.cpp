// libFuzzer target for the BMP reader and the strip cutter behind it. Besides
// finding faults it checks that a decoded bitmap is consistent: sizes within
// the caps, one opaque pixel per position, and frames that fit the bitmap.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "skin/BmpReader.h"
#include "skin/Strip.h"

namespace {

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "fuzz_bmp: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string why;
    const tx::TBitmap bmp = tx::DecodeBmp(data, size, &why);
    if (bmp.Width == 0 || bmp.Height == 0) {
        if (!bmp.Pixels.empty() || bmp.Width != bmp.Height) broken("a half-empty bitmap");
        if (why.empty()) broken("a refusal without a reason");
        return 0;
    }
    if (bmp.Width > tx::MaxBitmapSide || bmp.Height > tx::MaxBitmapSide) broken("a bitmap past the size cap");
    if (bmp.Pixels.size() != size_t(bmp.Width) * size_t(bmp.Height)) broken("pixels do not match the size");
    for (uint32_t px : bmp.Pixels)
        if (px >> 24 != 0xFF) broken("a pixel that is not opaque");
    // Cut it as a masked strip with a count from the input, and by a fixed width.
    const int count = size ? data[size - 1] % 32 : 1;
    for (const tx::TStripShape shape : {tx::TStripShape{count, 0, true}, tx::TStripShape{0, count, false}}) {
        const tx::TStrip strip = tx::LoadStrip(bmp, shape);
        if (strip.Empty()) continue;
        if (int64_t(strip.FrameWidth) * int64_t(strip.Frames.size()) > bmp.Width)
            broken("frames wider than the bitmap");
        for (const tx::TBitmap& f : strip.Frames)
            if (f.Pixels.size() != size_t(strip.FrameWidth) * size_t(bmp.Height)) broken("a frame of the wrong size");
    }
    return 0;
}
