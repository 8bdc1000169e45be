#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "skin/Bitmap.h"

namespace tx {

// Style bitmaps never need to be larger than this in either direction; a
// header that claims more is treated as a damaged file.
constexpr int MaxBitmapSide = 16384;
constexpr int64_t MaxBitmapPixels = int64_t{16} << 20;  // 64 MB of pixels at most

// Decodes a Windows BMP (1/4/8-bit palette, RLE4/RLE8, 16, 24 and 32 bits,
// bottom-up or top-down) into opaque 0xFFRRGGBB pixels. Anything damaged,
// unsupported or absurdly large gives an empty bitmap and, in `why`, the reason.
TBitmap DecodeBmp(const uint8_t* data, size_t size, std::string* why = nullptr);

// Reads and decodes a file; a missing or unreadable file gives an empty bitmap.
TBitmap LoadBmpFile(const std::string& path, std::string* why = nullptr);

}  // namespace tx
