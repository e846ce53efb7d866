#include "app/JpegPicture.h"

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

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<tErrorManager*>(cinfo->err)->Jump, 1); }

// Warnings are counted (num_warnings) and judged after decoding; nothing is printed.
void OutputMessage(j_common_ptr) {}

// Called by libjpeg as it reads the picture, scan after scan.
void LimitScans(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) ErrorExit(cinfo);
}

// Bytes per row of RGB pixels, rounded up as QImage wants its rows aligned.
std::size_t Stride(JDIMENSION width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

// Decodes into a malloc'd RGB buffer. Kept free of C++ objects with destructors, since
// an error leaves it by longjmp.
unsigned char* DecodeRgb(const unsigned char* data, unsigned long size, int* width, int* height) {
  jpeg_decompress_struct cinfo;
  tErrorManager err;
  jpeg_progress_mgr progress{};
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
  // Past this, libjpeg fails where it would have needed more (the JPEGMEM environment
  // variable it reads at creation is overruled).
  cinfo.mem->max_memory_to_use = static_cast<long>(kJpegMemoryLimit);
  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  // Judged on the frame header alone: jpeg_start_decompress sets aside the memory.
  const long long pixelCount = static_cast<long long>(cinfo.image_width) * static_cast<long long>(cinfo.image_height);
  if (pixelCount <= 0 || pixelCount > kMaxJpegPixels || (cinfo.num_components != 1 && cinfo.num_components != 3)) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3 || cinfo.output_width != cinfo.image_width ||
      cinfo.output_height != cinfo.image_height) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  const std::size_t stride = Stride(cinfo.output_width);
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
  // The image takes the buffer over (no copy) and frees it when the last copy goes.
  return QImage(
      pixels, width, height, static_cast<qsizetype>(Stride(static_cast<JDIMENSION>(width))), QImage::Format_RGB888,
      [](void* p) { std::free(p); }, pixels);
}

}  // namespace MainForm
