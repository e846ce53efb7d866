#pragma once
// Helpers for tests that drive the directory monitor through a real event loop.
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "components/DirMonitor.h"

namespace corvantest {

struct Change {
  components::TAction Action;
  std::string Name;
  bool operator==(const Change&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Change& c);

// The one QCoreApplication of the test program, made on first use.
void EnsureCoreApplication();

// Runs the event loop until `done` holds or `limit` has passed; false on time-out.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));
// Runs the event loop for `period`.
void RunFor(std::chrono::milliseconds period);

// Descriptors open in this process.
int OpenFdCount();

// Creates (or truncates) `path`, writes `bytes` and closes it.
void WriteFile(const std::string& path, const std::string& bytes = "x");

}  // namespace corvantest
