#include "FifoProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace corvantest {

FifoProbe::FifoProbe(std::string path) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("cannot create the FIFO " + path_);
  watcher_ = std::thread([this] {
    while (!stop_) {
      // Opening the writing end without blocking works only while a reader has the pipe
      // open (or waits in open); closing it again gives that reader the end of the file.
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        opened_ = true;
        ::close(fd);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
}

FifoProbe::~FifoProbe() {
  stop_ = true;
  watcher_.join();
  ::unlink(path_.c_str());
}

}  // namespace corvantest
