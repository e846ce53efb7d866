// The main window on a program folder of its own: real widgets (offscreen), real inotify,
// real timers, real processes named like the service.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "AppFixture.h"
#include "Controls.h"
#include "FifoProbe.h"
#include "JpegFixture.h"
#include "MonitorTesting.h"
#include "ShownText.h"
#include "UdpListener.h"
#include "app/SingleInstance.h"
#include "pager/VEKUnits.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/ProcessCount.h"

using namespace MainForm;
using apptest::MainFormTest;
using apptest::ServiceProcesses;
using corvantest::Control;
using corvantest::ShownText;
using corvantest::WriteFile;
using platform::S;

namespace {

const std::string kVersion = CORVAN_PROJECT_VERSION;
const std::string kTitle = "Corvan Service Control.";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Text(const QLabel* label) { return S(label->text()); }
std::string Tip(const QWidget* w) { return S(w->toolTip()); }

QColor Colour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

QColor PixelOf(const QLabel* image) { return image->pixmap().toImage().pixelColor(2, 2); }

// Runs the message loop as the program does; its exit code, or -1 when it did not end
// by itself within a generous limit.
int ExecUntilItEnds() {
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
  watchdog.start(20000);
  return QApplication::exec();
}

}  // namespace

TEST_F(MainFormTest, ControlsSitWhereTheFormPutsThem) {
  WriteSettings();
  auto form = Start();
  struct Case {
    QWidget* control;
    QRect geometry;
    const char* caption;
  } cases[] = {
      {Control<QLabel>(*form, "Label2"), {4, 4, 285, 13}, "Corvan Service "},
      {Control<QLabel>(*form, "lblStatus"), {8, 116, 277, 13}, nullptr},
      {Control<QLabel>(*form, "imgDataSource"), {8, 136, 277, 9}, nullptr},
      {Control<QLabel>(*form, "lblGoingRFAs"), {184, 148, 77, 29}, "0"},
      {Control<TLinkLabel>(*form, "lblURL"), {6, 196, 275, 17}, nullptr},
      {Control<TIconImage>(*form, "imgPrint"), {128, 156, 32, 32}, nullptr},
      {Control<TIconImage>(*form, "imgNoPrint"), {84, 156, 32, 32}, nullptr},
      {Control<QPushButton>(*form, "Button3"), {8, 216, 41, 21}, "About"},
      {Control<QPushButton>(*form, "Button1"), {56, 216, 73, 21}, "Task Sheets"},
      {Control<QPushButton>(*form, "Button4"), {136, 216, 49, 21}, "Enter"},
      {Control<QPushButton>(*form, "cmdSetup"), {192, 216, 41, 21}, "Setup"},
      {Control<QPushButton>(*form, "cmdOK"), {240, 216, 41, 21}, "OK"},
      {Control<QPushButton>(*form, "Button2"), {96, 164, 53, 21}, "Cancel"},
      // The four display panels share one place after start-up.
      {Control<QFrame>(*form, "pnlLogo"), {56, 24, 177, 85}, nullptr},
      {Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat"), {56, 24, 181, 85}, nullptr},
      {Control<QLabel>(*form, "pnlClock"), {56, 24, 181, 85}, nullptr},
      {Control<QFrame>(*form, "pnlGoingGraph"), {56, 24, 177, 85}, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.control->geometry(), c.geometry) << S(c.control->objectName());
    if (!c.caption) continue;
    if (const auto* button = qobject_cast<QPushButton*>(c.control)) {
      EXPECT_EQ(S(button->text()), c.caption);
    } else if (const auto* label = qobject_cast<QLabel*>(c.control)) {
      EXPECT_EQ(Text(label), c.caption);
    }
  }
  for (const auto* label : {Control<QLabel>(*form, "lblControlVersion"), Control<QLabel>(*form, "lblServiceVersion"),
                            Control<QLabel>(*form, "lblConnectedTo")})
    EXPECT_EQ(label->x(), 8);
  EXPECT_EQ(Control<QLabel>(*form, "lblControlVersion")->y(), 148);
  EXPECT_EQ(Control<QLabel>(*form, "lblServiceVersion")->y(), 164);
  EXPECT_EQ(Control<QLabel>(*form, "lblConnectedTo")->y(), 180);
  EXPECT_EQ(Control<QLabel>(*form, "lblGoingRFAsTitle")->pos(), QPoint(216, 180));
  EXPECT_EQ(Tip(Control<QFrame>(*form, "pnlLogo")), "Logo. Double click to show data packets");
  EXPECT_EQ(Tip(Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat")),
            "Data packets. Double click to show the time.");
  EXPECT_EQ(Tip(Control<QLabel>(*form, "pnlClock")), "Time. Double click to show logo.");
  EXPECT_EQ(Tip(Control<QLabel>(*form, "lblGoingRFAs")), "Current going RFAs");
  EXPECT_EQ(Tip(Control<QLabel>(*form, "imgDataSource")),
            "Data feed: Green=COM, Orange=TCP, Blue=UDP, Yellow=UDP/TCP, Red=No data, Teal=Corvan Log");
  EXPECT_EQ(form->frameGeometry().size(), QSize(295, 270));
  EXPECT_EQ(S(form->windowTitle()), "Corvan service settings");
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form->windowType(), Qt::Tool);
  // No buttons but the close action: the window manager's Alt+F4 ends the program.
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(form->minimumSize(), QSize(295, 270));
  EXPECT_EQ(form->maximumSize(), QSize(295, 270));
  EXPECT_EQ(Colour(Control<QLabel>(*form, "lblGoingRFAs")), QColor(Qt::red));
  EXPECT_EQ(Control<QLabel>(*form, "pnlClock")->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(Control<QLabel>(*form, "pnlClock")->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_FALSE(Control<TIconImage>(*form, "imgPrint")->isVisibleTo(form.get()));
  EXPECT_FALSE(Control<TIconImage>(*form, "imgNoPrint")->isEnabled());
  ASSERT_TRUE(Control<TIconImage>(*form, "imgPrint")->Icon() && Control<TIconImage>(*form, "imgNoPrint")->Icon());
  EXPECT_NE(*Control<TIconImage>(*form, "imgPrint")->Icon(), *Control<TIconImage>(*form, "imgNoPrint")->Icon());
}

TEST_F(MainFormTest, StartUpLeavesTheLogoAHiddenWindowAndTheFeedLine) {
  WriteSettings([] { Lib::gCorvanSettings.ProcessTarnexTCPFeed = false; });
  auto form = Start();
  EXPECT_FALSE(form->Terminated());
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Application().ShowMainForm());
  form->ShowOnStart();
  EXPECT_FALSE(form->isVisible());

  EXPECT_TRUE(Control<QFrame>(*form, "pnlLogo")->isVisibleTo(form.get()));
  EXPECT_FALSE(Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat")->isVisibleTo(form.get()));
  EXPECT_FALSE(Control<QLabel>(*form, "pnlClock")->isVisibleTo(form.get()));
  EXPECT_FALSE(Control<QFrame>(*form, "pnlGoingGraph")->isVisibleTo(form.get()));
  EXPECT_EQ(MemoText(*form), "ProcessTarnexTCPFeed:=False");
  EXPECT_EQ(Text(Control<QLabel>(*form, "pnlClock")), "14:05");

  const auto& g = brix32::gGlobalSettings;
  EXPECT_EQ(g.Path, dir.path());
  EXPECT_EQ(std::filesystem::current_path().string() + "/", dir.path());
  EXPECT_EQ(g.SelfName, "CorvanControl");
  EXPECT_EQ(g.Version, kVersion);
  EXPECT_EQ(g.HostName, "corvantest");
  EXPECT_EQ(g.ExceptionFileName, "E!{selfname}-{timestamp}.XML");
  EXPECT_EQ(form->TrayIcon->Hint(), kTitle + " v" + kVersion);
  EXPECT_EQ(form->TrayIcon->Icon(), Control<TIconImage>(*form, "imgNoPrint")->Icon());
  EXPECT_TRUE(form->ServiceWatcher->Active());
  EXPECT_EQ(form->ServiceWatcher->Folder(), dir.path());

  // The first refresh has run.
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "CorvanSrvc.exe is missing.");
  EXPECT_EQ(Tip(Control<QLabel>(*form, "lblStatus")),
            "The CorvanSrvc.exe is missing. You can download a copy from https://www.tarnex.example/downloads.");
  EXPECT_EQ(Colour(Control<QLabel>(*form, "lblStatus")), QColor(Qt::red));
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblControlVersion")), "Control Version: " + kVersion);
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblServiceVersion")), "Service Version: missing CorvanSrvc-Version.txt");
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblConnectedTo")), "Connected to::15167");
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), "");

  EXPECT_EQ(dir.read("CORVANSRVC-EventLog-Thu.txt"),
            "03/10/13 14:05:09.000 CorvanControl Program started. v" + kVersion + "\" (TfrmMain.FormCreate:900)\r\n");

  // The clock follows the time of day by itself.
  clock.set(brix32::EncodeDateTime({2013, 10, 3, 9, 7, 0, 0}));
  EXPECT_TRUE(WaitFor([&] { return Text(Control<QLabel>(*form, "pnlClock")) == "09:07"; }, 3000));
}

