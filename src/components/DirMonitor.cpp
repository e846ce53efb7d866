#include "components/DirMonitor.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "components/InotifyMapping.h"
#include "components/ProcessMonitor.h"

namespace components {

namespace {

const char kNotFound[] = "No se ha encontrado el directorio";
const char kPortError[] = "Error en \"CreateIoCompletionPort\"";
const char kReadError[] = "Error en \"ReadDirectoryChanges\"";

struct tInotifyRecord {
  int Wd;
  std::uint32_t Mask;
  std::string_view Name;
};

// Calls `fn` for each whole record of an inotify batch, in order; a record cut off at the
// end of the bytes is not seen.
template <class Fn>
void ForEachRecord(const char* data, std::size_t bytes, Fn&& fn) {
  std::size_t offset = 0;
  while (offset + sizeof(inotify_event) <= bytes) {
    inotify_event header;
    std::memcpy(&header, data + offset, sizeof header);
    const std::size_t end = offset + sizeof header + header.len;
    if (end > bytes) return;
    const char* name = data + offset + sizeof header;
    // The name is padded with zero bytes to the record's length.
    const std::size_t length = ::strnlen(name, header.len);
    if (!fn(tInotifyRecord{header.wd, header.mask, std::string_view(name, length)})) return;
    offset = end;
  }
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

TDirMonitor::TDirMonitor() {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  readyFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0 || readyFd_ < 0) {
    const int err = errno;
    CloseFd(wakeFd_);
    CloseFd(readyFd_);
    throw std::system_error(err, std::generic_category(), "eventfd");
  }
  readyNotifier_ = new QSocketNotifier(readyFd_, QSocketNotifier::Read);
  QObject::connect(readyNotifier_, &QSocketNotifier::activated, [this] { BatchReady(); });
  try {
    worker_ = std::make_unique<TProcessMonitor>(*this);
  } catch (...) {
    delete readyNotifier_;
    CloseFd(wakeFd_);
    CloseFd(readyFd_);
    throw;
  }
}

TDirMonitor::~TDirMonitor() {
  // Destroyed from inside OnChange: the walk on the stack below must stop at once.
  if (destroyedFlag_) *destroyedFlag_ = true;
  worker_.reset();
  delete readyNotifier_;
  CloseFd(notifyFd_);
  CloseFd(wakeFd_);
  CloseFd(readyFd_);
}

void TDirMonitor::SetActive(bool Value) {
  if (loading_) {
    storedActive_ = Value;
    return;
  }
  if (Value == active_) return;
  if (Value)
    Start();
  else
    Stop();
}

void TDirMonitor::Loaded() {
  loading_ = false;
  if (storedActive_) SetActive(true);
}

std::uint32_t TDirMonitor::WatchMask() const {
  // Sub-folders that appear or leave must be followed, whatever the filter reports.
  return mask_ | (WatchSubtree ? IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO : 0u);
}

void TDirMonitor::Start() {
  mask_ = InotifyMask(FilterNotification);
  // The folder first, so that a missing one is reported as such whatever else would fail.
  const int folder = ::open(Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) throw EInvalidOperation(kNotFound);
  ::close(folder);

  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) throw std::runtime_error(kPortError);
  if (mask_ == 0) {
    CloseFd(fd);
    throw std::runtime_error(kReadError);  // nothing to report is not a valid request
  }
  const int wd = ::inotify_add_watch(fd, Directory.c_str(), WatchMask() | IN_ONLYDIR);
  if (wd < 0) {
    const int err = errno;
    CloseFd(fd);
    if (err == ENOENT || err == ENOTDIR || err == EACCES) throw EInvalidOperation(kNotFound);
    throw std::runtime_error(kReadError);
  }
  folders_.clear();
  folders_[wd] = "";
  {
    std::lock_guard lock(mutex_);
    notifyFd_ = fd;
    ++generation_;
  }
  if (WatchSubtree) WatchSubfolders("");
  active_ = true;
  WakeWorker();
}

void TDirMonitor::Stop() {
  int fd;
  {
    std::unique_lock lock(mutex_);
    fd = notifyFd_;
    notifyFd_ = -1;
    ++generation_;
    WakeWorker();
    // Closing a descriptor that another thread is waiting on is a race: wait until the
    // worker has let go of it (it does not wait for us, so this is short).
    changed_.wait(lock, [&] { return pollingFd_ != fd; });
  }
  CloseFd(fd);
  folders_.clear();
  active_ = false;
}

void TDirMonitor::WakeWorker() {
  const std::uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

void TDirMonitor::BatchReady() {
  std::uint64_t count;
  (void)!::read(readyFd_, &count, sizeof count);
  std::size_t bytes;
  std::uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    if (!handoverPending_) return;
    bytes = bytesReturned_;
    generation = batchGeneration_;
  }
  // A batch read before a stop or restart belongs to a watch that no longer exists.
  if (active_ && generation == generation_ && !ProcessBuffer(bytes, generation)) return;
  {
    std::lock_guard lock(mutex_);
    handoverPending_ = false;
  }
  changed_.notify_all();
}

bool TDirMonitor::ProcessBuffer(std::size_t BytesReturned, std::uint64_t Generation) {
  // An overflowed queue: this batch reports nothing, as if the platform had lost it whole.
  bool overflowed = false;
  ForEachRecord(buffer_, BytesReturned, [&](const tInotifyRecord& r) {
    overflowed = overflowed || (r.Mask & IN_Q_OVERFLOW) != 0;
    return !overflowed;
  });
  if (overflowed) return true;

  bool destroyed = false;
  destroyedFlag_ = &destroyed;
  ForEachRecord(buffer_, BytesReturned, [&](const tInotifyRecord& r) {
    auto folder = folders_.find(r.Wd);
    if (folder == folders_.end()) return true;
    if (r.Mask & IN_IGNORED) {  // the watch is gone (its folder was deleted or moved away)
      folders_.erase(folder);
      return true;
    }
    if (r.Name.empty()) return true;  // about the watched folder itself
    std::string name = folder->second;
    name += r.Name;
    if (WatchSubtree && (r.Mask & IN_ISDIR)) {
      if (r.Mask & (IN_CREATE | IN_MOVED_TO)) WatchFolderTree(name + "/");
      if (r.Mask & IN_MOVED_FROM) UnwatchFolderTree(name + "/");
    }
    const std::optional<TAction> action = MapInotifyEvent(r.Mask, FilterNotification);
    if (!action || !FilterAction.Contains(*action)) return true;
    TEventChange handler = OnChange;  // a copy: the handler may replace or destroy it
    if (!handler) return true;
    handler(this, *action, name);
    if (destroyed) return false;
    return generation_ == Generation;  // stopped or restarted by the handler: stop here
  });
  if (destroyed) return false;
  destroyedFlag_ = nullptr;
  return true;
}

void TDirMonitor::WatchFolderTree(const std::string& RelativeFolder) {
  const std::filesystem::path folder = std::filesystem::path(Directory) / RelativeFolder;
  const int wd = ::inotify_add_watch(notifyFd_, folder.c_str(), WatchMask() | IN_ONLYDIR | IN_DONT_FOLLOW);
  // A folder that vanished meanwhile, or the watch limit: that part goes unwatched.
  if (wd < 0) return;
  folders_[wd] = RelativeFolder;
  WatchSubfolders(RelativeFolder);
}

void TDirMonitor::WatchSubfolders(const std::string& RelativeFolder) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::path(Directory) / RelativeFolder;
  for (std::filesystem::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_symlink(ec) || !it->is_directory(ec)) continue;
    WatchFolderTree(RelativeFolder + it->path().filename().string() + "/");
  }
}

void TDirMonitor::UnwatchFolderTree(const std::string& RelativeFolder) {
  for (auto it = folders_.begin(); it != folders_.end();) {
    if (it->second.starts_with(RelativeFolder)) {
      ::inotify_rm_watch(notifyFd_, it->first);
      it = folders_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace components
