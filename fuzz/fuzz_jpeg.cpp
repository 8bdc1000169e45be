// libFuzzer target: the splash decoder must turn any bytes into an image or
// a null image, never crash, exit or read past its buffer.
#include <cstddef>
#include <cstdint>

#include "window/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QImage image = tx::DecodeJpeg(data, size);
    if (!image.isNull() && (image.width() <= 0 || image.height() <= 0)) __builtin_trap();
    return 0;
}
