#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QWidget>

#include "ShownText.h"
#include "TestApplication.h"
#include "components/TrayIcon.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtNotificationArea.h"

using components::TMouseButton;
using components::TShiftState;
using components::TTrayIcon;
using namespace platform;
using platformtest::EnsureApplication;

namespace {

std::string PngBytes() {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::red);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

class QtNotificationAreaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    wnd_ = area_.AllocateHWnd([this](TMessage& m) {
      received_.push_back(static_cast<std::uint32_t>(m.LParam));
      EXPECT_EQ(m.Msg, 1147u);
    });
    record_.hWnd = wnd_;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = 1147;
    record_.szTip = "CorvanControl";
  }

  QtNotificationArea area_;
  HWND wnd_ = 0;
  NOTIFYICONDATA record_;
  std::vector<std::uint32_t> received_;
};

TEST_F(QtNotificationAreaTest, ActivationsBecomeMouseMessages) {
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  QSystemTrayIcon* tray = area_.TrayIcon(wnd_, 0);
  ASSERT_NE(tray, nullptr);
  struct Row {
    QSystemTrayIcon::ActivationReason reason;
    std::vector<std::uint32_t> messages;
  } rows[] = {
      {QSystemTrayIcon::Trigger, {513, 514}},
      {QSystemTrayIcon::DoubleClick, {515, 514}},
      {QSystemTrayIcon::MiddleClick, {519, 520}},
      {QSystemTrayIcon::Context, {516, 517}},
      {QSystemTrayIcon::Unknown, {}},
  };
  for (const Row& r : rows) {
    received_.clear();
    emit tray->activated(r.reason);
    EXPECT_EQ(received_, r.messages) << r.reason;
  }
}

TEST_F(QtNotificationAreaTest, RecordWithoutCallbackFlagSendsNoMessages) {
  record_.uFlags = NIF_ICON;
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  emit area_.TrayIcon(wnd_, 0)->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(received_.empty());
}

TEST_F(QtNotificationAreaTest, CommandsApplyTheFieldsTheirFlagsName) {
  EXPECT_FALSE(area_.Shell_NotifyIcon(NIM_MODIFY, record_));  // not added yet
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  EXPECT_FALSE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  QSystemTrayIcon* tray = area_.TrayIcon(wnd_, 0);
  EXPECT_EQ(tray->toolTip(), "CorvanControl");
  EXPECT_TRUE(tray->icon().isNull());

  record_.szTip = std::string(200, 'h');
  record_.hIcon = MakeIcon(PngBytes());
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_MODIFY, record_));
  EXPECT_EQ(tray->toolTip(), QString(127, 'h'));
  EXPECT_FALSE(tray->icon().isNull());

  // Without NIF_TIP and NIF_ICON the tip and the picture stay.
  record_.uFlags = NIF_INFO;
  record_.szTip = "other";
  record_.hIcon = MakeIcon("not a picture");
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_MODIFY, record_));
  EXPECT_EQ(tray->toolTip(), QString(127, 'h'));
  EXPECT_FALSE(tray->icon().isNull());

  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_DELETE, record_));
  EXPECT_EQ(area_.TrayIcon(wnd_, 0), nullptr);
  EXPECT_FALSE(area_.Shell_NotifyIcon(NIM_DELETE, record_));
}

TEST_F(QtNotificationAreaTest, ATipThatWouldPassForMarkupIsShownAsWritten) {
  record_.szTip = "<img src='no-such-picture.png'> <b>Corvan service is running.</b>";
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  EXPECT_EQ(corvantest::ShownText(area_.TrayIcon(wnd_, 0)->toolTip()), record_.szTip);
}

TEST_F(QtNotificationAreaTest, BalloonsFollowTheTraysSupport) {
  EXPECT_EQ(area_.BalloonsSupported(), QSystemTrayIcon::supportsMessages());
}

TEST_F(QtNotificationAreaTest, HandlerMayDeleteTheIconBetweenPressAndRelease) {
  const HWND deleter = area_.AllocateHWnd([&](TMessage& m) {
    received_.push_back(static_cast<std::uint32_t>(m.LParam));
    area_.Shell_NotifyIcon(NIM_DELETE, record_);
  });
  record_.hWnd = deleter;
  ASSERT_TRUE(area_.Shell_NotifyIcon(NIM_ADD, record_));
  emit area_.TrayIcon(deleter, 0)->activated(QSystemTrayIcon::Trigger);
  EXPECT_EQ(received_, std::vector<std::uint32_t>{513});
  EXPECT_EQ(area_.TrayIcon(deleter, 0), nullptr);
}

TEST_F(QtNotificationAreaTest, TrayIconOverQtGetsTheDoubleClickOrder) {
  QWidget window;
  QtApplication app(&window);
  TTrayIcon icon(area_, app);
  std::vector<std::string> events;
  icon.OnMouseDown = [&](TTrayIcon*, TMouseButton, TShiftState, int, int) { events.push_back("MouseDown"); };
  icon.OnClick = [&](TTrayIcon*) { events.push_back("Click"); };
  icon.OnMouseUp = [&](TTrayIcon*, TMouseButton, TShiftState, int, int) { events.push_back("MouseUp"); };
  icon.OnDblClick = [&](TTrayIcon*) { events.push_back("DblClick"); };
  icon.Loaded();
  icon.SetHint(std::string(200, 'x'));
  // The adapter's second window is the icon's.
  QSystemTrayIcon* tray = area_.TrayIcon(wnd_ + 1, 0);
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->toolTip(), QString(127, 'x'));
  // What a double click on the icon produces: a click, then a double click.
  emit tray->activated(QSystemTrayIcon::Trigger);
  emit tray->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(events, (std::vector<std::string>{"MouseDown", "Click", "MouseUp", "DblClick", "MouseUp"}));
}

TEST(QtApplicationTest, MinimizeAndRestoreOfTheMainWindowRunTheHandlers) {
  EnsureApplication();
  QWidget window;
  QtApplication app(&window);
  std::vector<std::string> calls;
  app.SetOnMinimize([&] { calls.push_back("minimize"); });
  app.SetOnRestore([&] { calls.push_back("restore"); });
  window.show();
  EXPECT_TRUE(app.MainFormVisible());
  window.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(app.Minimized());
  app.RestoreApplication();
  EXPECT_FALSE(app.Minimized());
  EXPECT_EQ(calls, (std::vector<std::string>{"minimize", "restore"}));
  app.HideMainForm();
  EXPECT_FALSE(app.MainFormVisible());
  app.MakeMainFormVisible();
  EXPECT_TRUE(app.MainFormVisible());
}

}  // namespace
