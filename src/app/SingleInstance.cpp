#include "SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace MainForm {

TSingleInstance::~TSingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

std::string TSingleInstance::LockFilePath(const std::string& Name) {
  const auto folder = [](std::string f) {
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return f + "/";
  };
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
    return folder(runtime) + Name;
  std::error_code ec;
  const std::string temp = std::filesystem::temp_directory_path(ec).string();
  return folder(temp.empty() ? std::string("/tmp") : temp) + Name + "-" + std::to_string(::getuid());
}

bool TSingleInstance::Claim(const std::string& Name) {
  if (fd_ >= 0) return true;
  // O_NOFOLLOW: in a shared temp folder another user could plant a link in our name.
  const int fd = ::open(LockFilePath(Name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
  }
  fd_ = fd;
  return true;
}

}  // namespace MainForm
