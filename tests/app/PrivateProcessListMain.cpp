// The main of the window tests. The status watcher counts running "corvansrvc.exe"
// processes, and other tests start service simulators of that name; so these tests run
// with a process list of their own (a PID namespace with its own /proc), re-executing
// themselves under unshare once. The hermetic network runner makes that possible.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (!std::getenv("CORVAN_PRIVATE_PIDS")) {
    ::setenv("CORVAN_PRIVATE_PIDS", "1", 1);
    std::vector<char*> args;
    for (const char* a : {"unshare", "--pid", "--fork", "--mount-proc"})
      args.push_back(const_cast<char*>(a));
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("unshare", args.data());
    std::perror("unshare --pid (run this test through scripts/netns-run)");
    return 3;
  }
  QApplication app(argc, argv);
  // As in the program: only closing the main window ends the loop.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