TEST_F(MainFormTest, StartIsAnnouncedBySyslogAndPhoneHomeByteForByte) {
  WriteSettings([] {
    Lib::gVEKSettings.WWWHost = "127.0.0.1";
    Lib::gCorvanSettings.MainUnit = "stt";
    Lib::gCorvanSettings.ProcessVEKUnits = "STT,EAS";
  });
  dir.write("CorvanSrvc-Version.txt", "2.1.0.37");
  corvantest::UdpListener syslog(514);
  corvantest::UdpListener phoneHome(15171);
  auto form = Start();
  const auto lines = syslog.receive(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].bytes, "<5>CorvanControl:00001 TfrmMain.FormCreate:100 v" + kVersion +
                                " started. gGlobalSettings.Path=" + dir.path() + " H=\"corvantest\" (ID=57002)");
  const auto reports = phoneHome.receive(1);
  ASSERT_EQ(reports.size(), 1u);
  const std::string d = dir.path();
  EXPECT_EQ(reports[0].bytes,
            "<PhoneHome><CorvanControl> v" + kVersion +
                "<MainUnit>stt</MainUnit>"
                "<DateTime>03/10/13 14:05:09</DateTime><DaysOfLogFilesRetained>7</DaysOfLogFilesRetained>"
                "<DebugFileCount>0</DebugFileCount><DefaultPrinterName></DefaultPrinterName>"
                "<EnablePrinting>1</EnablePrinting>"
                "<Event>Program started. v" +
                kVersion +
                "\" (TfrmMain.FormCreate:900)</Event>"
                "<ExceptionFileCount>0</ExceptionFileCount><HostName>corvantest</HostName>"
                "<LastPDWLogFileLength>0</LastPDWLogFileLength><LastCorvanLogFileDateTime></LastCorvanLogFileDateTime>"
                "<MachineUpTime>0w3d04h05m09s</MachineUpTime><Path>" +
                d +
                "</Path>"
                "<CorvanSrvcSettingsFilePath>" +
                d +
                "CorvanSrvc-Settings.xml</CorvanSrvcSettingsFilePath>"
                "<CorvanSrvcVersion>2.1.0.37</CorvanSrvcVersion><CorvanUDPPort>15167</CorvanUDPPort>"
                "<PDWLogPath></PDWLogPath><PrintTestPageAtStartup>False</PrintTestPageAtStartup>"
                "<ProcessTarnexTCPFeed>True</ProcessTarnexTCPFeed><SelfName>CorvanControl</SelfName>"
                "<SerialComms></SerialComms><ProcessVEKUnits>STT,EAS</ProcessVEKUnits>"
                "<TaskPDFFileCount>0</TaskPDFFileCount><UDPAddr>255.255.255.255</UDPAddr>"
                "<URI>/vek/rezedozo.dll</URI><UserName></UserName><Version>" +
                kVersion +
                "</Version>"
                "<WWWHost>127.0.0.1</WWWHost><WWWHostAlt></WWWHostAlt></PhoneHome>");
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), "https://127.0.0.1/vek/CalloutReport-STT-7Day.html");
}

