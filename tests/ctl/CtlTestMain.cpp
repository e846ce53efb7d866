// The main of the corvanctl tests. The status command counts running "corvansrvc.exe"
// processes, and other tests start service simulators of that name at the same time; so
// these tests run with a process list of their own (a PID namespace with its own /proc),
// re-executing themselves under unshare once, inside the hermetic network runner.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (!std::getenv("CORVAN_PRIVATE_PIDS")) {
    ::setenv("CORVAN_PRIVATE_PIDS", "1", 1);
    std::vector<char*> args;
    for (const char* a : {"unshare", "--pid", "--fork", "--mount-proc"}) args.push_back(const_cast<char*>(a));
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("unshare", args.data());
    std::perror("unshare --pid (run this test through scripts/netns-run)");
    return 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
