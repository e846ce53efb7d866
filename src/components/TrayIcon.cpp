#include "components/TrayIcon.h"

namespace components {

using namespace platform;

TTrayIcon::TTrayIcon(NotificationArea& Area, Application& App) : area_(Area), app_(App) {
  // Balloons only where the desktop's tray can show them; otherwise the short record.
  balloons_ = area_.BalloonsSupported();
  iconData_.cbSize = NOTIFYICONDATA_SIZE;
  window_ = area_.AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
  iconData_.hWnd = window_;
  iconData_.uID = 0;
  iconData_.uCallbackMessage = WM_TRAYICON;
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON;
  iconData_.szTip = app_.Title().substr(0, TIP_MAX);
}

TTrayIcon::~TTrayIcon() {
  *alive_ = false;
  if (hooked_) {
    // The application outlives us; it must not call back into a destroyed component.
    app_.SetOnMinimize(nullptr);
    app_.SetOnRestore(nullptr);
  }
  TTrayIcon::DeleteIcon();
  area_.DeallocateHWnd(window_);
}

void TTrayIcon::Loaded() {
  NotifyIcon(NIM_ADD);
  app_.SetOnMinimize([this] { DoMinimize(); });
  app_.SetOnRestore([this] {
    auto alive = alive_;
    DoRestore();
    if (*alive) app_.BringToForeground();
  });
  hooked_ = true;
}

void TTrayIcon::SetHint(const std::string& Value) {
  if (Value == hint_) return;
  hint_ = Value;
  iconData_.szTip = Value.substr(0, TIP_MAX);
  ModifyIcon();
}

void TTrayIcon::SetIcon(const HICON& Value) {
  icon_ = Value;
  ModifyIcon();
}

void TTrayIcon::NotifyIcon(std::uint32_t Command) {
  iconData_.hIcon = icon_;
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON;
  if (!iconData_.szTip.empty()) iconData_.uFlags |= NIF_TIP;
  if (balloons_) {
    iconData_.cbSize = NOTIFYICONDATA_SIZE;
    iconData_.dwState = 0;
    iconData_.dwStateMask = 0;
  } else {
    iconData_.cbSize = NOTIFYICONDATA_V1_SIZE;
  }
  // A refused update leaves the notification area as it was; nothing to do about it.
  area_.Shell_NotifyIcon(Command, iconData_);
}

void TTrayIcon::ModifyIcon() { NotifyIcon(NIM_MODIFY); }

void TTrayIcon::DeleteIcon() { NotifyIcon(NIM_DELETE); }

void TTrayIcon::ShowBalloonHint(const std::string& Text, int Kind) {
  if (!balloons_) return;
  iconData_.uFlags = NIF_INFO;
  iconData_.uTimeout = BalloonTimeout;
  iconData_.szInfo = Text.substr(0, INFO_MAX);
  iconData_.szInfoTitle = app_.Title().substr(0, INFO_TITLE_MAX);
  switch (Kind) {
    case 0:
      iconData_.dwInfoFlags = NIIF_INFO;
      break;
    case 1:
      iconData_.dwInfoFlags = NIIF_WARNING;
      break;
    case 2:
      iconData_.dwInfoFlags = NIIF_ERROR;
      break;
    default:
      break;  // keeps the previous balloon icon
  }
  area_.Shell_NotifyIcon(NIM_MODIFY, iconData_);
}

// Handlers are called through copies: an event may replace itself or destroy us.
void TTrayIcon::Click() {
  if (auto handler = OnClick) handler(this);
}

void TTrayIcon::DblClick() {
  if (auto handler = OnDblClick) handler(this);
}

void TTrayIcon::MouseMove(TShiftState Shift, int X, int Y) {
  if (auto handler = OnMouseMove) handler(this, Shift, X, Y);
}

void TTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (auto handler = OnMouseDown) handler(this, Button, Shift, X, Y);
}

void TTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (auto handler = OnMouseUp) handler(this, Button, Shift, X, Y);
}

void TTrayIcon::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_QUERYENDSESSION:
      Message.Result = 1;  // the session may end
      break;
    case WM_ENDSESSION:
      if (Message.WParam != 0) DeleteIcon();
      break;
    case WM_TRAYICON:
      MouseMessage(Message.LParam);
      break;
    default:
      break;  // not ours; the result stays 0
  }
}

void TTrayIcon::MouseMessage(std::intptr_t Mouse) {
  auto alive = alive_;
  const TPoint pt = area_.CursorPos();
  const TKeyState keys = area_.KeyState();
  TShiftState shift = 0;
  if (keys.Shift) shift |= ssShift;
  if (keys.Alt) shift |= ssAlt;
  if (keys.Ctrl) shift |= ssCtrl;

  switch (Mouse) {
    case WM_MOUSEMOVE:
      MouseMove(shift, pt.X, pt.Y);
      break;
    case WM_LBUTTONDOWN:
      MouseDown(TMouseButton::mbLeft, shift | ssLeft, pt.X, pt.Y);
      if (*alive) leftPressed_ = true;
      break;
    case WM_LBUTTONUP:
      // A click needs the press on the icon too, not only the release.
      if (leftPressed_) {
        leftPressed_ = false;
        Click();
        if (!*alive) return;
      }
      MouseUp(TMouseButton::mbLeft, shift | ssLeft, pt.X, pt.Y);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      DblClick();
      break;
    case WM_RBUTTONDOWN:
      MouseDown(TMouseButton::mbRight, shift | ssRight, pt.X, pt.Y);
      if (*alive) ShowPopupMenu(pt);
      break;
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, shift | ssRight, pt.X, pt.Y);
      break;
    case WM_MBUTTONDOWN:
      MouseDown(TMouseButton::mbMiddle, shift | ssMiddle, pt.X, pt.Y);
      break;
    case WM_MBUTTONUP:
      MouseUp(TMouseButton::mbMiddle, shift | ssMiddle, pt.X, pt.Y);
      break;
    default:
      break;
  }
}

void TTrayIcon::ShowPopupMenu(const TPoint& At) {
  if (!PopupMenu) return;
  // While the window is in plain view its own controls serve; the menu is for when it
  // is out of sight, unless asked for always.
  if (!AlwaysShowMenu && !(app_.Minimized() || !app_.MainFormVisible())) return;
  app_.FocusMainForm();
  app_.BringToForeground();
  PopupMenu->Popup(At.X, At.Y);
}

void TTrayIcon::DoMinimize() {
  if (HideMainForm) {
    app_.HideApplication();
    app_.HideMainForm();
  }
  if (auto handler = OnMinimize) handler(this);
}

void TTrayIcon::DoRestore() {
  app_.RestoreApplication();
  if (!app_.ShowMainForm()) app_.MakeMainFormVisible();
  app_.BringToForeground();
  if (auto handler = OnRestore) handler(this);
}

}  // namespace components
