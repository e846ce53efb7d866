#pragma once
// A print server on a loopback port that answers the two IPP requests a client makes to
// list destinations (CUPS-Get-Printers and CUPS-Get-Default) from a fixed script.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace corvantest {

struct FakeCupsScript {
  std::vector<std::string> Printers = {};
  std::string Default = {};             // empty: the server has no default
  int GetPrintersStatus = 0;            // an ipp_status_t; 0 = OK
  std::string GetPrintersMessage = {};  // status-message when the status is an error
};

class FakeCupsServer {
 public:
  explicit FakeCupsServer(FakeCupsScript script);
  ~FakeCupsServer();
  FakeCupsServer(const FakeCupsServer&) = delete;
  FakeCupsServer& operator=(const FakeCupsServer&) = delete;

  // "127.0.0.1:port", for CUPS_SERVER.
  std::string address() const;

 private:
  void serve();

  FakeCupsScript script_;
  int listen_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A loopback port that nothing listens on.
std::uint16_t ClosedLoopbackPort();

// Points the CUPS library at `server` ("host:port" or a socket path) for this thread;
// empty restores the default.
void UseCupsServer(const std::string& server);

}  // namespace corvantest
