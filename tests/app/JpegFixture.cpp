#include "JpegFixture.h"

#include <jpeglib.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace apptest {

namespace {

std::string Encode(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                   const std::function<void(jpeg_compress_struct&)>& tune) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (tune) tune(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[static_cast<std::size_t>(x) * 3] = r;
    row[static_cast<std::size_t>(x) * 3 + 1] = g;
    row[static_cast<std::size_t>(x) * 3 + 2] = b;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

}  // namespace

std::string SolidJpeg(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, bool progressive) {
  if (!progressive) return Encode(width, height, r, g, b, {});
  return Encode(width, height, r, g, b, [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); });
}

std::string ManyScansJpeg(int width, int height) {
  std::vector<jpeg_scan_info> scans;
  scans.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
  for (int component = 0; component < 3; ++component)
    for (int k = 1; k < 64; ++k) scans.push_back({1, {component, 0, 0, 0}, k, k, 0, 0});
  return Encode(width, height, 40, 90, 160, [&scans](jpeg_compress_struct& c) {
    c.scan_info = scans.data();
    c.num_scans = static_cast<int>(scans.size());
  });
}

std::string WithDeclaredSize(std::string jpeg, int width, int height) {
  // Walk the markers after SOI: each is FF xx and a two-byte length, up to the frame
  // header (SOF0 baseline, SOF2 progressive).
  std::size_t at = 2;
  while (at + 9 < jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xff) {
    const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
    if (marker == 0xc0 || marker == 0xc2) {
      jpeg[at + 5] = static_cast<char>(height >> 8);
      jpeg[at + 6] = static_cast<char>(height & 0xff);
      jpeg[at + 7] = static_cast<char>(width >> 8);
      jpeg[at + 8] = static_cast<char>(width & 0xff);
      return jpeg;
    }
    const std::size_t length =
        static_cast<unsigned char>(jpeg[at + 2]) * 256u + static_cast<unsigned char>(jpeg[at + 3]);
    at += 2 + length;
  }
  throw std::runtime_error("no frame header in the picture");
}

}  // namespace apptest
