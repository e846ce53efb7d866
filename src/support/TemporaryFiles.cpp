#include "support/TemporaryFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <random>
#include <string_view>

namespace brix32 {
namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool IsTemporarySuffix(std::string_view Suffix) {
  return Suffix.size() == 6 && Suffix.find_first_not_of(kLetters) == std::string_view::npos;
}

// The folder part (with its "/", or empty for the working folder) and the name.
std::pair<std::string, std::string> SplitFolder(const std::string& FileName) {
  const std::size_t slash = FileName.rfind('/');
  if (slash == std::string::npos) return {std::string(), FileName};
  return {FileName.substr(0, slash + 1), FileName.substr(slash + 1)};
}

}  // namespace

UniqueFd CreateLockedTemporary(const std::string& FileName, std::string& TempName) {
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    TempName = FileName + ".";
    for (int i = 0; i < 6; ++i) TempName += kLetters[pick(random)];
    UniqueFd fd(::open(TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (!fd && errno == EEXIST) continue;
    if (!fd) return fd;
    // Between its creation and the lock a cleaner may have taken it for a leftover and
    // removed it: then it has no name any more, and another one is made. Where locks are
    // not supported no cleaner can take it either.
    struct stat st {};
    if (::flock(fd.get(), LOCK_EX) != 0 || (::fstat(fd.get(), &st) == 0 && st.st_nlink > 0)) return fd;
  }
  errno = EEXIST;
  return {};
}

void RemoveLeftoverTemporaries(const std::string& FileName) {
  const auto [folder, base] = SplitFolder(FileName);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const int dirFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() != base.size() + 7 || !name.starts_with(base) || name[base.size()] != '.' ||
        !IsTemporarySuffix(name.substr(base.size() + 1)))
      continue;
    const UniqueFd fd(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat held {
    }, named{};
    if (!fd || ::fstat(fd.get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
    // A writer that is alive holds the lock until its temporary has its final name.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    // Still the file that was checked: only then is the name removed.
    if (::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
      ::unlinkat(dirFd, entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace brix32
