#include "platform/qt/QtNotificationArea.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QSessionManager>

#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"

namespace platform {
namespace {

QIcon ToQIcon(const HICON& picture) {
  if (!picture || picture->empty()) return {};
  QPixmap pixmap;
  pixmap.loadFromData(reinterpret_cast<const uchar*>(picture->data()), static_cast<uint>(picture->size()));
  return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QSystemTrayIcon::MessageIcon BalloonIcon(std::uint32_t infoFlags) {
  switch (infoFlags) {
    case NIIF_INFO:
      return QSystemTrayIcon::Information;
    case NIIF_WARNING:
      return QSystemTrayIcon::Warning;
    case NIIF_ERROR:
      return QSystemTrayIcon::Critical;
    default:
      return QSystemTrayIcon::NoIcon;
  }
}

}  // namespace

QtNotificationArea::QtNotificationArea() {
  // Session end: ask the windows whether it may end, and tell them when it does.
  connections_.push_back(QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, [this](QSessionManager&) {
    sessionEnding_ = true;
    Broadcast(WM_QUERYENDSESSION, 0);
  }));
  connections_.push_back(QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, [this] {
    if (sessionEnding_) Broadcast(WM_ENDSESSION, 1);
  }));
}

QtNotificationArea::~QtNotificationArea() {
  for (auto& c : connections_) QObject::disconnect(c);
}

HWND QtNotificationArea::AllocateHWnd(WindowProc proc) { return windows_.Allocate(std::move(proc)); }

void QtNotificationArea::DeallocateHWnd(HWND wnd) { windows_.Release(wnd); }

bool QtNotificationArea::Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& data) {
  const Key key{data.hWnd, data.uID};
  auto it = icons_.find(key);
  switch (dwMessage) {
    case NIM_ADD: {
      if (it != icons_.end()) return false;
      Entry& entry = icons_[key];
      entry.Icon = std::make_unique<QSystemTrayIcon>();
      if (data.uFlags & NIF_MESSAGE) entry.CallbackMessage = data.uCallbackMessage;
      QObject::connect(entry.Icon.get(), &QSystemTrayIcon::activated,
                       [this, key](QSystemTrayIcon::ActivationReason reason) { Activated(key, reason); });
      // Qt refuses to show an icon without a picture: Apply shows it once one arrives.
      Apply(entry, data);
      return true;
    }
    case NIM_MODIFY:
      if (it == icons_.end()) return false;
      Apply(it->second, data);
      return true;
    case NIM_DELETE:
      if (it == icons_.end()) return false;
      it->second.Icon->hide();
      icons_.erase(it);
      return true;
    default:
      return false;
  }
}

void QtNotificationArea::Apply(Entry& entry, const NOTIFYICONDATA& data) {
  if (data.uFlags & NIF_MESSAGE) entry.CallbackMessage = data.uCallbackMessage;
  if ((data.uFlags & NIF_ICON) && entry.Picture != data.hIcon) {
    entry.Picture = data.hIcon;
    entry.Icon->setIcon(ToQIcon(data.hIcon));
    if (entry.Picture && !entry.Icon->isVisible()) entry.Icon->show();
  }
  // The tip carries the service's status file and messages.
  if (data.uFlags & NIF_TIP) entry.Icon->setToolTip(PlainTextToolTip(Q(data.szTip.substr(0, TIP_MAX))));
  if (data.uFlags & NIF_INFO)
    entry.Icon->showMessage(Q(data.szInfoTitle.substr(0, INFO_TITLE_MAX)), Q(data.szInfo.substr(0, INFO_MAX)),
                            BalloonIcon(data.dwInfoFlags), static_cast<int>(data.uTimeout));
}

std::vector<std::uint32_t> QtNotificationArea::MouseMessages(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
      return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
      return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    case QSystemTrayIcon::Context:
      return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    default:
      return {};
  }
}

void QtNotificationArea::Activated(Key key, QSystemTrayIcon::ActivationReason reason) {
  for (std::uint32_t mouse : MouseMessages(reason)) {
    // Looked up again for each message: a handler may have deleted the icon.
    auto it = icons_.find(key);
    if (it == icons_.end() || it->second.CallbackMessage == 0) return;
    windows_.Send(key.first, it->second.CallbackMessage, key.second, static_cast<std::intptr_t>(mouse));
  }
}

void QtNotificationArea::Broadcast(std::uint32_t msg, std::uintptr_t wParam) {
  for (HWND wnd : windows_.All()) windows_.Send(wnd, msg, wParam, 0);
}

bool QtNotificationArea::BalloonsSupported() const { return QSystemTrayIcon::supportsMessages(); }

TPoint QtNotificationArea::CursorPos() const {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

TKeyState QtNotificationArea::KeyState() const {
  const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::AltModifier), m.testFlag(Qt::ControlModifier)};
}

QSystemTrayIcon* QtNotificationArea::TrayIcon(HWND wnd, std::uint32_t id) const {
  auto it = icons_.find({wnd, id});
  return it == icons_.end() ? nullptr : it->second.Icon.get();
}

}  // namespace platform
