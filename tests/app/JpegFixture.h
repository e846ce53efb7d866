#pragma once
// Small JPEG pictures for the tests, encoded with libjpeg as the service would.
#include <cstdint>
#include <string>

namespace apptest {

// A width x height picture of one colour; progressive (several scans) on request.
std::string SolidJpeg(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, bool progressive = false);

// A progressive picture of many valid scans: one for the DC coefficients, then one for
// each AC coefficient of each colour (190 in all).
std::string ManyScansJpeg(int width, int height);

// `jpeg` with the size in its frame header changed to width x height, the rest untouched:
// a small file that declares a huge picture.
std::string WithDeclaredSize(std::string jpeg, int width, int height);

}  // namespace apptest
