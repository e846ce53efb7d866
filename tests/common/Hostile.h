#pragma once
// Helpers for tests that put links, FIFOs and devices where a program expects files.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvantest {

// What another account can put under a file's name in a shared folder.
enum class tPlanted {
  Fifo,          // blocks an open for reading until a writer comes
  DevZeroLink,   // a link to /dev/zero: reads without end
  LinkOut,       // a link to a regular file outside the folder
  DanglingLink,  // a link to a name outside the folder that does not exist
  Folder,        // a folder where a file should be
  Huge,          // a 100 MB regular file (sparse)
};
inline constexpr tPlanted kEveryPlanted[] = {tPlanted::Fifo,         tPlanted::DevZeroLink, tPlanted::LinkOut,
                                             tPlanted::DanglingLink, tPlanted::Folder,      tPlanted::Huge};
const char* PlantedName(tPlanted Kind);
// Puts Kind at Path; the links point at Outside (a file or name outside the folder).
void Plant(tPlanted Kind, const std::string& Path, const std::string& Outside);

// Runs `body` in a forked child and tells whether it ended within `limit`: a call that
// would block for ever (a FIFO opened for reading) fails the test instead of hanging it.
// The child is killed and reaped when it did not end; its address space is bounded, so
// that a read without end fails soon instead of taking the machine's memory.
bool FinishesInChild(const std::function<void()>& body, std::chrono::milliseconds limit = std::chrono::seconds(30));

// Bounds this process's address space to what it uses now plus `headroom` while it
// lives: a read without end then fails soon. Does nothing under the address sanitizer,
// which reserves far more address space than any such bound.
class AddressSpaceBound {
 public:
  explicit AddressSpaceBound(unsigned long long headroom = 1ULL << 30);
  ~AddressSpaceBound();
  AddressSpaceBound(const AddressSpaceBound&) = delete;
  AddressSpaceBound& operator=(const AddressSpaceBound&) = delete;

 private:
  bool set_ = false;
  unsigned long long soft_ = 0;
};

// While it lives, a write that would make any file larger than `bytes` fails (EFBIG), as
// writes fail on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long long soft_ = 0;
  void (*signal_)(int) = nullptr;
};

// For a test of code that might block on a FIFO in this very thread: once `after` has
// passed, opens the writing end of each FIFO again and again, so that a reader stuck on
// one gets to its end and the test can fail instead of hanging.
class FifoRescue {
 public:
  explicit FifoRescue(std::vector<std::string> fifos, std::chrono::milliseconds after = std::chrono::seconds(20));
  ~FifoRescue();
  FifoRescue(const FifoRescue&) = delete;
  FifoRescue& operator=(const FifoRescue&) = delete;

  // Stops it; true when a reader had to be rescued.
  bool Needed();

 private:
  std::vector<std::string> fifos_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::atomic<bool> needed_{false};
  std::thread thread_;
};

// The number of descriptors this process holds open.
int OpenDescriptorCount();

// A shell command line that runs its arguments with the address space bounded to 2 GiB
// ("sh -c LINE PROGRAM ARGS..."), unbounded under the address sanitizer.
std::string BoundedAddressSpaceCommand();

}  // namespace corvantest
