#pragma once
// Small JPEG pictures for the tests, encoded with libjpeg as the service would.
#include <cstdint>
#include <string>

namespace apptest {

// A width x height picture of one colour.
std::string SolidJpeg(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);

}  // namespace apptest
