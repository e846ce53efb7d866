// The panel under an X server with a window manager (openbox) and a tray (trayer), as a
// user meets it: shown from its icon, its size and hints as the window manager sees them,
// its titles, the setup command's refresh, its ends, and a second start.
#include <cstdlib>
#include <sstream>

#include "DesktopFixture.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;
using namespace std::chrono_literals;

namespace {

const std::string kSetup = "Corvan Service - Setup";
const std::string kAdvanced = "Corvan Service - Setup (Advanced)";

// The fields of _MOTIF_WM_HINTS ("0x3, 0x26, 0x1e, 0x0, 0x0": flags, functions, decorations).
std::vector<unsigned long> MotifHints(const std::string& value) {
  std::vector<unsigned long> fields;
  std::istringstream in(value);
  for (std::string f; std::getline(in, f, ',');) fields.push_back(std::strtoul(f.c_str(), nullptr, 16));
  return fields;
}

class X11WindowTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    StartX(true);
  }

  // Starts the panel and waits for its icon in the tray.
  SimProcess& StartPanel() {
    SimProcess& panel = Launch("xcb");
    if (!Eventually([&] { return TrayIconWindow().has_value(); }))
      ADD_FAILURE() << "no icon in the tray: " << panel.err();
    return panel;
  }

  tXWindow ClickIcon() {
    const std::optional<tXWindow> icon = TrayIconWindow();
    if (!icon) return {};
    XDoTool({"mousemove", "--window", icon->Id, "5", "5", "click", "1"});
    return WaitForViewable(kMainWindowTitle);
  }

  // Clicks at (X, Y) inside the window.
  static void Click(const tXWindow& Window, int X, int Y) {
    EXPECT_TRUE(XDoTool({"mousemove", "--window", Window.Id, std::to_string(X), std::to_string(Y), "click", "1"}));
  }

  // Gives the window the keyboard focus, asking again while the window manager has not
  // (it may still be busy with the window's mapping), and types `Key` there.
  static void Key(const tXWindow& Window, const std::string& Key) {
    EXPECT_TRUE(Eventually([&] {
      XDoTool({"windowactivate", Window.Id});
      return XProperty("root", "_NET_ACTIVE_WINDOW") == "window id # " + Window.Id;
    })) << "no focus for "
        << Window.Title;
    EXPECT_TRUE(XDoTool({"key", Key}));
  }

  // The main window as the window manager knows it: a fixed, always-on-top tool window
  // that can be closed, never maximised or resized, and titled with its own caption only.
  void ExpectFixedToolWindow(const tXWindow& w) {
    EXPECT_EQ(w.Width, 295);
    EXPECT_EQ(w.Height, 270);
    const std::string hints = XProperty(w.Id, "WM_NORMAL_HINTS");
    EXPECT_NE(hints.find("program specified minimum size: 295 by 270"), std::string::npos) << hints;
    EXPECT_NE(hints.find("program specified maximum size: 295 by 270"), std::string::npos) << hints;
    const std::string actions = XProperty(w.Id, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << actions;
    for (const char* offered : {"_NET_WM_ACTION_MAXIMIZE", "_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_FULLSCREEN"})
      EXPECT_EQ(actions.find(offered), std::string::npos) << actions;
    EXPECT_NE(XProperty(w.Id, "_NET_WM_STATE").find("_NET_WM_STATE_ABOVE"), std::string::npos);
    EXPECT_EQ(XProperty(w.Id, "_NET_WM_WINDOW_TYPE").rfind("_NET_WM_WINDOW_TYPE_UTILITY", 0), 0u);
    // The title bar is asked for no minimise or maximise button, and for no maximising;
    // closing is allowed (KDE and GNOME honour that: without it, Alt+F4 does nothing).
    const std::vector<unsigned long> motif = MotifHints(XProperty(w.Id, "_MOTIF_WM_HINTS"));
    ASSERT_GE(motif.size(), 3u);
    EXPECT_EQ(motif[1] & 0x10, 0u) << "maximise allowed";
    EXPECT_NE(motif[1] & 0x20, 0u) << "close not allowed";
    EXPECT_EQ(motif[2] & (0x20 | 0x40), 0u) << "minimise or maximise button";
    EXPECT_EQ(XProperty(w.Id, "_NET_WM_NAME"), "\"" + kMainWindowTitle + "\"");
    EXPECT_EQ(XProperty(w.Id, "WM_NAME"), "\"" + kMainWindowTitle + "\"");
  }
};

}  // namespace

