#pragma once
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tx {

// Decodes a JPEG with libjpeg straight into a QImage (RGB888). A missing,
// truncated or corrupt file gives a null image: never an exit, a longjmp past
// our frames or a read past the buffer. Any thread.
QImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
QImage LoadJpegFile(const std::string& path);

}  // namespace tx
