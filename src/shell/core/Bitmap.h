#pragma once
#include <cstdint>
#include <vector>

namespace tx {

struct TBitmap { int Width = 0, Height = 0; std::vector<uint32_t> Pixels; /* 0xAARRGGBB, top row first */ };

}  // namespace tx
