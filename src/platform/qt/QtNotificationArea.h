#pragma once
// The notification area over QSystemTrayIcon: one Qt tray icon per added record, and
// the icon's activations turned into the mouse messages a tray icon's hidden window
// expects (a click is a press and a release, a double click a double-click and a release).
#include <QPointer>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/NotificationArea.h"

namespace platform {

class QtNotificationArea : public NotificationArea {
 public:
  QtNotificationArea();
  ~QtNotificationArea() override;
  QtNotificationArea(const QtNotificationArea&) = delete;
  QtNotificationArea& operator=(const QtNotificationArea&) = delete;

  HWND AllocateHWnd(WindowProc proc) override;
  void DeallocateHWnd(HWND wnd) override;
  bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& data) override;
  bool BalloonsSupported() const override;
  TPoint CursorPos() const override;
  TKeyState KeyState() const override;

  // The Qt icon behind an added record, or null.
  QSystemTrayIcon* TrayIcon(HWND wnd, std::uint32_t id) const;

  // The mouse messages one activation stands for, in order (none for an unknown reason).
  static std::vector<std::uint32_t> MouseMessages(QSystemTrayIcon::ActivationReason reason);

 private:
  struct Entry {
    std::unique_ptr<QSystemTrayIcon> Icon;
    std::uint32_t CallbackMessage = 0;  // 0: the record asked for no callbacks
    HICON Picture;
  };
  using Key = std::pair<HWND, std::uint32_t>;

  void Apply(Entry& entry, const NOTIFYICONDATA& data);
  void Activated(Key key, QSystemTrayIcon::ActivationReason reason);
  void Broadcast(std::uint32_t msg, std::uintptr_t wParam);

  HiddenWindows windows_;
  std::map<Key, Entry> icons_;
  bool sessionEnding_ = false;
  std::vector<QMetaObject::Connection> connections_;
};

}  // namespace platform
