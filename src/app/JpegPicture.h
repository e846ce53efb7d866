#pragma once
// The service's JPEG pictures (going graph, data-source strip), decoded with libjpeg.
// The service rewrites them while we may be reading: a picture that is cut short, corrupt
// or absurdly large yields nothing, so that the caller keeps the picture it had.
#include <QImage>
#include <optional>
#include <string>

namespace MainForm {

// Largest picture accepted, in pixels; the service's pictures are a few thousand.
inline constexpr long long kMaxJpegPixels = 16LL * 1024 * 1024;

// The picture in `Bytes`, or nothing when libjpeg reports any error or warning (a
// truncated file is only a warning to libjpeg, which would pad it with grey).
std::optional<QImage> DecodeJpeg(const std::string& Bytes);

}  // namespace MainForm
