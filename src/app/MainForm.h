#pragma once
// TfrmMain, the control panel's main window: a small always-on-top tool window behind a
// notification-area icon. It is split by concern: the controls and the window itself
// (MainForm.cpp), the reaction to the service's files (MainFormStatus.cpp), the status
// refresh and clock (MainFormRefresh.cpp), the start-up sequence (MainFormStartup.cpp),
// the commands (MainFormCommands.cpp) and the manual task entry (MainFormNewTask.cpp).
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/DocumentOpener.h"
#include "app/LinkLabel.h"
#include "app/SingleInstance.h"
#include "components/TrayIcon.h"
#include "platform/Dialogs.h"
#include "platform/NotificationArea.h"
#include "platform/qt/QtApplication.h"
#include "status/ServiceState.h"
#include "status/StatusRules.h"
#include "watchdog/FeedWatchdog.h"
#include "watcher/ServiceWatcher.h"

namespace MainForm {

// The data-packet box shows a packet's first lines only: it is a few lines high, and
// laying out a heartbeat of millions of lines held the window for seconds.
inline constexpr std::size_t kDataPacketBoxLines = 100;
inline constexpr std::size_t kDataPacketBoxBytes = 16 * 1024;

// What the window needs from the desktop. The program passes the Qt adapters; tests pass
// the recording notification area, scripted dialogs and a tray of their choosing.
struct tMainFormPorts {
  platform::NotificationArea* Area = nullptr;
  platform::Dialogs* Dialogs = nullptr;
  // Whether the desktop has a notification area right now.
  std::function<bool()> TrayAvailable;
  // Finds the program folder and makes it the working folder (brix32::SetPathToEXEPath
  // when empty). Tests run the window on a folder of their own.
  std::function<std::string()> SetPathToEXEPath;
  // The feed watchdog's clocks (the system's where empty) and how often it looks; 0: only
  // when timWatchdogTimer is called, for tests that look at other things.
  tWatchdogClock WatchdogClock;
  int WatchdogIntervalMs = kWatchdogIntervalMs;
};

// The name of the single-instance lock, one per user.
inline constexpr const char* kInstanceName = "corvancontrol";

// The window's client area, fixed from its first show.
inline constexpr QSize kFormSize{295, 270};
inline constexpr Qt::WindowFlags kToolWindowFlags =
    Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// A picture control that holds one of the notification-area icons.
class TIconImage : public QLabel {
 public:
  TIconImage(QWidget* Parent, platform::HICON Icon);
  const platform::HICON& Icon() const { return icon_; }

 private:
  platform::HICON icon_;
};

class TfrmMain : public QWidget, public TServiceSink {
 public:
  // Creating the window runs the start-up sequence (FormCreate). `Args` are the
  // command-line arguments without the program name.
  TfrmMain(std::vector<std::string> Args, tMainFormPorts Ports);
  ~TfrmMain() override;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // ---- components ----
  std::unique_ptr<components::TTrayIcon> TrayIcon;
  // Watches the program folder (its directory monitor) and hands the service's files on
  // to the On... handlers below.
  std::unique_ptr<TServiceWatcher> ServiceWatcher;
  // Raises an alarm when an expected feed goes silent or the service process goes;
  // created once start-up knows the program folder.
  std::unique_ptr<TFeedWatchdog> FeedWatchdog;

  // ---- program entry and window ----
  void FormCreate();
  void cmdOKClick();
  void Button2Click();
  // The single-instance check found another copy, or could not be made safely: the
  // program ends as soon as its message loop would start, without showing the window,
  // with this exit status (0 for another copy, 1 when the check was refused).
  bool Terminated() const { return terminated_; }
  int ExitCode() const { return exitCode_; }
  // What the message loop does first: show the window unless start-up hid it for the
  // notification area (or the program is ending).
  void ShowOnStart();
  platform::QtApplication& Application() { return *application_; }
  platform::Dialogs& Dialogs() { return *ports_.Dialogs; }

  // ---- service status watcher: what the service's files say, shown ----
  void OnHeartbeat(const tHeartbeat& Event) override;
  void OnMessage(const tServiceMessage& Event) override;
  void OnSettingsChanged(const tSettingsChange& Event) override;
  // Nothing more: the connected-to line follows every change of the settings file.
  void OnHostChanged(const tHostChange& Event) override;
  void GetStatus(tGetStatus& Status);
  platform::HICON GetPrintStateIcon();
  // lblStatus shows a GetStatus result: text, hint, black only for a running service.
  void ShowStatus(const tGetStatus& Status);

  // ---- commands ----
  // A left click on the notification-area icon: the setup dialogs refilled, the status,
  // every open dialog ended as cancelled, then the window in front.
  void TrayIconClick(components::TTrayIcon* Sender);
  // The commands below may throw; their buttons show the error in the application's box.
  void cmdSetupClick();
  void lblURLClick();
  void Button1Click();  // Task Sheets
  void Button3Click();  // About: the versions report
  // Enter: a task text typed or edited, saved, and handed to SheetPress. Drops errors.
  void Button4Click();
  // The display cycle: logo, data packets, going graph, clock, logo.
  void imgLogoDblClick();
  void pnlLogoDblClick();
  void memTarnexConnectionHeartbeatDblClick();
  void imgGoingGraphDblClick();
  void pnlGoingGraphDblClick();
  void pnlClockDblClick();

