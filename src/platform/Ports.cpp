// Out-of-line destructors anchor the ports' virtual tables in this library.
#include <utility>

#include "platform/Application.h"
#include "platform/NotificationArea.h"

namespace platform {

NotificationArea::~NotificationArea() = default;
Application::~Application() = default;
PopupMenu::~PopupMenu() = default;

HWND HiddenWindows::Allocate(NotificationArea::WindowProc proc) {
  const HWND wnd = next_++;
  windows_[wnd] = std::move(proc);
  return wnd;
}

void HiddenWindows::Release(HWND wnd) { windows_.erase(wnd); }

std::intptr_t HiddenWindows::Send(HWND wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  auto it = windows_.find(wnd);
  if (it == windows_.end()) return 0;
  // A copy: the handler may release its own window.
  NotificationArea::WindowProc proc = it->second;
  TMessage message{msg, wParam, lParam, 0};
  proc(message);
  return message.Result;
}

std::vector<HWND> HiddenWindows::All() const {
  std::vector<HWND> all;
  for (const auto& [wnd, proc] : windows_) all.push_back(wnd);
  return all;
}

}  // namespace platform
