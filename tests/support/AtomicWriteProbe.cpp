// Not a test: replaces one file through WriteTextFileAtomic, for a test that watches its
// system calls. Usage: atomic_write_probe FILE TEXT
#include <cstdio>

#include "support/FileUtils.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: atomic_write_probe FILE TEXT\n");
    return 2;
  }
  return brix32::WriteTextFileAtomic(argv[2], argv[1]) == 0 ? 0 : 1;
}
