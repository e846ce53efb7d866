#include "QtApplication.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWindowStateChangeEvent>

namespace platform {

QtApplication::QtApplication(QWidget* mainWindow) : mainWindow_(mainWindow) {
  if (mainWindow) mainWindow->installEventFilter(this);
}

QtApplication::~QtApplication() {
  if (mainWindow_) mainWindow_->removeEventFilter(this);
}

std::string QtApplication::Title() const {
  return QGuiApplication::applicationDisplayName().toLatin1().toStdString();
}

void QtApplication::SetTitle(const std::string& Title) {
  // Not the display name: Qt's window systems append that to every window title
  // ("Setup — Corvan Service Control."). The display name falls back to the
  // application name, which is what the notification item's title is read from.
  QCoreApplication::setApplicationName(
      QString::fromLatin1(Title.data(), static_cast<qsizetype>(Title.size())));
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
