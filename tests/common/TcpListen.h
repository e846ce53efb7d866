#pragma once
// A TCP listener on 127.0.0.1 for tests that play a host, such as the vendor's file
// exchange.
#include <cstdint>

namespace corvantest {

// A listening socket on 127.0.0.1:Port (address reuse on, close-on-exec); throws when the
// port cannot be had.
int ListenOnLoopback(std::uint16_t Port, int Backlog);

}  // namespace corvantest
