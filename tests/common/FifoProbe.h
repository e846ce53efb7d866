#pragma once
#include <atomic>
#include <string>
#include <thread>

namespace corvantest {

// A named pipe that tells whether anything opened it for reading. A reader is let go at
// once (it reads the end of the file), so code that should never have touched the pipe
// fails its test instead of hanging it.
class FifoProbe {
 public:
  explicit FifoProbe(std::string path);
  ~FifoProbe();
  FifoProbe(const FifoProbe&) = delete;
  FifoProbe& operator=(const FifoProbe&) = delete;

  bool Opened() const { return opened_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::thread watcher_;
};

}  // namespace corvantest
