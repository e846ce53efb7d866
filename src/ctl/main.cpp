// corvanctl: the control panel's functions from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "ctl/Commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return corvanctl::RunCorvanCtl(args, std::cin, std::cout, std::cerr);
}
