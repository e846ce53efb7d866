// The main window in-process on a real X server with a window manager: the minute
// refresh leaves the shown window as it was. (It used to take the window manager's frame
// off the window's size, and the window jumped.)
#include <QCoreApplication>
#include <QString>

#include "AppFixture.h"
#include "XDesktop.h"

using namespace corvantest;

namespace {

class X11RefreshTest : public apptest::MainFormTest {};

}  // namespace

TEST_F(X11RefreshTest, TheMinuteRefreshKeepsTheShownWindowsSize) {
  WriteSettings();
  auto form = Start();
  form->TrayIconClick(form->TrayIcon.get());
  const std::string id = "0x" + QString::number(form->winId(), 16).toStdString();
  // Framed by the window manager and moved once, as a window shown for a while may have
  // been: Qt then knows the frame, which the refresh used to take off the size.
  ASSERT_TRUE(WaitFor([&] { return !XProperty(id, "_NET_FRAME_EXTENTS").empty(); }, 20000));
  ASSERT_TRUE(XDoTool({"windowmove", "--sync", id, "100", "100"}));
  ASSERT_TRUE(WaitFor([&] { return form->frameGeometry().size() != form->geometry().size(); }, 20000));
  const std::optional<tXWindow> shown = XWindow(id);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->Width, 295);
  EXPECT_EQ(shown->Height, 270);

  form->Timer1Timer();
  QCoreApplication::processEvents();
  // Whatever the refresh asked of the window manager has been done once a later request
  // (from another client) has: it handles them in order.
  ASSERT_TRUE(XDoTool({"windowmove", "--sync", id, "20", "40"}));
  const std::optional<tXWindow> refreshed = XWindow(id);
  ASSERT_TRUE(refreshed);
  EXPECT_EQ(refreshed->Width, 295);
  EXPECT_EQ(refreshed->Height, 270);
}
