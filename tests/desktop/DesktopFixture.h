#pragma once
// The panel as a separate process on desktops of its own, inside the hermetic runner: a
// virtual X server with a window manager and a tray, a private session bus, a headless
// Wayland compositor. What the panel did is read back from the desktop (the X server's
// window properties, the bus, the compositor's scene), never from the panel.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "TempFolder.h"
#include "XDesktop.h"

namespace corvantest {

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // ---- desktops: each sets its variable for the programs started afterwards ----
  void StartX(bool Tray);
  // A session bus of our own, with no services to start.
  void StartSessionBus();
  // weston with its headless back end.
  void StartWeston();

  // Starts the panel from the program folder on the Qt platform `Platform` (xcb, wayland).
  SimProcess& Launch(const std::string& Platform);

  // The panel's icon as the tray holds it, when it does.
  static std::optional<tXWindow> TrayIconWindow();
  // Waits for a shown window of the panel titled `Title`; an empty Id when none came.
  static tXWindow WaitForViewable(const std::string& Title);

  TempFolder dir;      // the program folder
  TempFolder runtime;  // XDG_RUNTIME_DIR and HOME
  TempFolder config;   // XDG_CONFIG_DIRS

 private:
  std::unique_ptr<XDesktop> x_;
  std::vector<std::unique_ptr<SimProcess>> services_;  // the bus, the compositor
  std::vector<std::unique_ptr<SimProcess>> panels_;
};

}  // namespace corvantest
