// The main of the corvanctl tests, with a process list of their own (see
// PrivateProcessList.h): the status command counts running "corvansrvc.exe" processes.
#include <gtest/gtest.h>

#include "PrivateProcessList.h"

int main(int argc, char** argv) {
  corvantest::EnterPrivateProcessList(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
