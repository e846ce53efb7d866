#pragma once
// The one way to read a file that another account may have put in our way: regular files
// only (a FIFO would block, a device never end), opened without blocking, at most a given
// number of bytes, and the descriptor closed on every path.
#include <cstddef>
#include <string>

namespace brix32 {

// Whether a link in the file's own name is followed. The service writes its files into
// the program folder itself; a link under one of those names was planted there.
enum class tLinkRule { Follow, Refuse };

enum class tReadStatus {
  Read,        // Data holds every byte of the file
  Missing,     // no entry of that name
  NotRegular,  // a folder, FIFO, device or socket; or a link where links are refused
  TooLarge,    // more than the limit
  Failed,      // could not be opened or read: Error says why
};

struct tBoundedRead {
  tReadStatus Status = tReadStatus::Missing;
  std::string Data;
  int Error = 0;          // errno of a failure
  std::size_t Limit = 0;  // the limit it was read with

  bool Ok() const { return Status == tReadStatus::Read; }
};

tBoundedRead ReadBoundedFile(const std::string& FileName, std::size_t MaxBytes, tLinkRule Links = tLinkRule::Follow);

// Why a file was not read, to follow its name in a message: "is larger than 64 KB",
// "is not a regular file", "does not exist", or the system's error text.
std::string ReadProblemText(const tBoundedRead& Result);

// 65536 as "64 KB", 1048576 as "1 MB"; other sizes in bytes.
std::string ByteSizeText(std::size_t Bytes);

}  // namespace brix32
