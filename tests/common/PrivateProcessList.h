#pragma once
// Tests that count running "corvansrvc.exe" processes must not see the service simulators
// that other tests start at the same time. Called first thing in main: re-executes the
// test once under `unshare --pid --mount-proc`, so it gets a process list of its own.
// Returns only inside the private process list; exits with 3 when unshare cannot run
// (the hermetic network runner provides the privileges).
namespace corvantest {

void EnterPrivateProcessList(int argc, char** argv);

}  // namespace corvantest
