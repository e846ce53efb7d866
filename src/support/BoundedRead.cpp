#include "support/BoundedRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "support/UniqueFd.h"

namespace brix32 {
namespace {

tBoundedRead Outcome(tReadStatus Status, std::size_t Limit, int Error = 0) {
  tBoundedRead r;
  r.Status = Status;
  r.Error = Error;
  r.Limit = Limit;
  return r;
}

bool Missing(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

tBoundedRead ReadBoundedFile(const std::string& FileName, std::size_t MaxBytes, tLinkRule Links) {
  const bool refuseLinks = Links == tLinkRule::Refuse;
  // Looked at before opening, so that no device is ever opened (opening some has effects).
  struct stat st {};
  if ((refuseLinks ? ::lstat(FileName.c_str(), &st) : ::stat(FileName.c_str(), &st)) != 0)
    return Outcome(Missing(errno) ? tReadStatus::Missing : tReadStatus::Failed, MaxBytes, errno);
  if (!S_ISREG(st.st_mode)) return Outcome(tReadStatus::NotRegular, MaxBytes);
  if (static_cast<std::uintmax_t>(st.st_size) > MaxBytes) return Outcome(tReadStatus::TooLarge, MaxBytes);

  // The name may have been replaced since: the checks are made again on what was opened.
  // Non-blocking, so that a FIFO put there meanwhile cannot hold the open.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (refuseLinks ? O_NOFOLLOW : 0);
  const UniqueFd fd(::open(FileName.c_str(), flags));
  if (!fd) {
    const int error = errno;
    if (Missing(error)) return Outcome(tReadStatus::Missing, MaxBytes, error);
    if (error == ELOOP && refuseLinks) return Outcome(tReadStatus::NotRegular, MaxBytes);
    return Outcome(tReadStatus::Failed, MaxBytes, error);
  }
  if (::fstat(fd.get(), &st) != 0) return Outcome(tReadStatus::Failed, MaxBytes, errno);
  if (!S_ISREG(st.st_mode)) return Outcome(tReadStatus::NotRegular, MaxBytes);
  if (static_cast<std::uintmax_t>(st.st_size) > MaxBytes) return Outcome(tReadStatus::TooLarge, MaxBytes);

  tBoundedRead r = Outcome(tReadStatus::Read, MaxBytes);
  r.Data.reserve(static_cast<std::size_t>(st.st_size));
  // One byte beyond the limit tells a file that grew while it was read.
  char buffer[65536];
  for (;;) {
    const std::size_t left = MaxBytes - r.Data.size();
    const ssize_t n = ::read(fd.get(), buffer, left < sizeof buffer ? left + 1 : sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return Outcome(tReadStatus::Failed, MaxBytes, errno);
    }
    r.Data.append(buffer, static_cast<std::size_t>(n));
    if (r.Data.size() > MaxBytes) return Outcome(tReadStatus::TooLarge, MaxBytes);
  }
  return r;
}

std::string ReadProblemText(const tBoundedRead& Result) {
  switch (Result.Status) {
    case tReadStatus::Read:
      return "was read";
    case tReadStatus::Missing:
      return "does not exist";
    case tReadStatus::NotRegular:
      return "is not a regular file";
    case tReadStatus::TooLarge:
      return "is larger than " + ByteSizeText(Result.Limit);
    case tReadStatus::Failed:
      break;
  }
  return std::string("cannot be read: ") + std::strerror(Result.Error);
}

std::string ByteSizeText(std::size_t Bytes) {
  constexpr std::size_t KB = 1024;
  constexpr std::size_t MB = 1024 * KB;
  if (Bytes >= MB && Bytes % MB == 0) return std::to_string(Bytes / MB) + " MB";
  if (Bytes >= KB && Bytes % KB == 0) return std::to_string(Bytes / KB) + " KB";
  return std::to_string(Bytes) + (Bytes == 1 ? " byte" : " bytes");
}

}  // namespace brix32
