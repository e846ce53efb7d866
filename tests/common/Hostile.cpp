#include "Hostile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace corvantest {
namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

unsigned long long AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  unsigned long long pages = 0;
  statm >> pages;
  return pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
}

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("cannot plant " + what);
}

}  // namespace

const char* PlantedName(tPlanted Kind) {
  switch (Kind) {
    case tPlanted::Fifo:
      return "FIFO";
    case tPlanted::DevZeroLink:
      return "link to /dev/zero";
    case tPlanted::LinkOut:
      return "link out of the folder";
    case tPlanted::DanglingLink:
      return "dangling link";
    case tPlanted::Folder:
      return "folder";
    case tPlanted::Huge:
      return "100 MB file";
  }
  return "?";
}

void Plant(tPlanted Kind, const std::string& Path, const std::string& Outside) {
  switch (Kind) {
    case tPlanted::Fifo:
      Check(::mkfifo(Path.c_str(), 0666) == 0, Path);
      break;
    case tPlanted::DevZeroLink:
      Check(::symlink("/dev/zero", Path.c_str()) == 0, Path);
      break;
    case tPlanted::LinkOut:
    case tPlanted::DanglingLink:
      Check(::symlink(Outside.c_str(), Path.c_str()) == 0, Path);
      break;
    case tPlanted::Folder:
      Check(::mkdir(Path.c_str(), 0755) == 0, Path);
      break;
    case tPlanted::Huge: {
      const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      Check(fd >= 0 && ::ftruncate(fd, 100 * 1000 * 1000) == 0, Path);
      ::close(fd);
      break;
    }
  }
}

bool FinishesInChild(const std::function<void()>& body, std::chrono::milliseconds limit) {
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    const AddressSpaceBound bound;
    body();
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

AddressSpaceBound::AddressSpaceBound(unsigned long long headroom) {
  if (kSanitized) return;
  rlimit current{};
  if (::getrlimit(RLIMIT_AS, &current) != 0) return;
  soft_ = current.rlim_cur;
  rlimit bound = current;
  bound.rlim_cur = AddressSpaceInUse() + headroom;
  if (current.rlim_max != RLIM_INFINITY && bound.rlim_cur > current.rlim_max) return;
  set_ = ::setrlimit(RLIMIT_AS, &bound) == 0;
}

AddressSpaceBound::~AddressSpaceBound() {
  if (!set_) return;
  rlimit current{};
  ::getrlimit(RLIMIT_AS, &current);
  current.rlim_cur = soft_;
  ::setrlimit(RLIMIT_AS, &current);
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
  rlimit current{};
  ::getrlimit(RLIMIT_FSIZE, &current);
  soft_ = current.rlim_cur;
  signal_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
  current.rlim_cur = bytes;
  if (::setrlimit(RLIMIT_FSIZE, &current) != 0) throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
  rlimit current{};
  ::getrlimit(RLIMIT_FSIZE, &current);
  current.rlim_cur = soft_;
  ::setrlimit(RLIMIT_FSIZE, &current);
  ::signal(SIGXFSZ, signal_);
}

FifoRescue::FifoRescue(std::vector<std::string> fifos, std::chrono::milliseconds after) : fifos_(std::move(fifos)) {
  thread_ = std::thread([this, after] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (stop_.wait_for(lock, after, [this] { return stopping_; })) return;
    while (!stop_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stopping_; })) {
      for (const std::string& fifo : fifos_) {
        // Opens only while a reader waits: then that reader's open returns, and its read
        // ends when this end closes.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          needed_ = true;
          ::close(fd);
        }
      }
    }
  });
}

FifoRescue::~FifoRescue() { Needed(); }

bool FifoRescue::Needed() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (thread_.joinable()) thread_.join();
  return needed_;
}

int OpenDescriptorCount() {
  int count = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    ++count;
  return count - 1;  // the iterator's own
}

std::string BoundedAddressSpaceCommand() {
  if (kSanitized) return "exec \"$0\" \"$@\"";
  return "ulimit -v 2097152 && exec \"$0\" \"$@\"";
}

}  // namespace corvantest