TEST_F(MainFormTest, FolderThatCannotBeWatchedEndsTheStartUpWithAReport) {
  WriteSettings();
  corvantest::UdpListener syslog(514);
  const std::string gone = dir.path() + "gone/";
  MainForm::tMainFormPorts ports;
  ports.Area = &area;
  ports.Dialogs = &dialogs;
  ports.TrayAvailable = [] { return true; };
  ports.SetPathToEXEPath = [&] {
    brix32::gGlobalSettings.Path = gone;
    return gone;
  };
  auto form = std::make_unique<TfrmMain>(std::vector<std::string>{}, ports);
  const auto lines = syslog.receive(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].bytes.find("(ID=57002)"), std::string::npos);
  EXPECT_NE(lines[1].bytes.find("EXCEPTION:Func=TfrmMain.FormCreate Trace=120 "), std::string::npos) << lines[1].bytes;
  EXPECT_FALSE(form->ServiceWatcher->Active());
  // The steps after the failing one did not run: no refresh, no feed line, no start event,
  // and the window was not hidden for the notification area, so it shows.
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "Status: Not running.");
  EXPECT_EQ(MemoText(*form), "");
  EXPECT_FALSE(dir.exists("CORVANSRVC-EventLog-Thu.txt"));
  form->ShowOnStart();
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, SettingsFileFromTheFirstArgumentWhenItExists) {
  WriteSettings();
  dir.write("other.xml", "");
  struct Case {
    std::vector<std::string> args;
    std::string path;
  } cases[] = {
      {{}, dir.file("CorvanSrvc-Settings.xml")},
      {{"missing.xml"}, dir.file("CorvanSrvc-Settings.xml")},
      {{dir.path()}, dir.file("CorvanSrvc-Settings.xml")},  // a folder is no settings file
      {{"other.xml"}, dir.file("other.xml")},
      {{dir.file("other.xml")}, dir.file("other.xml")},
  };
  for (const auto& c : cases) {
    auto form = Start(c.args);
    EXPECT_EQ(Lib::gCorvanSettings.CorvanSrvcSettingsFilePath, c.path);
  }
}

