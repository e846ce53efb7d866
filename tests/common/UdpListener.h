#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace corvantest {

struct Datagram {
  std::string bytes;
  std::string source;  // dotted address of the sender
};

// A UDP listener on 0.0.0.0:port (or a system-chosen port with 0).
class UdpListener {
 public:
  explicit UdpListener(std::uint16_t port, const char* address = "0.0.0.0");
  ~UdpListener();
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  std::uint16_t port() const { return port_; }
  // Everything that arrives within `wait` after the last datagram (and at most `count`).
  std::vector<Datagram> receive(std::size_t count, std::chrono::milliseconds wait = std::chrono::milliseconds(500));

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace corvantest
