#pragma once
// Tests that can send a datagram use CORVAN_REQUIRE_HERMETIC_NETWORK() first: it fails the test
// (never skips it) unless scripts/netns-run has put the process into a private network
// namespace, so that a broadcast cannot leave the machine.
namespace corvantest {

bool InsideHermeticNetwork();

}  // namespace corvantest

#define CORVAN_REQUIRE_HERMETIC_NETWORK()                                            \
  do {                                                                               \
    if (!::corvantest::InsideHermeticNetwork())                                      \
      GTEST_FAIL() << "this test sends datagrams: run it through scripts/netns-run"; \
  } while (0)