TEST_F(MainFormTest, GoingLabelsFollowTheTarnexHeartbeat) {
  WriteSettings();
  auto form = Start();
  const std::string name = dir.file("CORVANSRVC-TARNEX-HEARTBEAT.TXT");
  struct Step {
    std::string text;
    bool visible;
    const char* count;
    const char* title;
  } steps[] = {
      // Before any valid count the labels stay hidden.
      {"INFO:V=2.0.1 G=x T=1", false, "0", "GOING RFAs"},
      {"HEARTBEAT 14:05", false, "0", "GOING RFAs"},
      {"INFO:V=2.0.1 G=2 T=1", true, "2", "GOING RFAs"},
      {"INFO:V=2.0.1 G=1 T=1", true, "1", "GOING RFA"},
      {"INFO:V=2.0.1 G=0 T=1", true, "0", "GOING RFAs"},
      {"INFO:V=2.0.1 G=3 T=1", true, "3", "GOING RFAs"},
      // A bad count keeps the number and the visibility, and resets the title.
      {"INFO:V=2.0.1 G=1x T=1", true, "3", "GOING RFAs"},
      {"@@ALERT F123 STT TEST PAGE", true, "3", "GOING RFAs"},
  };
  int n = 0;
  for (const auto& s : steps) {
    const std::string text = s.text + " #" + std::to_string(++n);
    WriteFile(name, text);
    ASSERT_TRUE(WaitFor([&] { return MemoText(*form) == text; })) << text;
    Settle(100);
    EXPECT_EQ(Control<QLabel>(*form, "lblGoingRFAs")->isVisibleTo(form.get()), s.visible) << text;
    EXPECT_EQ(Control<QLabel>(*form, "lblGoingRFAsTitle")->isVisibleTo(form.get()), s.visible) << text;
    EXPECT_EQ(Text(Control<QLabel>(*form, "lblGoingRFAs")), s.count) << text;
    EXPECT_EQ(Text(Control<QLabel>(*form, "lblGoingRFAsTitle")), s.title) << text;
  }
  EXPECT_EQ(form->TrayIcon->Hint(), kTitle + " v" + kVersion + "\nLast message at 03/10/13 14:05:09");
  // All of it happened behind the hidden window.
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, TheDataPacketBoxShowsAPacketsFirstLinesOnly) {
  WriteSettings();
  auto form = Start();
  std::string packet;
  std::string shown;
  for (std::size_t i = 0; i < 2000; ++i) {
    packet += std::to_string(i) + "\r\n";
    if (i < MainForm::kDataPacketBoxLines) shown += (i ? "\n" : "") + std::to_string(i);
  }
  WriteFile(dir.file("CORVANSRVC-TARNEX-HEARTBEAT.TXT"), packet);
  ASSERT_TRUE(WaitFor([&] { return MemoText(*form) == shown; })) << MemoText(*form).size();
  EXPECT_EQ(Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat")->blockCount(),
            static_cast<int>(MainForm::kDataPacketBoxLines));
  WriteFile(dir.file("CORVANSRVC-SERIAL-HEARTBEAT.TXT"), packet);
  ASSERT_TRUE(WaitFor([&] { return MemoText(*form) == "COM:" + shown; })) << MemoText(*form).size();
}

