#pragma once

#include <cstdint>
#include <vector>

namespace tx {

// A decoded picture as plain pixels, the form in which style bitmaps leave the
// Qt-free core. A missing or unreadable bitmap is an empty TBitmap.
struct TBitmap { int Width = 0, Height = 0; std::vector<uint32_t> Pixels; /* 0xAARRGGBB, top row first */ };

}  // namespace tx
