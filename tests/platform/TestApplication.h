#pragma once
// The one QApplication of the platform tests, made by whichever test needs it first.
#include <QApplication>

namespace platformtest {

inline void EnsureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char arg0[] = "platform_qt_test";
  static char* argv[] = {arg0, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

}  // namespace platformtest