TEST_F(MainFormTest, SerialAndUdpHeartbeatsWhateverTheCaseOfTheName) {
  WriteSettings();
  auto form = Start();
  clock.set(brix32::EncodeDateTime({2013, 10, 3, 23, 59, 58, 0}));
  struct Case {
    const char* file;
    const char* text;
    const char* shown;
  } cases[] = {
      {"corvansrvc-serial-heartbeat.txt", "1234567 STT page", "COM:1234567 STT page"},
      {"CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "from 10.99.0.2", "UDP:from 10.99.0.2"},
      {"CorvanSrvc-UdpListen-Heartbeat.txt", "line one\r\nline two", "UDP:line one\nline two"},
  };
  for (const auto& c : cases) {
    WriteFile(dir.file(c.file), c.text);
    ASSERT_TRUE(WaitFor([&] { return MemoText(*form) == c.shown; })) << c.file;
  }
  EXPECT_EQ(form->TrayIcon->Hint(), kTitle + " v" + kVersion + "\nLast message at 03/10/13 23:59:58");
  // Other files of the folder change nothing.
  WriteFile(dir.file("CORVANSRVC-SOMETHING-ELSE.TXT"), "x");
  Settle();
  EXPECT_EQ(MemoText(*form), "UDP:line one\nline two");
}

TEST_F(MainFormTest, MessageFileCountsOnlyWhenCreatedAnew) {
  WriteSettings([] { Lib::gVEKSettings.WWWHost = "corvantest"; });
  ServiceProcesses service(dir.path());
  service.Start();
  auto form = Start();
  const std::string msg = dir.file("CORVANSRVC-MSG.TXT");
  ASSERT_EQ(Balloons().size(), 0u);

  WriteFile(msg, "Service connected to corvantest");
  ASSERT_TRUE(WaitFor([&] { return Balloons().size() == 1; }));
  EXPECT_EQ(Balloons()[0].szInfo, "Service connected to corvantest");
  EXPECT_EQ(Balloons()[0].dwInfoFlags, platform::NIIF_INFO);
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "Corvan service is running.");
  EXPECT_EQ(Colour(Control<QLabel>(*form, "lblStatus")), QColor(Qt::black));
  EXPECT_EQ(form->TrayIcon->Icon(), Control<TIconImage>(*form, "imgPrint")->Icon());
  EXPECT_EQ(form->TrayIcon->Hint(), kTitle + " v" + kVersion + "\nService connected to corvantest");

  // Rewritten in place: not a new message.
  Settle();
  WriteFile(msg, "Disconnect from corvantest");
  Settle(800);
  EXPECT_EQ(Balloons().size(), 1u);
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "Corvan service is running.");

  // Deleted and written anew: a message. "stopped" waits two seconds more before the status
  // is decided; the service ends meanwhile, and the status must say so.
  std::filesystem::remove(msg);
  Settle();
  apptest::KillLater(service.Last(), 1000);
  const auto written = std::chrono::steady_clock::now();
  WriteFile(msg, "CorvanSrvc stopped");
  ASSERT_TRUE(WaitFor([&] { return Balloons().size() == 2; }, 8000));
  const auto waited = std::chrono::steady_clock::now() - written;
  EXPECT_GE(waited, std::chrono::milliseconds(2080));
  EXPECT_EQ(Balloons()[1].dwInfoFlags, platform::NIIF_ERROR);
  EXPECT_EQ(Balloons()[1].szInfoTitle, kTitle);
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "Corvan service is not running.");
  EXPECT_EQ(Colour(Control<QLabel>(*form, "lblStatus")), QColor(Qt::red));
  EXPECT_EQ(form->TrayIcon->Icon(), Control<TIconImage>(*form, "imgNoPrint")->Icon());

  // A new "Disconnect" message also gets the error balloon.
  std::filesystem::remove(msg);
  Settle();
  WriteFile(msg, "Disconnected from corvantest");
  ASSERT_TRUE(WaitFor([&] { return Balloons().size() == 3; }));
  EXPECT_EQ(Balloons()[2].dwInfoFlags, platform::NIIF_ERROR);
}

TEST_F(MainFormTest, StatusAndIconFromProcessesMessageAndPrinting) {
  WriteSettings([] { Lib::gVEKSettings.WWWHost = "corvantest"; });
  ServiceProcesses service(dir.path());
  service.Start();
  auto form = Start();
  struct Case {
    int processes;
    const char* message;  // nullptr: no message file
    std::int32_t printing;
    const char* status;
    bool ready;
  } cases[] = {
      {1, nullptr, 1, "Corvan service is running.", true},
      {2, nullptr, 1, "Corvan service is running.", false},
      {2, "Disconnect", 1, "Disconnected from corvantest", false},
      {1, "Disconnect", 1, "Disconnected from corvantest", false},
      {1, "connected", 0, "Printing is disabled.", false},
      {1, "connected", 2, "Printing is disabled.", false},
      {0, "connected", 1, "Corvan service is not running.", false},
  };
  for (const auto& c : cases) {
    while (static_cast<int>(service.Count()) < c.processes) service.Start();
    while (static_cast<int>(service.Count()) > c.processes) service.StopOne();
    if (c.message)
      dir.write("CORVANSRVC-MSG.TXT", c.message);
    else
      std::filesystem::remove(dir.file("CORVANSRVC-MSG.TXT"));
    WriteSettings([&] {
      Lib::gVEKSettings.WWWHost = "corvantest";
      Lib::gCorvanSettings.EnablePrinting = c.printing;
    });
    Settle();
    form->RefreshForms();
    EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), c.status)
        << c.processes << " " << (c.message ? c.message : "-");
    EXPECT_EQ(form->TrayIcon->Icon(), c.ready ? Control<TIconImage>(*form, "imgPrint")->Icon()
                                              : Control<TIconImage>(*form, "imgNoPrint")->Icon())
        << c.processes << " " << (c.message ? c.message : "-") << " " << c.printing;
  }
}

TEST_F(MainFormTest, RemovedSettingsFileIsRecreatedWithDefaults) {
  WriteSettings([] {
    Lib::gVEKSettings.WWWHost = "corvantest";
    Lib::gVEKSettings.WWWHostActive = "corvantwo";
  });
  auto form = Start();
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblConnectedTo")), "Connected to:corvantwo:15167");
  EXPECT_EQ(Lib::gVEKSettings.WWWHost, "corvantest");
  std::filesystem::remove(dir.file("CorvanSrvc-Settings.xml"));
  ASSERT_TRUE(WaitFor([&] { return dir.exists("CorvanSrvc-Settings.xml"); }));
  Settle();
  EXPECT_EQ(Lib::gVEKSettings.WWWHost, "www.tarnex.example");
  EXPECT_NE(dir.read("CorvanSrvc-Settings.xml").find("<WWWHost>www.tarnex.example</WWWHost>"), std::string::npos);
  // The service's active host is kept by the defaults, and still shown.
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblConnectedTo")), "Connected to:corvantwo:15167");
  // A change written by the service is read again.
  WriteSettings([] { Lib::gVEKSettings.WWWHostActive = "corvantest"; });
  EXPECT_TRUE(
      WaitFor([&] { return Text(Control<QLabel>(*form, "lblConnectedTo")) == "Connected to:corvantest:15167"; }));
}

