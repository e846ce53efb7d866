#include "platform/qt/QtApplication.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindowStateChangeEvent>
#include <cerrno>
#include <cstdint>

#include "platform/qt/QtText.h"

namespace platform {
namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT};

// Written by the signal handler, read on the UI thread: the one thing a handler may do.
// Made once and kept for the life of the process.
int EndSignalFd() {
  static const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd;
}

extern "C" void OnEndSignal(int) {
  const int saved = errno;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(EndSignalFd(), &one, sizeof one);
  errno = saved;
}

void SetEndSignalHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  ::sigemptyset(&action.sa_mask);
  for (const int signal : kEndSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace

QtApplication::QtApplication(QWidget* mainWindow) : mainWindow_(mainWindow) {
  if (mainWindow) mainWindow->installEventFilter(this);
}

QtApplication::~QtApplication() {
  SetOnEndRequest({});
  if (mainWindow_) mainWindow_->removeEventFilter(this);
}

std::string QtApplication::Title() const { return S(QGuiApplication::applicationDisplayName()); }

void QtApplication::SetTitle(const std::string& Title) {
  // Not the display name: Qt's window systems append that to every window title
  // ("Setup — Corvan Service Control."). The display name falls back to the
  // application name, which is what the notification item's title is read from.
  QCoreApplication::setApplicationName(Q(Title));
}

void QtApplication::SetOnEndRequest(std::function<void()> handler) {
  onEndRequest_ = std::move(handler);
  if (!onEndRequest_) {
    if (endSignals_) SetEndSignalHandler(SIG_DFL);
    endSignals_.reset();
    return;
  }
  if (endSignals_ || EndSignalFd() < 0) return;
  endSignals_ = std::make_unique<QSocketNotifier>(EndSignalFd(), QSocketNotifier::Read);
  QObject::connect(endSignals_.get(), &QSocketNotifier::activated, this, [this] {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(EndSignalFd(), &count, sizeof count);
    if (auto request = onEndRequest_) request();  // a copy: it may clear itself
  });
  SetEndSignalHandler(OnEndSignal);
}

bool QtApplication::Minimized() const { return mainWindow_ && mainWindow_->isMinimized(); }

bool QtApplication::MainFormVisible() const { return mainWindow_ && mainWindow_->isVisible(); }

void QtApplication::HideApplication() {
  if (mainWindow_) mainWindow_->hide();
}

void QtApplication::HideMainForm() {
  if (mainWindow_) mainWindow_->hide();
}

void QtApplication::RestoreApplication() {
  if (mainWindow_ && mainWindow_->isMinimized())
    mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
}

void QtApplication::MakeMainFormVisible() {
  if (mainWindow_) mainWindow_->show();
}

void QtApplication::BringToForeground() {
  if (!mainWindow_) return;
  mainWindow_->raise();
  mainWindow_->activateWindow();
}

void QtApplication::FocusMainForm() {
  if (mainWindow_) mainWindow_->setFocus(Qt::OtherFocusReason);
}

bool QtApplication::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mainWindow_ && event->type() == QEvent::WindowStateChange) {
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool was = change->oldState().testFlag(Qt::WindowMinimized);
    const bool is = mainWindow_->windowState().testFlag(Qt::WindowMinimized);
    // Copies: a handler may replace itself.
    if (!was && is) {
      if (auto handler = onMinimize_) handler();
    } else if (was && !is) {
      if (auto handler = onRestore_) handler();
    }
  }
  return QObject::eventFilter(watched, event);
}

void QtPopupMenu::Popup(int X, int Y) {
  if (menu_) menu_->popup(QPoint(X, Y));
}

}  // namespace platform
