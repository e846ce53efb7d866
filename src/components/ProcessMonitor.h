#pragma once
// The directory monitor's worker: waits on the component's inotify descriptor and its
// wake-up descriptor, reads each batch into the component's buffer and hands the batch
// to the user-interface thread, waiting until it has been walked there. While the
// component is inactive it waits on the wake-up descriptor alone.
#include <thread>

namespace components {

class TDirMonitor;

class TProcessMonitor {
 public:
  explicit TProcessMonitor(TDirMonitor& Owner);
  // Asks the worker to end and waits until it has: it never touches the component after.
  ~TProcessMonitor();
  TProcessMonitor(const TProcessMonitor&) = delete;
  TProcessMonitor& operator=(const TProcessMonitor&) = delete;

 private:
  void Execute();

  TDirMonitor& owner_;
  std::thread thread_;
};

}  // namespace components
