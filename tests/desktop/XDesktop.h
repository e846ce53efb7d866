#pragma once
// A virtual X server of the tests' own (Xvfb on a free display) with a window manager
// (openbox) and, when asked, a notification area (trayer); and what the X server knows
// about windows, read with the usual X tools (xwininfo, xprop, xdotool).
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimProcess.h"

namespace corvantest {

// The main window's title, as the window system shows it.
inline const std::string kMainWindowTitle = "Corvan service settings";

// Runs a program found in PATH to its end; what it printed, or nullopt when it failed.
std::optional<std::string> ToolOutput(const std::vector<std::string>& argv);

// Polls `condition` until it holds or a generous limit passes (a loaded machine is slow).
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(20));

// Starts a program found in PATH; when `ready` is given, waits until its output holds it.
// Throws when it does not start or never gets ready.
std::unique_ptr<SimProcess> StartProgram(const std::vector<std::string>& argv, const std::string& ready = {});

class XDesktop {
 public:
  // Sets DISPLAY for the programs started afterwards. Throws when a part does not start.
  explicit XDesktop(bool Tray);
  ~XDesktop();  // the parts end in reverse order; DISPLAY is unset
  XDesktop(const XDesktop&) = delete;
  XDesktop& operator=(const XDesktop&) = delete;

  const std::string& Display() const { return display_; }
  // What each part said on stderr and whether it still runs, for a failing test.
  std::string Report();

 private:
  std::string display_;
  std::vector<std::pair<std::string, std::unique_ptr<SimProcess>>> parts_;
};

// One window of the X server's tree, as xwininfo lists it.
struct tXWindow {
  std::string Id;        // 0x..., as the X tools write it
  std::string Title;     // empty when it has none
  std::string Instance;  // WM_CLASS: the program's name, then its class
  std::string Class;
  int Width = 0, Height = 0, X = 0, Y = 0;  // X, Y: absolute
  std::vector<std::string> AncestorClasses;
};

std::vector<tXWindow> XWindows();
// The windows of programs named corvancontrol titled exactly `Title`.
std::vector<tXWindow> PanelWindows(const std::string& Title);
// The window with this id, as it is now; nullopt when it is gone.
std::optional<tXWindow> XWindow(const std::string& Id);
// Whether the window is mapped and shown.
bool Viewable(const std::string& Id);
// `xprop` of one property of a window ("root": the root window) without its name and
// type; empty when it is not set.
std::string XProperty(const std::string& Id, const std::string& Name);
// xdotool with these arguments; false when it failed.
bool XDoTool(const std::vector<std::string>& Args);

}  // namespace corvantest
