#pragma once
// Recording stand-ins for the desktop, for tests: every command and call is kept in
// order, and a test plays the desktop's part by sending messages and setting states.
#include <string>
#include <vector>

#include "platform/Application.h"
#include "platform/NotificationArea.h"

namespace platform {

class FakeNotificationArea : public NotificationArea {
 public:
  struct Call {
    std::uint32_t Command;
    NOTIFYICONDATA Data;
  };

  HWND AllocateHWnd(WindowProc proc) override { return windows_.Allocate(std::move(proc)); }
  void DeallocateHWnd(HWND wnd) override { windows_.Release(wnd); }
  bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& data) override;
  bool BalloonsSupported() const override { return Balloons; }
  TPoint CursorPos() const override { return Cursor; }
  TKeyState KeyState() const override { return Keys; }

  // Delivers a message to a hidden window as the desktop would and returns its result;
  // a window that does not exist (any more) answers 0.
  std::intptr_t Send(HWND wnd, std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    return windows_.Send(wnd, msg, wParam, lParam);
  }
  std::size_t WindowCount() const { return windows_.Count(); }
  HWND LastWindow() const { return windows_.Last(); }

  std::vector<Call> Calls;
  bool Balloons = true;
  TPoint Cursor;
  TKeyState Keys;

 private:
  HiddenWindows windows_;
};

// Records each call by name ("HideMainForm", ...) in Log.
class FakeApplication : public Application {
 public:
  std::string Title() const override { return TitleText; }
  void SetOnMinimize(std::function<void()> handler) override { OnMinimize = std::move(handler); }
  void SetOnRestore(std::function<void()> handler) override { OnRestore = std::move(handler); }
  bool Minimized() const override { return IsMinimized; }
  bool MainFormVisible() const override { return IsMainFormVisible; }
  bool ShowMainForm() const override { return ShowMainFormFlag; }
  void HideApplication() override;
  void HideMainForm() override;
  void RestoreApplication() override;
  void MakeMainFormVisible() override;
  void BringToForeground() override;
  void FocusMainForm() override;

  // The desktop minimizes or restores the application.
  void Minimize();
  void Restore();

  std::string TitleText = "CorvanControl";
  bool IsMinimized = false;
  bool IsMainFormVisible = false;
  bool ShowMainFormFlag = true;
  std::function<void()> OnMinimize;
  std::function<void()> OnRestore;
  std::vector<std::string> Log;
};

// Records "Popup x,y" into a journal the test shares with other fakes.
class FakePopupMenu : public PopupMenu {
 public:
  explicit FakePopupMenu(std::vector<std::string>& journal) : journal_(journal) {}
  void Popup(int X, int Y) override;

 private:
  std::vector<std::string>& journal_;
};

}  // namespace platform
