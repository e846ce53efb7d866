#pragma once
// The service's two pictures, encoded with libjpeg: the strip whose colour tells the
// current data feed, and the graph of the going RFAs over time.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace servicesim {

enum class tFeed { Com, Tcp, Udp, UdpTcp, None, Log };

struct tRgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// "com", "tcp", "udp", "udptcp", "none", "log".
std::optional<tFeed> ParseFeed(std::string_view name);
std::string_view FeedName(tFeed feed);
// Green COM, orange TCP, blue UDP, yellow UDP/TCP, red no data, teal log files.
tRgb FeedColour(tFeed feed);

inline constexpr int kStripWidth = 200, kStripHeight = 20;
inline constexpr int kGraphWidth = 240, kGraphHeight = 80;
// The graph shows this many samples, the newest at the right.
inline constexpr std::size_t kGraphSamples = 48;
inline constexpr tRgb kGraphBar{200, 0, 0};

// Baseline JPEG of an RGB raster (rows top to bottom, 3 bytes per pixel). Throws
// std::runtime_error when libjpeg reports an error.
std::string EncodeJpeg(const std::vector<std::uint8_t>& rgb, int width, int height);

std::string DataSourcePicture(tFeed feed);
// One bar per sample; the scale grows with the largest sample (at least 5).
std::string GoingGraphPicture(const std::deque<int>& samples);

}  // namespace servicesim
