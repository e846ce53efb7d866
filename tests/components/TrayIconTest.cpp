#include <gtest/gtest.h>

#include <memory>

#include "components/TrayIcon.h"
#include "platform/fakes/FakeNotificationArea.h"

using namespace components;
using namespace platform;

namespace {

class TrayIconTest : public ::testing::Test {
 protected:
  // A loaded icon whose events are written into `events_`, like "Down left 9 10 20".
  std::unique_ptr<TTrayIcon> LoadedIcon() {
    auto icon = std::make_unique<TTrayIcon>(area_, app_);
    Journal(*icon);
    icon->Loaded();
    wnd_ = area_.LastWindow();
    return icon;
  }

  void Journal(TTrayIcon& icon) {
    auto button = [](TMouseButton b) {
      return b == TMouseButton::mbLeft ? "left" : b == TMouseButton::mbRight ? "right" : "middle";
    };
    icon.OnClick = [this](TTrayIcon*) { events_.push_back("Click"); };
    icon.OnDblClick = [this](TTrayIcon*) { events_.push_back("DblClick"); };
    icon.OnMouseMove = [this](TTrayIcon*, TShiftState s, int x, int y) {
      events_.push_back("Move " + std::to_string(s) + " " + std::to_string(x) + " " + std::to_string(y));
    };
    icon.OnMouseDown = [this, button](TTrayIcon*, TMouseButton b, TShiftState s, int x, int y) {
      events_.push_back(std::string("Down ") + button(b) + " " + std::to_string(s) + " " + std::to_string(x) + " " +
                        std::to_string(y));
    };
    icon.OnMouseUp = [this, button](TTrayIcon*, TMouseButton b, TShiftState s, int, int) {
      events_.push_back(std::string("Up ") + button(b) + " " + std::to_string(s));
    };
  }

  void Mouse(std::uint32_t message) { area_.Send(wnd_, TTrayIcon::WM_TRAYICON, 0, message); }

