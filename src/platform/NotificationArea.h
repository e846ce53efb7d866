#pragma once
// The desktop's notification area as the tray icon drives it: one record per icon, three
// commands (add, modify, delete), and a hidden window that receives the mouse messages
// the area sends back. Numbers are the ones the tray icon's message table is written in.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Commands.
constexpr std::uint32_t NIM_ADD = 0;
constexpr std::uint32_t NIM_MODIFY = 1;
constexpr std::uint32_t NIM_DELETE = 2;

// Record flags: which fields a command applies.
constexpr std::uint32_t NIF_MESSAGE = 0x1;
constexpr std::uint32_t NIF_ICON = 0x2;
constexpr std::uint32_t NIF_TIP = 0x4;
constexpr std::uint32_t NIF_INFO = 0x10;

// Balloon icon kinds.
constexpr std::uint32_t NIIF_NONE = 0;
constexpr std::uint32_t NIIF_INFO = 1;
constexpr std::uint32_t NIIF_WARNING = 2;
constexpr std::uint32_t NIIF_ERROR = 3;

// Record sizes: with balloon fields, and the first version without them.
constexpr std::uint32_t NOTIFYICONDATA_SIZE = 488;
constexpr std::uint32_t NOTIFYICONDATA_V1_SIZE = 88;

// Field limits in characters (the fields hold one more for the terminator).
constexpr std::size_t TIP_MAX = 127;
constexpr std::size_t INFO_MAX = 255;
constexpr std::size_t INFO_TITLE_MAX = 63;

// Window messages.
constexpr std::uint32_t WM_QUERYENDSESSION = 17;
constexpr std::uint32_t WM_ENDSESSION = 22;
constexpr std::uint32_t WM_MOUSEMOVE = 512;
constexpr std::uint32_t WM_LBUTTONDOWN = 513;
constexpr std::uint32_t WM_LBUTTONUP = 514;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 515;
constexpr std::uint32_t WM_RBUTTONDOWN = 516;
constexpr std::uint32_t WM_RBUTTONUP = 517;
constexpr std::uint32_t WM_RBUTTONDBLCLK = 518;
constexpr std::uint32_t WM_MBUTTONDOWN = 519;
constexpr std::uint32_t WM_MBUTTONUP = 520;
constexpr std::uint32_t WM_MBUTTONDBLCLK = 521;
constexpr std::uint32_t WM_USER = 1024;

// A hidden window: only an identifier that messages are addressed to. 0 is none.
using HWND = std::uintptr_t;

// An icon picture: the bytes of an image file (PNG, ICO, XPM, ...), shared and never
// changed once made, so that a record carries it as cheaply as a handle. Empty: no picture.
using HICON = std::shared_ptr<const std::string>;
inline HICON MakeIcon(std::string imageBytes) { return std::make_shared<const std::string>(std::move(imageBytes)); }

struct NOTIFYICONDATA {
  std::uint32_t cbSize = 0;
  HWND hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  HICON hIcon;
  std::string szTip;  // at most TIP_MAX characters
  std::uint32_t dwState = 0;
  std::uint32_t dwStateMask = 0;
  std::string szInfo;  // at most INFO_MAX characters
  std::uint32_t uTimeout = 0;
  std::string szInfoTitle;  // at most INFO_TITLE_MAX characters
  std::uint32_t dwInfoFlags = 0;
};

struct TMessage {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};

struct TPoint {
  int X = 0;
  int Y = 0;
};

// Modifier keys held down at the moment a message is handled.
struct TKeyState {
  bool Shift = false;
  bool Alt = false;
  bool Ctrl = false;
};

class NotificationArea {
 public:
  using WindowProc = std::function<void(TMessage& Message)>;

  virtual ~NotificationArea();

  // A hidden window whose messages go to `proc`; released with DeallocateHWnd.
  virtual HWND AllocateHWnd(WindowProc proc) = 0;
  virtual void DeallocateHWnd(HWND wnd) = 0;

  // Applies `data` with one of the NIM_ commands; false when the area refused it.
  virtual bool Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& data) = 0;

  // Whether the area can show balloon messages (NIF_INFO).
  virtual bool BalloonsSupported() const = 0;

  // Where the pointer is and which modifier keys are down, right now.
  virtual TPoint CursorPos() const = 0;
  virtual TKeyState KeyState() const = 0;
};

// The hidden windows of a notification area: identifiers and the handlers behind them.
class HiddenWindows {
 public:
  HWND Allocate(NotificationArea::WindowProc proc);
  void Release(HWND wnd);
  // Delivers a message and returns its result; a window that does not exist answers 0.
  std::intptr_t Send(HWND wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  std::vector<HWND> All() const;
  std::size_t Count() const { return windows_.size(); }
  HWND Last() const { return next_ - 1; }

 private:
  std::map<HWND, NotificationArea::WindowProc> windows_;
  HWND next_ = 1;
};

}  // namespace platform