TEST_F(MainFormTest, FreshInstallAsksForTheUnitOnce) {
  struct Case {
    const char* answer;  // nullptr: cancelled
    const char* stored;
    const char* closing;
    const char* link;
  } cases[] = {
      {"stt", "STT", "The unit code has been set to 'STT'. This can be changed via Setup -> Advanced -> Unit.",
       "https://www.tarnex.example/vek/CalloutReport-STT-7Day.html"},
      {nullptr, "", "The unit code was not set. You can update the unit code via Setup -> Advanced -> Unit.", ""},
      {"st", "ST", "The unit code has been set to 'ST'. This can be changed via Setup -> Advanced -> Unit.", ""},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir.file("CorvanSrvc-Settings.xml"));
    Lib::gCorvanSettings = {};
    Lib::gVEKSettings = {};
    dialogs.ClearCalls();
    dialogs.Message();
    if (c.answer)
      dialogs.Input(c.answer);
    else
      dialogs.InputCancelled();
    dialogs.Message();
    auto form = Start();
    ASSERT_EQ(dialogs.Calls().size(), 3u);
    EXPECT_EQ(dialogs.Calls()[0].Text, "This is a fresh install.");
    EXPECT_EQ(dialogs.Calls()[1].Caption, "Fresh install...");
    EXPECT_EQ(dialogs.Calls()[1].Text, "Set your unit.\n\nEnter a 3 character unit code to filter...");
    EXPECT_EQ(dialogs.Calls()[1].Default, "");
    EXPECT_EQ(dialogs.Calls()[2].Text, c.closing);
    EXPECT_EQ(Lib::gCorvanSettings.ProcessVEKUnits, c.stored);
    EXPECT_EQ(Lib::gCorvanSettings.MainUnit, c.stored);
    const std::string file = dir.read("CorvanSrvc-Settings.xml");
    EXPECT_NE(file.find(std::string("<MainUnit>") + c.stored + "</MainUnit>"), std::string::npos);
    EXPECT_NE(file.find(std::string("<ProcessVEKUnits>") + c.stored + "</ProcessVEKUnits>"), std::string::npos);
    EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), c.link);
    // Later refreshes read the saved file and ask nothing.
    Settle();
    form->RefreshForms();
    EXPECT_EQ(dialogs.Calls().size(), 3u);
  }
}

TEST_F(MainFormTest, SecondCopyEndsWithoutShowingItsWindow) {
  WriteSettings();
  auto first = Start();
  EXPECT_FALSE(first->Terminated());
  trayAvailable = false;  // even where the panel would start shown
  {
    auto second = Start();
    EXPECT_TRUE(second->Terminated());
    EXPECT_EQ(second->ExitCode(), 0);
    second->ShowOnStart();
    EXPECT_FALSE(second->isVisible());
    // Its start-up steps still ran.
    EXPECT_EQ(MemoText(*second), "ProcessTarnexTCPFeed:=True");
  }
  EXPECT_FALSE(first->Terminated());
  TSingleInstance third;
  EXPECT_EQ(third.Claim("corvancontrol"), MainForm::tInstanceClaim::HeldElsewhere);  // the first copy
}

TEST_F(MainFormTest, UnitsFileAndServiceProgramDecideLoadingAndTheLogOnEntry) {
  WriteSettings();
  const std::string entry = config.file("autostart/CorvanControl.desktop");
  std::filesystem::create_directory(config.file("autostart"));
  {
    auto form = Start();
    EXPECT_TRUE(VEKLib::gVEKUnits.empty());
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(MemoText(*form), "ProcessTarnexTCPFeed:=True");  // start-up completed
  }
  dir.write("VEKUnits.xml", corvantest::ReadTestData("pager/units/VEKUnits.xml"));
  dir.write("corvansrvc.exe", "");
  {
    auto form = Start();
    EXPECT_FALSE(VEKLib::gVEKUnits.empty());
    ASSERT_TRUE(std::filesystem::exists(entry));
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_NE(ReadFile(entry).find(self), std::string::npos);
  }
}

