#pragma once
// Stand-ins for the service: copies of sleep named corvansrvc.exe, running from the
// program folder, so that the process list shows the service as the real one would.
#include <sys/types.h>

#include <string>
#include <vector>

namespace corvantest {

class ServiceProcesses {
 public:
  explicit ServiceProcesses(std::string folder) : folder_(std::move(folder)) {}
  ~ServiceProcesses();
  ServiceProcesses(const ServiceProcesses&) = delete;
  ServiceProcesses& operator=(const ServiceProcesses&) = delete;
  void Start(int count = 1);
  void StopOne();
  pid_t Last() const { return pids_.back(); }
  std::size_t Count() const { return pids_.size(); }

 private:
  std::string folder_;
  std::vector<pid_t> pids_;
};

}  // namespace corvantest
