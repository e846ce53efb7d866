#include "support/FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/TemporaryFiles.h"
#include "support/TextUtils.h"
#include "support/UniqueFd.h"

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
  if (::stat(Folder.c_str(), &folder) == 0 && (folder.st_mode & S_ISGID)) mode |= (mode & S_IRWXU) >> 3;
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
    UniqueFd existing(
        ::open(FileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK | (bAppend ? O_APPEND : 0)));
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

// The folder's own entry of a new name reaches the disk only when the folder is synced.
void SyncFolder(const std::string& Folder) {
  const UniqueFd fd(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());  // a file system that cannot sync folders gives what it can
}

// Where a folder cannot give a file a second name: an exclusive create of the name itself,
// written in place; what a failed write created is removed again.
std::int32_t CreateInPlace(std::string_view Text, const std::string& FileName) {
  UniqueFd fd(::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (!fd) return errno == EEXIST ? 1 : -5;
  struct stat created {};
  if (::fstat(fd.get(), &created) == 0) ShareWithFolderGroup(fd.get(), FolderOf(FileName), created.st_mode);
  if (WriteAll(fd.get(), Text) && ::fsync(fd.get()) == 0) return 0;
  const int error = errno;
  ::unlink(FileName.c_str());
  errno = error;
  return -5;
}

// A new temporary file beside FileName holding Text on disk, locked (its descriptor keeps
// the lock) until it has its final name or is gone, so that no save takes it for a
// leftover. It gets the group and mode of Replaced, else the mode a plain create gives.
// Invalid with errno set after an error, and then nothing is left behind.
UniqueFd TemporaryHolding(std::string_view Text, const std::string& FileName, const struct stat* Replaced,
                          std::string& TempName) {
  UniqueFd fd = CreateLockedTemporary(FileName, TempName);
  if (!fd) return fd;
  struct stat created {};
  mode_t mode = 0;
  if (::fstat(fd.get(), &created) == 0) mode = created.st_mode;
  if (Replaced) {
    // A group we are no member of stays the folder's: the file is then still written.
    if (Replaced->st_gid != created.st_gid) (void)::fchown(fd.get(), static_cast<uid_t>(-1), Replaced->st_gid);
    mode = Replaced->st_mode;
  }
  ShareWithFolderGroup(fd.get(), FolderOf(FileName), mode);
  if (WriteAll(fd.get(), Text) && ::fsync(fd.get()) == 0) return fd;
  const int error = errno;
  ::unlink(TempName.c_str());
  errno = error;
  return {};
}

}  // namespace

void FileToBin(const std::string& FileName, std::string& Data, std::size_t MaxBytes, tLinkRule Links) {
  tBoundedRead read = ReadBoundedFile(FileName, MaxBytes, Links);
  if (read.Status == tReadStatus::Missing) return;  // Data unchanged
  Data = std::move(read.Data);                      // empty unless read whole
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
  // The group and mode of the file replaced, never of a link's target or of a file with
  // another name elsewhere.
  struct stat old {};
  const bool keep = ::lstat(FileName.c_str(), &old) == 0 && IsPlainFile(old);
  std::string tmp;
  const UniqueFd fd = TemporaryHolding(Text, FileName, keep ? &old : nullptr, tmp);
  if (!fd) return -5;
  if (::rename(tmp.c_str(), FileName.c_str()) == 0) {
    SyncFolder(FolderOf(FileName));
    return 0;
  }
  const int error = errno;
  ::unlink(tmp.c_str());
  errno = error;
  return -5;
}

std::int32_t CreateTextFileExclusive(std::string_view Text, const std::string& FileName) {
  if (Text.empty()) return -1;
  std::string tmp;
  const UniqueFd fd = TemporaryHolding(Text, FileName, nullptr, tmp);
  if (!fd) return -5;
  std::int32_t result = -5;
  // Unlike a rename, a link fails when the name exists, even as a dangling link.
  if (::link(tmp.c_str(), FileName.c_str()) == 0)
    result = 0;
  else if (errno == EEXIST)
    result = 1;
  else if (errno == EPERM || errno == EOPNOTSUPP)
    result = CreateInPlace(Text, FileName);  // a file system without hard links
  const int error = errno;
  ::unlink(tmp.c_str());  // while still locked: no cleaner ever sees it unlocked
  if (result == 0) SyncFolder(FolderOf(FileName));
  errno = error;
  return result;
}

tReplacingFile::tReplacingFile(const std::string& FileName, mode_t Mode) : name_(FileName) {
  UniqueFd fd = CreateLockedTemporary(FileName, temp_);
  if (!fd) return;
  if (::fchmod(fd.get(), Mode & 07777) != 0) {
    const int error = errno;
    ::unlink(temp_.c_str());
    errno = error;
    return;
  }
  fd_ = fd.release();
}

tReplacingFile::~tReplacingFile() { Abandon(); }

void tReplacingFile::Abandon() {
  if (fd_ < 0) return;
  const int error = errno;
  ::unlink(temp_.c_str());  // while still locked: no cleaner ever sees it unlocked
  ::close(fd_);
  fd_ = -1;
  errno = error;
}

std::int32_t tReplacingFile::Commit() {
  if (fd_ < 0) return -5;
  if (::fsync(fd_) != 0 || ::rename(temp_.c_str(), name_.c_str()) != 0) {
    Abandon();
    return -5;
  }
  ::close(fd_);
  fd_ = -1;
  SyncFolder(FolderOf(name_));
  return 0;
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
