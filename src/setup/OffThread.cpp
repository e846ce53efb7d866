#include "setup/OffThread.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace SetupWidgets {

bool TurnTheLoopUntilReadable(int Fd, std::chrono::milliseconds Limit) {
  QEventLoop loop;
  QSocketNotifier ready(Fd, QSocketNotifier::Read);
  bool readable = false;
  QObject::connect(&ready, &QSocketNotifier::activated, &loop, [&] {
    readable = true;
    loop.quit();
  });
  QTimer::singleShot(Limit, &loop, &QEventLoop::quit);
  loop.exec();
  return readable;
}

}  // namespace SetupWidgets
