#pragma once
// The service's JPEG pictures (going graph, data-source strip), decoded with libjpeg.
// The service rewrites them while we may be reading, and the folder is writable by
// another account: a picture that is cut short, corrupt or larger than any the service
// draws yields nothing, so that the caller keeps the picture it had.
#include <QImage>
#include <cstddef>
#include <optional>
#include <string>

namespace MainForm {

// Largest picture accepted, in pixels: far above the service's (177 x 85 and 277 x 9),
// and small enough that decoding and showing one costs a few MB.
inline constexpr long long kMaxJpegPixels = 1024LL * 512;
// The most working memory libjpeg may take for one picture. A progressive picture sets
// aside its whole coefficient buffer before the first scan is read (3 MiB at the pixel
// limit); the limit holds whatever the frame header claims.
inline constexpr std::size_t kJpegMemoryLimit = 8u << 20;
// The most scans a progressive picture may have (the usual script has ten): every scan
// is another pass over the whole picture.
inline constexpr int kMaxJpegScans = 100;

// The picture in `Bytes`, or nothing when libjpeg reports any error or warning (a
// truncated file is only a warning to libjpeg, which would pad it with grey), or when it
// breaks one of the limits above. The size is judged from the frame header, before
// libjpeg sets aside any memory for the picture.
std::optional<QImage> DecodeJpeg(const std::string& Bytes);

}  // namespace MainForm
