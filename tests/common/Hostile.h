#pragma once
// Helpers for tests that put links, FIFOs and devices where a program expects files.
#include <chrono>
#include <functional>

namespace corvantest {

// Runs `body` in a forked child and tells whether it ended within `limit`: a call that
// would block for ever (a FIFO opened for reading) fails the test instead of hanging it.
// The child is killed and reaped when it did not end; its address space is bounded, so
// that a read without end fails soon instead of taking the machine's memory.
bool FinishesInChild(const std::function<void()>& body,
                     std::chrono::milliseconds limit = std::chrono::seconds(30));

// The number of descriptors this process holds open.
int OpenDescriptorCount();

}  // namespace corvantest
