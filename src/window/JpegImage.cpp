#include "window/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace tx {

namespace {

// libjpeg's default error handler calls exit(); ours jumps back to the decode
// call instead, which then cleans up and returns a null image.
struct JpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->Jump, 1); }
// Warnings are counted, not printed: a truncated file decodes "successfully"
// with a grey bottom and one warning, and a damaged splash is not shown.
void OnJpegMessage(j_common_ptr info, int level) {
    if (level < 0) ++info->err->num_warnings;
}

// Larger than any splash: a corrupt header claiming a huge size must not make
// us allocate gigabytes.
constexpr JDIMENSION MaxSide = 8192;

// Kept out of the function that calls setjmp, so no object with a destructor
// lives across the jump.
bool DecodeInto(jpeg_decompress_struct& info, QImage& image) {
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > MaxSide ||
        info.output_height > MaxSide || info.output_components != 3)
        return false;
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull()) return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return info.err->num_warnings == 0;
}

}  // namespace

QImage DecodeJpeg(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) return {};
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = OnJpegError;
    error.Manager.emit_message = OnJpegMessage;
    QImage image;
    volatile bool ok = false;
    if (setjmp(error.Jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        ok = DecodeInto(info, image);
    }
    jpeg_destroy_decompress(&info);
    return ok ? image : QImage();
}

QImage LoadJpegFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeJpeg(bytes.data(), bytes.size());
}

}  // namespace tx
