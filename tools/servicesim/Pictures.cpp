#include "Pictures.h"

// libjpeg's header needs these declared first.
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace servicesim {
namespace {

struct tFeedInfo {
  tFeed Feed;
  std::string_view Name;
  tRgb Colour;
};

constexpr std::array<tFeedInfo, 6> kFeeds = {{
    {tFeed::Com, "com", {0, 160, 0}},
    {tFeed::Tcp, "tcp", {255, 140, 0}},
    {tFeed::Udp, "udp", {0, 90, 255}},
    {tFeed::UdpTcp, "udptcp", {255, 220, 0}},
    {tFeed::None, "none", {220, 0, 0}},
    {tFeed::Log, "log", {0, 128, 128}},
}};

// libjpeg ends the process on an error unless error_exit jumps out; no C++ object with
// a destructor may live in the frame between setjmp and the jump.
struct tJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<tJpegError*>(info->err);
  info->err->format_message(info, error->Message);
  std::longjmp(error->Jump, 1);
}

// Returns false with `message` filled when libjpeg failed; `out` and `size` are then
// freed by the caller as well.
bool Compress(const std::uint8_t* rgb, int width, int height, unsigned char** out, unsigned long* size,
              tJpegError& error) {
  jpeg_compress_struct info{};
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = OnJpegError;
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 92, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(info.next_scanline) * static_cast<std::size_t>(width) * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

class Raster {
 public:
  Raster(int width, int height, tRgb fill)
      : width_(width), height_(height), rgb_(static_cast<std::size_t>(width * height) * 3) {
    Fill(0, 0, width, height, fill);
  }
  void Fill(int x0, int y0, int x1, int y1, tRgb c) {
    for (int y = std::max(0, y0); y < std::min(height_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) {
        const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
        rgb_[i] = c.r;
        rgb_[i + 1] = c.g;
        rgb_[i + 2] = c.b;
      }
  }
  std::string Jpeg() const { return EncodeJpeg(rgb_, width_, height_); }

 private:
  int width_, height_;
  std::vector<std::uint8_t> rgb_;
};

}  // namespace

std::optional<tFeed> ParseFeed(std::string_view name) {
  for (const auto& f : kFeeds)
    if (f.Name == name) return f.Feed;
  return std::nullopt;
}

std::string_view FeedName(tFeed feed) {
  for (const auto& f : kFeeds)
    if (f.Feed == feed) return f.Name;
  return "?";
}

tRgb FeedColour(tFeed feed) {
  for (const auto& f : kFeeds)
    if (f.Feed == feed) return f.Colour;
  return {};
}

std::string EncodeJpeg(const std::vector<std::uint8_t>& rgb, int width, int height) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width * height) * 3)
    throw std::runtime_error("EncodeJpeg: raster size does not match");
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tJpegError error{};
  const bool ok = Compress(rgb.data(), width, height, &out, &size, error);
  std::string bytes;
  if (ok) bytes.assign(reinterpret_cast<const char*>(out), size);
  std::free(out);
  if (!ok) throw std::runtime_error(std::string("libjpeg: ") + error.Message);
  return bytes;
}

std::string DataSourcePicture(tFeed feed) {
  const tRgb colour = FeedColour(feed);
  // A darker frame keeps a yellow strip visible on a light window.
  const tRgb frame{static_cast<std::uint8_t>(colour.r * 3 / 5), static_cast<std::uint8_t>(colour.g * 3 / 5),
                   static_cast<std::uint8_t>(colour.b * 3 / 5)};
  Raster strip(kStripWidth, kStripHeight, frame);
  strip.Fill(2, 2, kStripWidth - 2, kStripHeight - 2, colour);
  return strip.Jpeg();
}

std::string GoingGraphPicture(const std::deque<int>& samples) {
  constexpr tRgb kBackground{255, 255, 255}, kGrid{225, 225, 225}, kAxis{90, 90, 90};
  constexpr int kBottom = kGraphHeight - 3, kTop = 4;
  Raster graph(kGraphWidth, kGraphHeight, kBackground);
  int scale = 5;
  for (const int s : samples) scale = std::max(scale, s);
  const double pixelsPerRfa = static_cast<double>(kBottom - kTop) / scale;
  // A grid line for every RFA while they are few, every fifth beyond that.
  const int step = scale <= 10 ? 1 : 5;
  for (int v = step; v <= scale; v += step) {
    const int y = kBottom - static_cast<int>(v * pixelsPerRfa + 0.5);
    graph.Fill(0, y, kGraphWidth, y + 1, kGrid);
  }
  constexpr int kBarPitch = kGraphWidth / static_cast<int>(kGraphSamples);
  const std::size_t first = samples.size() > kGraphSamples ? samples.size() - kGraphSamples : 0;
  int x = kGraphWidth - static_cast<int>(samples.size() - first) * kBarPitch;
  for (std::size_t i = first; i < samples.size(); ++i, x += kBarPitch) {
    const int height = static_cast<int>(std::max(0, samples[i]) * pixelsPerRfa + 0.5);
    graph.Fill(x, kBottom - height, x + kBarPitch - 1, kBottom, kGraphBar);
  }
  graph.Fill(0, kBottom, kGraphWidth, kBottom + 1, kAxis);
  return graph.Jpeg();
}

}  // namespace servicesim
