// The main of the in-process window tests on a real X server: the server and its window
// manager come first, so that the application opens its windows there.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "XDesktop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::unique_ptr<corvantest::XDesktop> desktop;
  try {
    desktop = std::make_unique<corvantest::XDesktop>(false);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication app(argc, argv);
  // As in the program: only closing the main window ends the loop.
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
