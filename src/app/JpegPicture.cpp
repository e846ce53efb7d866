#include "JpegPicture.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace MainForm {
namespace {

struct tErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<tErrorManager*>(cinfo->err)->Jump, 1);
}

// Warnings are counted (num_warnings) and judged after decoding; nothing is printed.
void OutputMessage(j_common_ptr) {}

// Decodes into a malloc'd RGB buffer. Kept free of C++ objects with destructors, since
// an error leaves it by longjmp.
unsigned char* DecodeRgb(const unsigned char* data, unsigned long size, int* width, int* height) {
  jpeg_decompress_struct cinfo;
  tErrorManager err;
  unsigned char* volatile pixels = nullptr;
  cinfo.err = jpeg_std_error(&err.Base);
  err.Base.error_exit = ErrorExit;
  err.Base.output_message = OutputMessage;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(pixels);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const long long pixelCount =
      static_cast<long long>(cinfo.output_width) * static_cast<long long>(cinfo.output_height);
  if (cinfo.output_components != 3 || pixelCount <= 0 || pixelCount > kMaxJpegPixels) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 3;
  pixels = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
  if (!pixels) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  const bool clean = err.Base.num_warnings == 0;
  *width = static_cast<int>(cinfo.output_width);
  *height = static_cast<int>(cinfo.output_height);
  jpeg_destroy_decompress(&cinfo);
  if (!clean) {
    std::free(pixels);
    return nullptr;
  }
  return pixels;
}

}  // namespace

std::optional<QImage> DecodeJpeg(const std::string& Bytes) {
  if (Bytes.empty()) return std::nullopt;
  int width = 0;
  int height = 0;
  unsigned char* pixels = DecodeRgb(reinterpret_cast<const unsigned char*>(Bytes.data()),
                                    static_cast<unsigned long>(Bytes.size()), &width, &height);
  if (!pixels) return std::nullopt;
  const QImage view(pixels, width, height, width * 3, QImage::Format_RGB888);
  QImage picture = view.copy();
  std::free(pixels);
  return picture;
}

}  // namespace MainForm