TEST_F(MainFormTest, PicturesLoadAndSurviveBrokenOrMissingFiles) {
  WriteSettings();
  dir.write("CORVANSRVC-DATASOURCE-20131003.jpg", apptest::SolidJpeg(277, 9, 0, 200, 0));
  dir.write("CORVANSRVC-GOING.JPG", apptest::SolidJpeg(175, 83, 0, 0, 220));
  auto form = Start();
  EXPECT_EQ(Control<QLabel>(*form, "imgDataSource")->pixmap().size(), QSize(277, 9));
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgDataSource")).green(), 180);
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgGoingGraph")).blue(), 200);

  // Half-written and corrupt pictures keep the ones shown.
  const std::string going = apptest::SolidJpeg(175, 83, 220, 0, 0);
  dir.write("CORVANSRVC-GOING.JPG", going.substr(0, going.size() / 2));
  dir.write("CORVANSRVC-DATASOURCE-20131003.jpg", "garbage");
  form->RefreshForms();
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgDataSource")).green(), 180);
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgGoingGraph")).blue(), 200);
  // So does a small file declaring a huge picture.
  dir.write("CORVANSRVC-GOING.JPG",
            apptest::WithDeclaredSize(apptest::SolidJpeg(16, 16, 220, 0, 0, true), 65500, 65500));
  form->RefreshForms();
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgGoingGraph")).blue(), 200);

  // After midnight the new day's strip shows only once the service has written it.
  clock.set(brix32::EncodeDateTime({2013, 10, 4, 0, 0, 30, 0}));
  form->RefreshForms();
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgDataSource")).green(), 180);
  dir.write("CORVANSRVC-DATASOURCE-20131004.jpg", apptest::SolidJpeg(277, 9, 230, 0, 0));
  dir.write("CORVANSRVC-GOING.JPG", going);
  form->RefreshForms();
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgDataSource")).red(), 200);
  EXPECT_GT(PixelOf(Control<QLabel>(*form, "imgGoingGraph")).red(), 200);
}

TEST_F(MainFormTest, StatusFileFollowsTheHintOnceHoweverManyRefreshes) {
  WriteSettings();
  dir.write("CorvanSrvc-Status.txt", "Tasks today: 3");
  dir.write("corvansrvc-version.txt", "2.1.0.37\r\n");  // its line end is no part of it
  auto form = Start();
  const std::string base = kTitle + " v" + kVersion;
  EXPECT_EQ(form->TrayIcon->Hint(), base);
  form->RefreshForms();
  form->RefreshForms();
  EXPECT_EQ(form->TrayIcon->Hint(), base + "\nTasks today: 3");
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblServiceVersion")), "Service Version: 2.1.0.37");

  WriteFile(dir.file("CORVANSRVC-TARNEX-HEARTBEAT.TXT"), "HEARTBEAT");
  ASSERT_TRUE(WaitFor([&] { return MemoText(*form) == "HEARTBEAT"; }));
  const std::string lastMessage = base + "\nLast message at 03/10/13 14:05:09";
  EXPECT_EQ(form->TrayIcon->Hint(), lastMessage);
  form->RefreshForms();
  form->RefreshForms();
  EXPECT_EQ(form->TrayIcon->Hint(), lastMessage + "\nTasks today: 3");
}

TEST_F(MainFormTest, WithoutANotificationAreaThePanelStartsShownAndOkMinimizes) {
  WriteSettings();
  trayAvailable = false;
  auto form = Start();
  form->ShowOnStart();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->windowType(), Qt::Window);  // minimized, still reachable
  Control<QPushButton>(*form, "cmdOK")->click();
  EXPECT_TRUE(form->windowState().testFlag(Qt::WindowMinimized));

  // Once a tray is there, OK and Cancel hide the window behind the icon.
  trayAvailable = true;
  form->showNormal();
  Control<QPushButton>(*form, "cmdOK")->click();
  EXPECT_FALSE(form->isVisible());
  form->show();
  Control<QPushButton>(*form, "Button2")->click();
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, ClickOnTheIconShowsTheWindowWithAFreshStatus) {
  WriteSettings();
  auto form = Start();
  ASSERT_FALSE(form->isVisible());
  dir.write("corvansrvc.exe", "");  // the program is there now, but does not run
  const platform::HWND icon = area.Calls.back().Data.hWnd;
  area.Send(icon, components::TTrayIcon::WM_TRAYICON, 0, platform::WM_LBUTTONDOWN);
  EXPECT_FALSE(form->isVisible());
  area.Send(icon, components::TTrayIcon::WM_TRAYICON, 0, platform::WM_LBUTTONUP);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Text(Control<QLabel>(*form, "lblStatus")), "Corvan service is not running.");
  EXPECT_EQ(Tip(Control<QLabel>(*form, "lblStatus")), "Start the CorvanSrvc Service.");
}

TEST_F(MainFormTest, ClosingTheWindowEndsTheProgramAndTakesTheIconAway) {
  WriteSettings();
  auto form = Start();
  form->show();
  QTimer::singleShot(0, form.get(), [&] { form->close(); });
  EXPECT_EQ(ExecUntilItEnds(), 0);
  form.reset();
  ASSERT_FALSE(area.Calls.empty());
  EXPECT_EQ(area.Calls.back().Command, platform::NIM_DELETE);
}

