// The panel's icon through the StatusNotifierItem protocol, which KDE Plasma, GNOME with
// its AppIndicator extension, XFCE's panel and waybar host: a private session bus with a
// minimal host (sni_host), the panel on an X server without an XEmbed tray.
#include <QImage>
#include <sstream>

#include "DesktopFixture.h"

using namespace corvantest;
using namespace std::chrono_literals;

namespace {

// The value of the host's line "NAME=value".
std::string Said(const std::string& out, const std::string& name) {
  const std::size_t start = out.find(name + "=");
  if (start == std::string::npos) return "(not said)";
  const std::size_t value = start + name.size() + 1;
  return out.substr(value, out.find('\n', value) - value);
}

// Whether two pictures show the same: equal sizes, and pixels that differ by no more
// than the rounding of a round trip through premultiplied alpha.
bool SamePicture(QImage a, QImage b) {
  if (a.size() != b.size() || a.isNull()) return false;
  a = a.convertToFormat(QImage::Format_ARGB32);
  b = b.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qAlpha(p) - qAlpha(q)) > 1) return false;
      if (qAlpha(p) == 0) continue;
      const int tolerance = 255 / qAlpha(p) + 1;
      if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
          std::abs(qBlue(p) - qBlue(q)) > tolerance)
        return false;
    }
  return true;
}

}  // namespace

TEST_F(DesktopTest, TheStatusNotifierItemHasTheTitleAndIconAndActivateShowsTheWindow) {
  StartX(false);
  StartSessionBus();
  TempFolder icons;
  std::unique_ptr<SimProcess> host = StartProgram({CORVAN_SNI_HOST, icons.path()}, "ready\n");

  SimProcess& panel = Launch("xcb");
  ASSERT_TRUE(host->waitForOutput("IconPixmap=", 20s)) << host->out() << host->err() << panel.err();
  ASSERT_TRUE(host->waitForOutput("IconPixmap=" + Said(host->out(), "IconPixmap") + "\n", 20s));
  // "registered SERVICE PATH pid=N"
  std::istringstream registered(host->out().substr(host->out().find("registered ") + 11));
  std::string service, path, pid;
  registered >> service >> path >> pid;
  EXPECT_EQ(pid, "pid=" + std::to_string(panel.pid())) << host->out();
  EXPECT_EQ(Said(host->out(), "Title"), "Corvan Service Control.");
  EXPECT_EQ(Said(host->out(), "Status"), "Active");
  EXPECT_EQ(Said(host->out(), "ToolTip"), "Corvan Service Control. v" CORVAN_PROJECT_VERSION);
  // No service runs: the icon that says printing is not ready.
  EXPECT_TRUE(SamePicture(QImage(QString::fromStdString(icons.file("32x32.png"))),
                          QImage(QStringLiteral(CORVAN_ICON_FOLDER "/noprint.png"))))
      << "sizes sent: " << Said(host->out(), "IconPixmap");

  // With a host there, the panel starts hidden behind its item; Activate (a click on
  // the item) shows it.
  for (const tXWindow& w : PanelWindows(kMainWindowTitle)) EXPECT_FALSE(Viewable(w.Id));
  ASSERT_TRUE(ToolOutput({"dbus-send", "--session", "--type=method_call", "--dest=" + service, path,
                          "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"}));
  EXPECT_FALSE(WaitForViewable(kMainWindowTitle).Id.empty()) << "Activate showed no window";

  // Ended, the item leaves the host.
  EXPECT_EQ(panel.stop(20s), 0) << panel.err();
  EXPECT_TRUE(host->waitForOutput("unregistered " + service + "\n", 20s)) << host->out();
}
