#include "XDesktop.h"

#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace corvantest {
namespace {

using namespace std::chrono_literals;

// The program as PATH finds it; the name itself when it does not.
std::string InPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string d; std::getline(dirs, d, ':');)
    if (!d.empty() && ::access((d + "/" + name).c_str(), X_OK) == 0) return d + "/" + name;
  return name;
}

}  // namespace

std::optional<std::string> ToolOutput(const std::vector<std::string>& argv) {
  std::string out;
  if (RunToExit(InPath(argv[0]), {argv.begin() + 1, argv.end()}, nullptr, &out) != 0) return std::nullopt;
  return out;
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

std::unique_ptr<SimProcess> StartProgram(const std::vector<std::string>& argv, const std::string& ready) {
  auto program = std::make_unique<SimProcess>(InPath(argv[0]), std::vector<std::string>(argv.begin() + 1, argv.end()));
  if (!ready.empty() && !program->waitForOutput(ready, 20s))
    throw std::runtime_error(argv[0] + " did not start: " + program->err());
  return program;
}

XDesktop::XDesktop(bool Tray) {
  // -displayfd: the server takes a free display and says which. -noreset: a server
  // that resets when its last client leaves refuses the next one meanwhile.
  parts_.emplace_back(
      "Xvfb",
      StartProgram({"Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", "800x600x24", "-nolisten", "tcp"}, "\n"));
  const std::string& said = parts_.back().second->out();
  display_ = ":" + said.substr(0, said.find('\n'));
  ::setenv("DISPLAY", display_.c_str(), 1);

  // The system's configuration: the tests' own XDG_CONFIG_DIRS would leave openbox with
  // bare defaults.
  parts_.emplace_back("openbox", StartProgram({"openbox", "--sm-disable", "--config-file", "/etc/xdg/openbox/rc.xml"}));
  // Ready once it handles requests: a program's first requests made before then may be
  // lost (trayer then never shows). Switching to the second desktop and back is one.
  for (const char* desktop : {"1", "0"}) {
    if (!Eventually([&] {
          XDoTool({"set_desktop", desktop});
          return XProperty("root", "_NET_CURRENT_DESKTOP") == desktop;
        }))
      throw std::runtime_error("no window manager on " + display_ + ": " + Report());
  }
  if (!Tray) return;
  parts_.emplace_back("trayer", StartProgram({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                              "--height", "28", "--SetDockType", "true"}));
  // Managed by the window manager: its window in the client list.
  if (!Eventually([] {
        const std::string clients = XProperty("root", "_NET_CLIENT_LIST");
        for (const tXWindow& w : XWindows())
          if (w.Class == "trayer" && w.Title == "panel" && clients.find(w.Id) != std::string::npos) return true;
        return false;
      }))
    throw std::runtime_error("no tray on " + display_ + ": " + Report());
}

XDesktop::~XDesktop() {
  while (!parts_.empty()) {
    parts_.back().second->stop(5s);
    parts_.pop_back();
  }
  ::unsetenv("DISPLAY");
}

std::string XDesktop::Report() {
  std::string report;
  for (auto& [name, part] : parts_) {
    part->waitForOutput("\x01", 300ms);  // reads what it has said so far
    const int exit = part->waitForExit(0ms);
    report +=
        "\n" + name + (exit < 0 ? std::string(" runs") : " ended with " + std::to_string(exit)) + ": " + part->err();
  }
  return report;
}

std::vector<tXWindow> XWindows() {
  std::vector<tXWindow> windows;
  const std::optional<std::string> tree = ToolOutput({"xwininfo", "-root", "-tree"});
  if (!tree) return windows;
  // `   0x600006 "Title": ("name" "Class")  22x26+0+0  +777+1`, indented by depth.
  static const std::regex line(
      R"re(^( +)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((?:"([^"]*)" "([^"]*)")?\)\s+(\d+)x(\d+)\S*\s+\+(-?\d+)\+(-?\d+)\s*$)re");
  std::vector<std::pair<std::size_t, std::string>> ancestors;  // depth, class
  std::istringstream lines(*tree);
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    const auto depth = static_cast<std::size_t>(m[1].length());
    while (!ancestors.empty() && ancestors.back().first >= depth) ancestors.pop_back();
    tXWindow w{m[2], m[3], m[4], m[5], std::stoi(m[6]), std::stoi(m[7]), std::stoi(m[8]), std::stoi(m[9]), {}};
    for (const auto& a : ancestors) w.AncestorClasses.push_back(a.second);
    ancestors.emplace_back(depth, w.Class);
    windows.push_back(std::move(w));
  }
  return windows;
}

std::vector<tXWindow> PanelWindows(const std::string& Title) {
  std::vector<tXWindow> found;
  for (tXWindow& w : XWindows())
    if (w.Title == Title && w.Instance == "corvancontrol") found.push_back(std::move(w));
  return found;
}

std::optional<tXWindow> XWindow(const std::string& Id) {
  for (tXWindow& w : XWindows())
    if (w.Id == Id) return std::move(w);
  return std::nullopt;
}

bool Viewable(const std::string& Id) {
  const std::optional<std::string> info = ToolOutput({"xwininfo", "-id", Id});
  return info && info->find("Map State: IsViewable") != std::string::npos;
}

std::string XProperty(const std::string& Id, const std::string& Name) {
  const std::optional<std::string> out = Id == "root" ? ToolOutput({"xprop", "-root", "-notype", Name})
                                                      : ToolOutput({"xprop", "-id", Id, "-notype", Name});
  // "NAME = value", "NAME: value" or "NAME:  not found."
  if (!out || out->rfind(Name, 0) != 0 || out->find(":  not found.") == Name.size()) return {};
  std::string value = out->substr(Name.size());
  const std::size_t start = value.find_first_not_of(" =:");
  value = start == std::string::npos ? std::string() : value.substr(start);
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

bool XDoTool(const std::vector<std::string>& Args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), Args.begin(), Args.end());
  return ToolOutput(argv).has_value();
}

}  // namespace corvantest