  // ---- status refresh ----
  void RefreshForms();
  void Timer1Timer();
  void timClockTimer();

  // ---- feed watchdog ----
  // One look: each alarm raised or ended gets a balloon, a syslog line and an event-log
  // line; the icon shows the alarm picture while one stands, the hint a line for each.
  void timWatchdogTimer();

  // The notification-area hint without the status file's text that each refresh adds.
  const std::string& HintBase() const { return hintBase_; }

 protected:
  // FormClose: closing the window by any means ends the program.
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  // The controls, named and placed as the form lays them out. Tests find them by those
  // names (their object names), as a user's tools do.
  QLabel* Label2 = nullptr;
  QFrame* pnlLogo = nullptr;
  QLabel* imgLogo = nullptr;
  QPlainTextEdit* memTarnexConnectionHeartbeat = nullptr;
  QLabel* pnlClock = nullptr;
  QFrame* pnlGoingGraph = nullptr;
  QLabel* imgGoingGraph = nullptr;
  QLabel* lblStatus = nullptr;
  QLabel* imgDataSource = nullptr;
  QLabel* lblControlVersion = nullptr;
  QLabel* lblServiceVersion = nullptr;
  QLabel* lblConnectedTo = nullptr;
  QLabel* lblGoingRFAs = nullptr;
  QLabel* lblGoingRFAsTitle = nullptr;
  TLinkLabel* lblURL = nullptr;
  TIconImage* imgPrint = nullptr;
  TIconImage* imgNoPrint = nullptr;
  TIconImage* imgAlarm = nullptr;  // the icon while a feed is silent or the service gone
  QPushButton* Button3 = nullptr;  // About
  QPushButton* Button1 = nullptr;  // Task Sheets
  QPushButton* Button4 = nullptr;  // Enter
  QPushButton* cmdSetup = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* Button2 = nullptr;  // Cancel, hidden
  QTimer* Timer1 = nullptr;
  QTimer* timClock = nullptr;
  QTimer* timWatchdog = nullptr;

  void CreateControls();
  void CreateComponents();
  // Every dialog of the panel that is open ends as cancelled (the icon's click).
  void CancelOpenDialogs();
  // The settings file read again and copied into every control of both setup dialogs
  // (once they exist); errors are dropped.
  void FillSetupDialogs();
  // Sets the notification-area hint and remembers it as the base of later refreshes.
  void SetTrayHint(const std::string& Hint);
  // Shows Text as the hint, after a line for each standing alarm.
  void ShowTrayHint(const std::string& Text);
  // Shows the printing picture the status rules gave, or the alarm picture while an alarm
  // stands.
  void ShowTrayIcon(const platform::HICON& PrintState);
  // The limits of the panel settings file, read again; what cannot be used is reported
  // once.
  void LoadWatchdogLimits();
  // "Connected to:" + the host the service uses + ":15167".
  void ShowConnectedTo();
  // Full name in the program folder of a service file with a fixed name, whatever the
  // case of the name the service used.
  std::string ServiceFile(std::string_view Name) const;
  bool ServiceFileExists(std::string_view Name) const;
  std::string ProgramFolder() const;
  // Hides the window, or minimizes it when there is no notification area to come back from.
  void HideToTray();
  void FreshInstall();
  void ConnectCommands();
  // Runs a command; an error ends it and is shown in the application's error box.
  void RunCommand(void (TfrmMain::*Command)());
  void SwitchDisplay(QWidget* Hide, QWidget* Show);
  // The setup and Enter commands leave the logo as the one visible display panel.
  void ShowLogoOnly();
  // Shows the window when it goes out of scope.
  struct TShowAgain {
    TfrmMain& Form;
    ~TShowAgain() { Form.show(); }
  };
  // Hides the window while a command's dialog is open, the logo shown. The window comes
  // back whichever way the command ends, even by an error: without a notification area
  // nothing else could bring it back.
  [[nodiscard]] TShowAgain HideForDialog();
  // Enter, once the dialog was confirmed: the save dialog, the file, SheetPress.
  void SaveTaskText(const std::string& Text);
  void ShowPicture(QLabel* Image, std::string_view FileName);

  // Runs `Body`, dropping any error: the unattended handlers keep whatever they changed.
  template <class Body>
  static void DropErrors(Body&& body) {
    try {
      body();
    } catch (const std::exception&) {
    }
  }

  std::vector<std::string> args_;
  tMainFormPorts ports_;
  std::unique_ptr<platform::QtApplication> application_;
  // Opens the link and the task sheets; tells the user when they could not be opened.
  TDocumentOpener* opener_ = nullptr;
  TSingleInstance instance_;
  bool terminated_ = false;
  int exitCode_ = 0;
  bool centred_ = false;
  std::string hintBase_;
  std::string hintText_;  // the hint as last set, without the alarm lines
  tWatchdogLimits watchdogLimits_;
  std::set<std::string> reportedLimitProblems_;
};

// Sets a label's caption; labels without a fixed width grow with their caption.
void SetCaption(QLabel* Label, const std::string& Text);
// lblStatus's colour: black for a running service, red otherwise.
QColor StatusColour(const std::string& StatusText);

}  // namespace MainForm