TEST_F(X11WindowTest, TheToolWindowKeepsItsSizeHintsAndPlaceThroughTheSetupRefresh) {
  // A PDW folder long enough to have widened the advanced dialog.
  Lib::gCorvanSettings.PDWLogPath =
      "/srv/pager-decoders/pdw-flex-receiver-north-eastern-hills/logs/" + std::string(28, 'x');
  Lib::SaveCorvanSettings();
  StartPanel();
  for (const tXWindow& w : PanelWindows(kMainWindowTitle)) EXPECT_FALSE(Viewable(w.Id)) << "shown before the click";

  const tXWindow first = ClickIcon();
  ASSERT_FALSE(first.Id.empty()) << "the click on the icon showed no window";
  ExpectFixedToolWindow(first);

  // Setup hides the window while its dialog is open; OK saves and refreshes it.
  Click(first, 212, 226);
  const tXWindow setup = WaitForViewable(kSetup);
  ASSERT_FALSE(setup.Id.empty()) << "no setup dialog";
  EXPECT_EQ(XProperty(setup.Id, "_NET_WM_NAME"), "\"" + kSetup + "\"");
  EXPECT_FALSE(Viewable(first.Id));

  // Advanced..., the bottom left button; a long folder scrolls in its field.
  Click(setup, 20, setup.Height - 20);
  const tXWindow advanced = WaitForViewable(kAdvanced);
  ASSERT_FALSE(advanced.Id.empty()) << "no advanced dialog";
  EXPECT_EQ(XProperty(advanced.Id, "_NET_WM_NAME"), "\"" + kAdvanced + "\"");
  Key(advanced, "Escape");
  ASSERT_FALSE(WaitForViewable(kSetup).Id.empty());
  Key(setup, "Return");

  const tXWindow refreshed = WaitForViewable(kMainWindowTitle);
  ASSERT_EQ(refreshed.Id, first.Id);
  ExpectFixedToolWindow(refreshed);
  EXPECT_EQ(refreshed.X, first.X);
  EXPECT_EQ(refreshed.Y, first.Y);

  // With a short folder the advanced dialog has the same size.
  Lib::gCorvanSettings.PDWLogPath = "/var/pdw";
  Lib::SaveCorvanSettings();
  Click(refreshed, 212, 226);
  const tXWindow setupAgain = WaitForViewable(kSetup);
  ASSERT_FALSE(setupAgain.Id.empty());
  Click(setupAgain, 20, setupAgain.Height - 20);
  const tXWindow shortFolder = WaitForViewable(kAdvanced);
  ASSERT_FALSE(shortFolder.Id.empty());
  EXPECT_EQ(shortFolder.Width, advanced.Width);
  EXPECT_EQ(shortFolder.Height, advanced.Height);
}

TEST_F(X11WindowTest, AltF4AndSigtermEndThePanelWithZeroAndTakeItsIconAway) {
  const struct {
    const char* name;
    bool altF4;  // else SIGTERM, with the window hidden
  } ends[] = {{"Alt+F4", true}, {"SIGTERM", false}};
  for (const auto& end : ends) {
    SCOPED_TRACE(end.name);
    SimProcess& panel = StartPanel();
    if (end.altF4) {
      const tXWindow w = ClickIcon();
      ASSERT_FALSE(w.Id.empty());
      Key(w, "alt+F4");
      EXPECT_EQ(panel.waitForExit(20s), 0);
    } else {
      EXPECT_EQ(panel.stop(20s), 0) << panel.err();
    }
    EXPECT_TRUE(Eventually([&] { return !TrayIconWindow(); })) << "the icon stayed";
  }
}

TEST_F(X11WindowTest, ASecondStartBringsTheRunningPanelForwardAndEnds) {
  SimProcess& first = StartPanel();
  for (const tXWindow& w : PanelWindows(kMainWindowTitle)) EXPECT_FALSE(Viewable(w.Id));

  SimProcess& second = Launch("xcb");
  EXPECT_EQ(second.waitForExit(20s), 0) << second.err();
  const tXWindow shown = WaitForViewable(kMainWindowTitle);
  ASSERT_FALSE(shown.Id.empty()) << "the running panel did not show its window";
  EXPECT_EQ(first.waitForExit(100ms), -1) << "the running panel ended";
  EXPECT_EQ(first.stop(20s), 0);
}
