// The main of the window tests, with a process list of their own (see PrivateProcessList.h).
#include <gtest/gtest.h>

#include <QApplication>

#include "PrivateProcessList.h"

int main(int argc, char** argv) {
  corvantest::EnterPrivateProcessList(argc, argv);
  QApplication app(argc, argv);
  // As in the program: only closing the main window ends the loop.
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
