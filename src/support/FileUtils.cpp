#include "FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "TextUtils.h"
#include "UniqueFd.h"

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

// The folder part of a file name, "." for a bare name.
std::string FolderOf(const std::string& FileName) {
  const std::size_t slash = FileName.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return FileName.substr(0, slash);
}

// A set-group-ID folder is shared by its group (the program folder on a station is
// root:corvan 2775): whoever owns a file we write there next, every member of the group
// keeps the owner's access to it, as the service's account needs.
void ShareWithFolderGroup(int fd, const std::string& Folder, mode_t mode) {
  struct stat folder {};
  if (::stat(Folder.c_str(), &folder) == 0 && (folder.st_mode & S_ISGID))
    mode |= (mode & S_IRWXU) >> 3;
  ::fchmod(fd, mode & 0777);
}

// Anything but a regular file with one name is no file of ours to write into: a FIFO
// would block or feed a reader, a second name may lie outside the folder.
bool IsPlainFile(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink == 1; }

// Opens FileName for writing without following a link: created when missing (with the
// mode a plain create gives), otherwise the existing plain file. -1 with errno set.
UniqueFd OpenNoFollow(const std::string& FileName, bool bAppend) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    // With O_EXCL a link of that name, even a dangling one, counts as existing.
    UniqueFd created(::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (created) {
      struct stat st {};
      if (::fstat(created.get(), &st) == 0) ShareWithFolderGroup(created.get(), FolderOf(FileName), st.st_mode);
      return created;
    }
    if (errno != EEXIST) return {};
    // Looked at first so that a device is never opened.
    struct stat st {};
    if (::lstat(FileName.c_str(), &st) == 0 && !IsPlainFile(st)) {
      errno = S_ISLNK(st.st_mode) ? ELOOP : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return {};
    }
    UniqueFd existing(::open(FileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW |
                                                   O_NONBLOCK | (bAppend ? O_APPEND : 0)));
    if (!existing) {
      if (errno == ENOENT) continue;  // removed meanwhile: create it after all
      return {};
    }
    if (::fstat(existing.get(), &st) != 0) return {};
    if (!IsPlainFile(st)) {
      errno = EINVAL;
      return {};
    }
    if (!bAppend && ::ftruncate(existing.get(), 0) != 0) return {};
    return existing;
  }
  return {};
}

// Creates a new temporary file beside FileName, named FileName + "." + six letters or
// digits, with the mode a plain create gives.
UniqueFd CreateTemporaryBeside(const std::string& FileName, std::string& TemporaryName) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    TemporaryName = FileName + ".";
    for (int i = 0; i < 6; ++i) TemporaryName += kLetters[pick(random)];
    UniqueFd fd(::open(TemporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (fd || errno != EEXIST) return fd;
  }
  return {};
}

// The folder's own entry of a new name reaches the disk only when the folder is synced.
void SyncFolder(const std::string& Folder) {
  const UniqueFd fd(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());  // a file system that cannot sync folders gives what it can
}

}  // namespace

void FileToBin(const std::string& FileName, std::string& Data, std::size_t MaxBytes, tLinkRule Links) {
  tBoundedRead read = ReadBoundedFile(FileName, MaxBytes, Links);
  if (read.Status == tReadStatus::Missing) return;  // Data unchanged
  Data = std::move(read.Data);  // empty unless read whole
}

std::string FileToBin(const std::string& FileName, std::size_t MaxBytes, tLinkRule Links) {
  std::string data;
  FileToBin(FileName, data, MaxBytes, Links);
  return data;
}

std::int32_t WriteTextFile(std::string_view Text, const std::string& FileName, bool bAppend) {
  if (Text.empty()) return -1;
  UniqueFd fd = OpenNoFollow(FileName, bAppend);
  if (!fd) return -5;
  bool ok = WriteAll(fd.get(), Text);
  int error = errno;
  if (::close(fd.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  errno = error;
  return ok ? 0 : -5;
}

std::int32_t WriteTextFileAtomic(std::string_view Text, const std::string& FileName) {
  if (Text.empty()) return -1;
  const std::string folder = FolderOf(FileName);
  std::string tmp;
  UniqueFd fd = CreateTemporaryBeside(FileName, tmp);
  if (!fd) return -5;

  // The group and mode of the file replaced, never of a link's target or of a file with
  // another name elsewhere.
  struct stat created {};
  struct stat old {};
  const bool keep = ::lstat(FileName.c_str(), &old) == 0 && IsPlainFile(old);
  mode_t mode = 0;
  if (::fstat(fd.get(), &created) == 0) mode = created.st_mode;
  if (keep) {
    // A group we are no member of stays the folder's: the file is then still written.
    if (old.st_gid != created.st_gid) (void)::fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid);
    mode = old.st_mode;
  }
  ShareWithFolderGroup(fd.get(), folder, mode);

  bool ok = WriteAll(fd.get(), Text) && ::fsync(fd.get()) == 0;
  int error = errno;
  if (::close(fd.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(tmp.c_str(), FileName.c_str()) == 0) {
    SyncFolder(folder);
    return 0;
  }
  if (ok) error = errno;
  ::unlink(tmp.c_str());
  errno = error;
  return -5;
}

std::string ResolveNameIgnoringCase(const std::string& Folder, const std::string& Name) {
  std::string folder = Folder.empty() ? std::string(".") : Folder;
  struct stat st {};
  const std::string exact = Folder + Name;
  if (::lstat(exact.c_str(), &st) == 0) return Name;
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
