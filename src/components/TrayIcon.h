#pragma once
// One icon with a hint in the desktop's notification area: balloon messages, the mouse
// messages the area sends back turned into events, and the application's minimize and
// restore so that the main window can live behind the icon.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Application.h"
#include "platform/NotificationArea.h"

namespace components {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// A set of ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble.
using TShiftState = std::uint8_t;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;
constexpr TShiftState ssDouble = 0x40;

class TTrayIcon;
using TNotifyEvent = std::function<void(TTrayIcon* Sender)>;
using TMouseMoveEvent = std::function<void(TTrayIcon* Sender, TShiftState Shift, int X, int Y)>;
using TMouseEvent = std::function<void(TTrayIcon* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

class TTrayIcon {
 public:
  // The message the notification area calls back with: the first user message + 123.
  static constexpr std::uint32_t WM_TRAYICON = platform::WM_USER + 123;
  static constexpr std::uint32_t BalloonTimeout = 2000;

  TTrayIcon(platform::NotificationArea& Area, platform::Application& App);
  virtual ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // Adds the icon and takes over the application's minimize and restore.
  void Loaded();

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  const platform::HICON& Icon() const { return icon_; }
  void SetIcon(const platform::HICON& Value);

  // Kind 0 information, 1 warning, 2 error.
  void ShowBalloonHint(const std::string& Text, int Kind);
  void NotifyIcon(std::uint32_t Command);
  virtual void ModifyIcon();
  virtual void DeleteIcon();

  platform::PopupMenu* PopupMenu = nullptr;
  bool AlwaysShowMenu = false;
  bool HideMainForm = false;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

 protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  // The hidden window's messages.
  virtual void WndProc(platform::TMessage& Message);
  virtual void DoMinimize();
  virtual void DoRestore();

 private:
  void MouseMessage(std::intptr_t Mouse);
  void ShowPopupMenu(const platform::TPoint& At);

  platform::NotificationArea& area_;
  platform::Application& app_;
  platform::NOTIFYICONDATA iconData_;
  platform::HICON icon_;
  std::string hint_;
  platform::HWND window_ = 0;
  bool balloons_ = false;
  bool leftPressed_ = false;
  bool hooked_ = false;
  // Cleared by the destructor, so that a message handler whose event destroyed the
  // component stops before touching it again.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace components