  FakeNotificationArea area_;
  FakeApplication app_;
  HWND wnd_ = 0;
  std::vector<std::string> events_;
};

TEST_F(TrayIconTest, LoadedAddsTheIconWithTheApplicationTitleAsTip) {
  app_.TitleText = std::string(130, 'T');
  auto icon = LoadedIcon();
  ASSERT_EQ(area_.Calls.size(), 1u);
  const auto& [command, data] = area_.Calls[0];
  EXPECT_EQ(command, NIM_ADD);
  EXPECT_EQ(data.cbSize, 488u);
  EXPECT_EQ(data.hWnd, wnd_);
  EXPECT_EQ(data.uID, 0u);
  EXPECT_EQ(data.uCallbackMessage, 1147u);
  EXPECT_EQ(data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  EXPECT_EQ(data.szTip, std::string(127, 'T'));
  EXPECT_FALSE(data.hIcon);
}

TEST_F(TrayIconTest, DoubleClickGivesTheEventsInOrderAndOneClick) {
  auto icon = LoadedIcon();
  for (auto m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Mouse(m);
  const std::string left = std::to_string(ssLeft);
  EXPECT_EQ(events_, (std::vector<std::string>{"Down left " + left + " 0 0", "Click", "Up left " + left, "DblClick",
                                               "Up left " + left}));
}

TEST_F(TrayIconTest, ReleaseWithoutPressIsNoClick) {
  auto icon = LoadedIcon();
  Mouse(WM_LBUTTONUP);
  EXPECT_EQ(events_, (std::vector<std::string>{"Up left " + std::to_string(ssLeft)}));
}

TEST_F(TrayIconTest, MouseMessagesCarryCursorKeysAndButton) {
  auto icon = LoadedIcon();
  area_.Cursor = {640, 1010};
  area_.Keys = {true, false, true};
  const TShiftState keys = ssShift | ssCtrl;
  struct Row {
    std::uint32_t message;
    std::string event;
  } rows[] = {
      {WM_MOUSEMOVE, "Move " + std::to_string(keys) + " 640 1010"},
      {WM_RBUTTONDOWN, "Down right " + std::to_string(keys | ssRight) + " 640 1010"},
      {WM_RBUTTONUP, "Up right " + std::to_string(keys | ssRight)},
      {WM_MBUTTONDOWN, "Down middle " + std::to_string(keys | ssMiddle) + " 640 1010"},
      {WM_MBUTTONUP, "Up middle " + std::to_string(keys | ssMiddle)},
      {WM_RBUTTONDBLCLK, "DblClick"},
      {WM_MBUTTONDBLCLK, "DblClick"},
  };
  for (const Row& r : rows) {
    events_.clear();
    Mouse(r.message);
    EXPECT_EQ(events_, std::vector<std::string>{r.event}) << r.message;
  }
}

TEST_F(TrayIconTest, WindowMessagesOtherThanTheCallback) {
  auto icon = LoadedIcon();
  EXPECT_EQ(area_.Send(wnd_, WM_QUERYENDSESSION), 1);
  EXPECT_EQ(area_.Send(wnd_, WM_ENDSESSION, 0), 0);
  EXPECT_EQ(area_.Send(wnd_, 0x0010 /* close */), 0);
  EXPECT_EQ(area_.Calls.size(), 1u);  // only the add so far
  area_.Send(wnd_, WM_ENDSESSION, 1);
  ASSERT_EQ(area_.Calls.size(), 2u);
  EXPECT_EQ(area_.Calls[1].Command, NIM_DELETE);
  EXPECT_TRUE(events_.empty());
}

TEST_F(TrayIconTest, HintIsCutAndSentOnlyWhenItChanges) {
  auto icon = LoadedIcon();
  const std::string hint(200, 'h');
  icon->SetHint(hint);
  icon->SetHint(hint);
  ASSERT_EQ(area_.Calls.size(), 2u);
  EXPECT_EQ(area_.Calls[1].Command, NIM_MODIFY);
  EXPECT_EQ(area_.Calls[1].Data.szTip, std::string(127, 'h'));
  EXPECT_EQ(icon->Hint(), hint);

  icon->SetHint("");
  ASSERT_EQ(area_.Calls.size(), 3u);
  EXPECT_EQ(area_.Calls[2].Data.uFlags, NIF_MESSAGE | NIF_ICON);  // an empty tip is not sent
}

TEST_F(TrayIconTest, IconSetterSendsThePicture) {
  auto icon = LoadedIcon();
  const HICON picture = MakeIcon("png bytes");
  icon->SetIcon(picture);
  ASSERT_EQ(area_.Calls.size(), 2u);
  EXPECT_EQ(area_.Calls[1].Command, NIM_MODIFY);
  EXPECT_EQ(area_.Calls[1].Data.hIcon, picture);
}

TEST_F(TrayIconTest, BalloonFieldsAreCutAndFlagsRebuiltByTheNextUpdate) {
  app_.TitleText = std::string(70, 'T');
  auto icon = LoadedIcon();
  icon->ShowBalloonHint(std::string(300, 'b'), 2);
  ASSERT_EQ(area_.Calls.size(), 2u);
  const NOTIFYICONDATA& balloon = area_.Calls[1].Data;
  EXPECT_EQ(area_.Calls[1].Command, NIM_MODIFY);
  EXPECT_EQ(balloon.uFlags, NIF_INFO);
  EXPECT_EQ(balloon.uTimeout, 2000u);
  EXPECT_EQ(balloon.szInfo, std::string(255, 'b'));
  EXPECT_EQ(balloon.szInfoTitle, std::string(63, 'T'));
  EXPECT_EQ(balloon.dwInfoFlags, NIIF_ERROR);

  struct Row {
    int kind;
    std::uint32_t flags;
  } rows[] = {{0, NIIF_INFO}, {1, NIIF_WARNING}, {7, NIIF_WARNING} /* keeps the last */};
  for (const Row& r : rows) {
    icon->ShowBalloonHint("x", r.kind);
    EXPECT_EQ(area_.Calls.back().Data.dwInfoFlags, r.flags) << r.kind;
  }

  icon->SetHint("after");
  EXPECT_EQ(area_.Calls.back().Data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

TEST_F(TrayIconTest, WithoutBalloonsTheShortRecordIsSentAndBalloonsIgnored) {
  area_.Balloons = false;
  auto icon = LoadedIcon();
  icon->ShowBalloonHint("service stopped", 2);
  ASSERT_EQ(area_.Calls.size(), 1u);
  EXPECT_EQ(area_.Calls[0].Data.cbSize, 88u);
  icon->SetHint("h");
  EXPECT_EQ(area_.Calls.back().Data.cbSize, 88u);
  EXPECT_EQ(area_.Calls.back().Data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

TEST_F(TrayIconTest, PopupMenuOnRightPressFollowsTheRule) {
  struct Row {
    bool hasMenu, alwaysShow, minimized, visible;
    bool shown;
  } rows[] = {
      {false, true, true, false, false},  // no menu
      {true, false, false, true, false},  // window in plain view
      {true, false, true, true, true},    // minimized
      {true, false, false, false, true},  // hidden
      {true, true, false, true, true},    // always
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.hasMenu << r.alwaysShow << r.minimized << r.visible);
    FakeApplication app;
    app.IsMinimized = r.minimized;
    app.IsMainFormVisible = r.visible;
    FakePopupMenu menu(app.Log);
    TTrayIcon icon(area_, app);
    icon.Loaded();
    icon.PopupMenu = r.hasMenu ? &menu : nullptr;
    icon.AlwaysShowMenu = r.alwaysShow;
    area_.Cursor = {5, 6};
    area_.Send(area_.LastWindow(), TTrayIcon::WM_TRAYICON, 0, WM_RBUTTONDOWN);
    const std::vector<std::string> shown{"FocusMainForm", "BringToForeground", "Popup 5,6"};
    EXPECT_EQ(app.Log, r.shown ? shown : std::vector<std::string>{});
  }
}

TEST_F(TrayIconTest, MinimizeHidesWhenAskedAndRestoreBringsTheWindowBack) {
  auto icon = LoadedIcon();
  icon->OnMinimize = [this](TTrayIcon*) { app_.Log.push_back("OnMinimize"); };
  icon->OnRestore = [this](TTrayIcon*) { app_.Log.push_back("OnRestore"); };
  app_.Minimize();
  EXPECT_EQ(app_.Log, std::vector<std::string>{"OnMinimize"});

  app_.Log.clear();
  icon->HideMainForm = true;
  app_.Minimize();
  EXPECT_EQ(app_.Log, (std::vector<std::string>{"HideApplication", "HideMainForm", "OnMinimize"}));

  app_.Log.clear();
  app_.ShowMainFormFlag = false;  // start-up keeps the window hidden by itself
  app_.Restore();
  EXPECT_EQ(app_.Log, (std::vector<std::string>{"RestoreApplication", "MakeMainFormVisible", "BringToForeground",
                                                "OnRestore", "BringToForeground"}));

  app_.Log.clear();
  app_.ShowMainFormFlag = true;
  app_.Restore();
  EXPECT_EQ(app_.Log,
            (std::vector<std::string>{"RestoreApplication", "BringToForeground", "OnRestore", "BringToForeground"}));
}

TEST_F(TrayIconTest, DestructionRemovesIconWindowAndHooks) {
  auto icon = LoadedIcon();
  EXPECT_EQ(area_.WindowCount(), 1u);
  icon.reset();
  EXPECT_EQ(area_.Calls.back().Command, NIM_DELETE);
  EXPECT_EQ(area_.WindowCount(), 0u);
  EXPECT_FALSE(app_.OnMinimize);
  EXPECT_FALSE(app_.OnRestore);
}

TEST_F(TrayIconTest, ClickHandlerMayDestroyTheIcon) {
  auto icon = LoadedIcon();
  icon->OnClick = [&](TTrayIcon*) {
    events_.push_back("Click");
    icon.reset();
  };
  Mouse(WM_LBUTTONDOWN);
  Mouse(WM_LBUTTONUP);
  EXPECT_FALSE(icon);
  EXPECT_EQ(events_.back(), "Click");  // no release event from a destroyed component
}

}  // namespace