TEST_F(MainFormTest, TheSystemsEndRequestsEndTheProgramAsClosingDoes) {
  const struct {
    const char* name;
    std::function<void()> request;
  } requests[] = {
      // Without a handler the process would end at once, wherever it was.
      {"SIGTERM", [] { ASSERT_EQ(::raise(SIGTERM), 0); }},
      {"SIGINT", [] { ASSERT_EQ(::raise(SIGINT), 0); }},
      // What Qt makes of the session manager's "die", which comes while the loop runs.
      {"session end",
       [] { QTimer::singleShot(0, qApp, [] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); }); }},
  };
  // A signal before the loop runs, as during a long start-up, still ends it.
  for (const auto& r : requests) {
    SCOPED_TRACE(r.name);
    WriteSettings();
    area.Calls.clear();
    auto form = Start();
    form->show();
    r.request();
    EXPECT_EQ(ExecUntilItEnds(), 0);
    form.reset();
    ASSERT_FALSE(area.Calls.empty());
    EXPECT_EQ(area.Calls.back().Command, platform::NIM_DELETE);
  }
}

TEST_F(MainFormTest, ALinkTooLongForItsLabelLosesItsMiddleOnly) {
  WriteSettings();
  auto form = Start();
  const QFontMetrics metrics = Control<TLinkLabel>(*form, "lblURL")->fontMetrics();
  const QString link = "https://www.tarnex.example/vek/CalloutReport-STT-7Day.html";
  const QString tail = "/CalloutReport-STT-7Day.html";
  const int whole = metrics.horizontalAdvance(link);
  // Room enough: as it is.
  EXPECT_EQ(ElideLink(link, metrics, whole), link);
  // Less: the start, an ellipsis and the last part, within the room.
  for (const int width : {whole - 1, whole * 3 / 4, metrics.horizontalAdvance("https://w\u2026" + tail)}) {
    const QString shown = ElideLink(link, metrics, width);
    SCOPED_TRACE(S(shown));
    EXPECT_LE(metrics.horizontalAdvance(shown), width);
    EXPECT_TRUE(shown.startsWith("https://w"));
    EXPECT_TRUE(shown.endsWith(QChar(0x2026) + tail));
  }
  // Too little even for that: Qt's middle elision.
  const int narrow = metrics.horizontalAdvance(tail);
  EXPECT_EQ(ElideLink(link, metrics, narrow), metrics.elidedText(link, Qt::ElideMiddle, narrow));
}

TEST_F(MainFormTest, TextFromTheFolderAndTheSettingsIsShownAsWritten) {
  // Rendered as markup, the picture would be read from a pipe that never ends.
  corvantest::FifoProbe fifo(dir.file("FIFO"));
  const std::string picture = "<img src='FIFO'>";
  const std::string fakeStatus = "<font color=green size=6>Corvan service is running.</font>";
  WriteSettings([&] {
    Lib::gVEKSettings.WWWHost = picture;
    Lib::gVEKSettings.WWWHostActive = fakeStatus;
    Lib::gCorvanSettings.MainUnit = "STT";
  });
  dir.write("CorvanSrvc-Version.txt", picture);
  dir.write("CORVANSRVC-MSG.TXT", "CorvanSrvc: Disconnected");
  ServiceProcesses service(dir.path());
  service.Start();
  ASSERT_TRUE(WaitFor([] { return brix32::ProcessCount("corvansrvc.exe") == 1; }, 30000));
  trayAvailable = false;  // shown at once, and painted
  auto form = Start();
  form->ShowOnStart();
  ASSERT_TRUE(WaitFor([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }, 30000));
  form->grab();  // every label laid out and painted

  // The status line's explanation, as a pointer resting on it shows it.
  const QPoint inside(4, 4);
  QHelpEvent hover(QEvent::ToolTip, inside, Control<QLabel>(*form, "lblStatus")->mapToGlobal(inside));
  QApplication::sendEvent(Control<QLabel>(*form, "lblStatus"), &hover);
  ASSERT_TRUE(QToolTip::isVisible());
  const std::string tip = ShownText(QToolTip::text());
  QToolTip::hideText();

  EXPECT_FALSE(fifo.Opened()) << "a picture named in a text was loaded";
  EXPECT_EQ(ShownText(Control<QLabel>(*form, "lblServiceVersion")), "Service Version: " + picture);
  EXPECT_EQ(ShownText(Control<QLabel>(*form, "lblConnectedTo")), "Connected to:" + fakeStatus + ":15167");
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), "https://" + picture + "/vek/CalloutReport-STT-7Day.html");
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->textFormat(), Qt::PlainText);
  EXPECT_EQ(ShownText(Control<QLabel>(*form, "lblStatus")), "Disconnected from " + picture);
  EXPECT_EQ(tip,
            "The Corvan service cannot connect to the Tarnex server. Check that you can PING:- \"" + picture + "\"");
  // Start-up ran to its end.
  EXPECT_NE(dir.read("CORVANSRVC-EventLog-Thu.txt").find("Program started."), std::string::npos);
}
