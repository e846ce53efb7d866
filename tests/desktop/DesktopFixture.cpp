#include "DesktopFixture.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Hermetic.h"
#include "SiteSettings.h"

namespace corvantest {
namespace {

using namespace std::chrono_literals;

// What a test changes in its environment, put back to nothing when it ends.
constexpr const char* kDesktopVariables[] = {
    "DISPLAY",         "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "HOME",
    "XDG_CONFIG_DIRS", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP",      "XDG_SESSION_TYPE"};

}  // namespace

void DesktopTest::SetUp() {
  CORVAN_REQUIRE_HERMETIC_NETWORK();
  std::filesystem::copy_file(CORVANCONTROL_PROGRAM, dir.file("corvancontrol"));
  WriteSiteSettings(dir.file("CorvanSrvc-Settings.xml"));

  for (const char* name : kDesktopVariables) ::unsetenv(name);
  ::chmod(runtime.path().c_str(), 0700);
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("HOME", runtime.path().c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", config.path().c_str(), 1);
}

void DesktopTest::TearDown() {
  if (HasFailure()) {
    if (x_) std::fprintf(stderr, "the X desktop:%s\n", x_->Report().c_str());
    for (const auto& panel : panels_) std::fprintf(stderr, "a panel said: %s\n", panel->err().c_str());
  }
  panels_.clear();
  while (!services_.empty()) {
    services_.back()->stop(5s);
    services_.pop_back();
  }
  x_.reset();
  for (const char* name : kDesktopVariables) ::unsetenv(name);
}

void DesktopTest::StartX(bool Tray) { x_ = std::make_unique<XDesktop>(Tray); }

void DesktopTest::StartSessionBus() {
  runtime.write("bus.conf",
                "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig>\n"
                "  <type>session</type>\n"
                "  <listen>unix:path=" +
                    runtime.file("bus") +
                    "</listen>\n"
                    "  <auth>EXTERNAL</auth>\n"
                    "  <policy context=\"default\">\n"
                    "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                    "    <allow eavesdrop=\"true\"/>\n"
                    "    <allow own=\"*\"/>\n"
                    "  </policy>\n"
                    "</busconfig>\n");
  services_.push_back(StartProgram(
      {"dbus-daemon", "--config-file=" + runtime.file("bus.conf"), "--nofork", "--print-address=1"}, "\n"));
  const std::string& said = services_.back()->out();
  ::setenv("DBUS_SESSION_BUS_ADDRESS", said.substr(0, said.find('\n')).c_str(), 1);
}

void DesktopTest::StartWeston() {
  // --debug lets weston-debug read the compositor's scene.
  services_.push_back(StartProgram({"weston", "--backend=headless-backend.so", "--socket=corvan-wayland",
                                    "--idle-time=0", "--width=800", "--height=600", "--debug", "--no-config"}));
  ASSERT_TRUE(Eventually([&] { return runtime.exists("corvan-wayland"); }))
      << "weston did not start: " << services_.back()->err();
  ::setenv("WAYLAND_DISPLAY", "corvan-wayland", 1);
}

SimProcess& DesktopTest::Launch(const std::string& Platform) {
  ::setenv("QT_QPA_PLATFORM", Platform.c_str(), 1);
  panels_.push_back(std::make_unique<SimProcess>(dir.file("corvancontrol"), std::vector<std::string>{}));
  ::unsetenv("QT_QPA_PLATFORM");
  return *panels_.back();
}

std::optional<tXWindow> DesktopTest::TrayIconWindow() {
  for (const tXWindow& w : XWindows()) {
    if (w.Instance != "corvancontrol") continue;
    for (const std::string& c : w.AncestorClasses)
      if (c == "trayer") return w;
  }
  return std::nullopt;
}

tXWindow DesktopTest::WaitForViewable(const std::string& Title) {
  tXWindow found;
  Eventually([&] {
    for (const tXWindow& w : PanelWindows(Title)) {
      if (!Viewable(w.Id)) continue;
      found = w;
      return true;
    }
    return false;
  });
  return found;
}

}  // namespace corvantest
