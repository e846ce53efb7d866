#include "MonitorTesting.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

namespace corvantest {

std::ostream& operator<<(std::ostream& out, const Change& c) {
  static const char* const names[] = {"ADDED", "REMOVED", "MODIFIED", "RENAMED_OLD_NAME", "RENAMED_NEW_NAME"};
  return out << names[c.Action] << " " << c.Name;
}

void EnsureCoreApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char arg0[] = "components_test";
  static char* argv[] = {arg0, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  QTimer tick;  // wakes the loop now and then so that the deadline is seen
  tick.start(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void RunFor(std::chrono::milliseconds period) {
  const auto until = std::chrono::steady_clock::now() + period;
  RunUntil([&] { return std::chrono::steady_clock::now() >= until; }, period * 2);
}

int OpenFdCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path);
  const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  if (!ok) throw std::runtime_error("cannot write " + path);
}

}  // namespace corvantest
