#include "FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "TextUtils.h"

namespace brix32 {
namespace {

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

void FileToBin(const std::string& FileName, std::string& Data) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return;  // no such file: Data unchanged
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Data.clear();
    return;
  }
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (ok) Data = std::move(bytes);
  else Data.clear();
}

std::string FileToBin(const std::string& FileName) {
  std::string data;
  FileToBin(FileName, data);
  return data;
}

std::int32_t WriteTextFile(std::string_view Text, const std::string& FileName, bool bAppend) {
  if (Text.empty()) return -1;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (bAppend ? O_APPEND : O_TRUNC);
  const int fd = ::open(FileName.c_str(), flags, 0666);
  if (fd < 0) return -5;
  bool ok = WriteAll(fd, Text);
  if (::close(fd) != 0) ok = false;
  return ok ? 0 : -5;
}

std::int32_t WriteTextFileAtomic(std::string_view Text, const std::string& FileName) {
  if (Text.empty()) return -1;
  std::string tmp = FileName + ".XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return -5;
  // Keep the permissions a plain create would give (mkostemp makes 0600).
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat old {};
  const mode_t mode = ::stat(FileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : (0666 & ~mask);
  ::fchmod(fd, mode);
  bool ok = WriteAll(fd, Text) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tmp.c_str(), FileName.c_str()) == 0) return 0;
  ::unlink(tmp.c_str());
  return -5;
}

std::string ResolveNameIgnoringCase(const std::string& Folder, const std::string& Name) {
  std::string folder = Folder.empty() ? std::string(".") : Folder;
  struct stat st {};
  const std::string exact = Folder + Name;
  if (::stat(exact.c_str(), &st) == 0) return Name;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return Name;
  const std::string wanted = UpperCase(Name);
  std::string found = Name;
  while (const dirent* entry = ::readdir(dir)) {
    if (UpperCase(entry->d_name) == wanted) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace brix32
