#pragma once
// Reads of the files the service writes into the program folder. The service writes each
// of them itself, as a regular file of a known kind and size: a link under one of their
// names was planted by someone else and is not followed, and a file larger than its kind
// ever is reads as empty, like any file that cannot be read.
#include <cstddef>
#include <string>

namespace brix32 {

// A heartbeat holds the last packet of a feed: a page and its report.
inline constexpr std::size_t kHeartbeatFileLimit = 16 * 1024;
// The message, status and version files hold a line.
inline constexpr std::size_t kServiceTextFileLimit = 4 * 1024;
// The going graph and the data-source strip are small JPEG pictures.
inline constexpr std::size_t kServicePictureFileLimit = 1024 * 1024;
// The dummy page holds one page, which the operator may edit; one larger than a datagram
// can carry still fails at the send, as it always did.
inline constexpr std::size_t kDummyPageFileLimit = 1024 * 1024;

std::string ReadHeartbeat(const std::string& FileName);
std::string ReadServiceText(const std::string& FileName);
std::string ReadServicePicture(const std::string& FileName);
std::string ReadDummyPage(const std::string& FileName);

}  // namespace brix32
