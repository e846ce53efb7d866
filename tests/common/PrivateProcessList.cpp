#include "PrivateProcessList.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace corvantest {

void EnterPrivateProcessList(int argc, char** argv) {
  if (std::getenv("CORVAN_PRIVATE_PIDS")) return;
  ::setenv("CORVAN_PRIVATE_PIDS", "1", 1);
  std::vector<char*> args;
  for (const char* a : {"unshare", "--pid", "--fork", "--kill-child", "--mount-proc"})
    args.push_back(const_cast<char*>(a));
  for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execvp("unshare", args.data());
  std::perror("unshare --pid (run this test through scripts/netns-run)");
  std::exit(3);
}

}  // namespace corvantest
