// The watcher tests' main: a process list of their own (see PrivateProcessList.h) and
// the event loop the watcher's timers and directory monitor run on.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "PrivateProcessList.h"

int main(int argc, char** argv) {
  corvantest::EnterPrivateProcessList(argc, argv);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
