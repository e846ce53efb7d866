#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/UniqueFd.h"

namespace MainForm {
namespace {

std::string WithSlash(std::string f) {
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return f + "/";
}

// $XDG_RUNTIME_DIR when it names a folder: the session made it, for this user alone.
std::string RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return WithSlash(runtime);
  return {};
}

// Without a trailing "/".
std::string FallbackFolder(const std::string& Name) {
  std::error_code ec;
  const std::string temp = std::filesystem::temp_directory_path(ec).string();
  return WithSlash(temp.empty() ? std::string("/tmp") : temp) + Name + "-" + std::to_string(::getuid());
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// The folder, made when missing; nothing, with `problem` saying why, unless it is a folder
// (not a link to one) of this user's with mode 0700.
brix32::UniqueFd OpenOwnFolder(const std::string& name, std::string& problem) {
  const bool created = ::mkdir(name.c_str(), 0700) == 0;
  if (!created && errno != EEXIST) {
    problem = "the single-instance folder " + name + " cannot be made: " + std::strerror(errno);
    return {};
  }
  // Opened without following a link, then judged by what was opened.
  brix32::UniqueFd folder(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!folder || ::fstat(folder.get(), &st) != 0) {
    const int error = errno;
    problem = "the single-instance folder " + name + " cannot be used: " +
              (error == ELOOP     ? std::string("it is a link")
               : error == ENOTDIR ? std::string("it is not a folder")
                                  : std::string(std::strerror(error)));
    return {};
  }
  if (created) {
    ::fchmod(folder.get(), 0700);  // whatever the umask took away
  } else if (st.st_uid != ::getuid() || (st.st_mode & 07777) != 0700) {
    problem = "the single-instance folder " + name + " belongs to user " + std::to_string(st.st_uid) + " with mode " +
              Octal(st.st_mode) + ", not to this user (" + std::to_string(::getuid()) + ") with mode 0700";
    return {};
  }
  return folder;
}

}  // namespace

TSingleInstance::~TSingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

std::string TSingleInstance::LockFilePath(const std::string& Name) {
  const std::string runtime = RuntimeFolder();
  return (runtime.empty() ? FallbackFolder(Name) + "/" : runtime) + Name;
}

tInstanceClaim TSingleInstance::Claim(const std::string& Name) {
  if (fd_ >= 0) return tInstanceClaim::Claimed;
  problem_.clear();
  brix32::UniqueFd folder;
  if (const std::string runtime = RuntimeFolder(); !runtime.empty()) {
    folder.reset(::open(runtime.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  } else {
    folder = OpenOwnFolder(FallbackFolder(Name), problem_);
    if (!folder) return tInstanceClaim::FolderRefused;
  }
  // A lock file that cannot be made at all does not stop the program.
  if (!folder) return tInstanceClaim::Claimed;
  // O_NOFOLLOW: a link in our name was planted by someone else.
  const int fd = ::openat(folder.get(), Name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return tInstanceClaim::Claimed;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? tInstanceClaim::HeldElsewhere : tInstanceClaim::Claimed;
  }
  fd_ = fd;
  return tInstanceClaim::Claimed;
}

}  // namespace MainForm
