// The main window's commands driven as a user would: buttons clicked, panels double
// clicked, the notification-area icon clicked while the setup dialog is open; the
// versions report against the vendor-host simulator on loopback.
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "CommandsFixture.h"
#include "Controls.h"
#include "FifoProbe.h"
#include "ShownText.h"
#include "SimProcess.h"
#include "app/ControlEvents.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"

using namespace MainForm;
using apptest::CommandsTest;
using apptest::Reject;
using corvantest::Control;
using platform::S;
using platform::tCursor;
using platform::tDialogKind;

namespace {

const std::string kVersion = CORVAN_PROJECT_VERSION;

// Which of the four display panels are visible, in the order of the cycle.
// (What would show with the window, also while it is hidden.)
std::string VisiblePanels(const TfrmMain& form) {
  std::string shown;
  if (Control<QFrame>(form, "pnlLogo")->isVisibleTo(&form)) shown += "logo ";
  if (Control<QPlainTextEdit>(form, "memTarnexConnectionHeartbeat")->isVisibleTo(&form)) shown += "packets ";
  if (Control<QFrame>(form, "pnlGoingGraph")->isVisibleTo(&form)) shown += "graph ";
  if (Control<QLabel>(form, "pnlClock")->isVisibleTo(&form)) shown += "clock ";
  return shown;
}

void SetHost(const char* host) { Lib::gVEKSettings.WWWHost = host; }

}  // namespace

TEST_F(CommandsTest, TrayClickWhileSetupIsOpenRefillsAndCancelsIt) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "STT";
    Lib::gCorvanSettings.PrintTestPageAtStartup = false;
  });
  auto form = StartWithDialogs();
  ShowForm(*form);
  Control<QLabel>(*form, "pnlClock")->setVisible(true);  // the cycle had reached the clock
  Control<QFrame>(*form, "pnlLogo")->setVisible(false);
  const std::string stored = dir.read("CorvanSrvc-Settings.xml");

  // The icon in the notification area is a window of this application: the click must
  // reach it through the window system while the setup dialog is modal.
  QWidget trayWindow;
  trayWindow.resize(24, 24);
  OnClick(&trayWindow, [&] { form->TrayIconClick(form->TrayIcon.get()); });
  trayWindow.show();

  bool hiddenWhileOpen = false;
  std::string logoWhileOpen;
  WhenModal([&](QWidget* modal) {
    EXPECT_EQ(modal, setup.get());
    hiddenWhileOpen = !form->isVisible();
    logoWhileOpen = VisiblePanels(*form);
    // Edits that only OK would keep.
    Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText("XYZ");
    Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->setChecked(true);
    QTest::mouseClick(trayWindow.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
    // Had it been blocked, nothing else would end the dialog.
    if (setup->isVisible()) Reject(setup.get());
  });
  Control<QPushButton>(*form, "cmdSetup")->click();

  EXPECT_TRUE(hiddenWhileOpen);
  EXPECT_EQ(logoWhileOpen, "logo ");
  EXPECT_EQ(setup->result(), QDialog::Rejected);
  EXPECT_FALSE(setup->isVisible());
  EXPECT_EQ(S(Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->text()), "STT");
  EXPECT_FALSE(Control<QCheckBox>(*setup, "chkPrintTestPageAtStartup")->isChecked());
  EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), stored);
  EXPECT_EQ(Lib::gCorvanSettings.MainUnit, "STT");
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(dialogs.Calls().empty());
}

TEST_F(CommandsTest, TrayClickWhileTheAdvancedDialogIsOpenCancelsItAndTheSetupBehind) {
  WriteSettings();
  auto form = StartWithDialogs();
  ShowForm(*form);
  const std::string stored = dir.read("CorvanSrvc-Settings.xml");

  WhenModal([&](QWidget*) {
    WhenModal([&](QWidget* modal) {
      EXPECT_EQ(modal, advanced.get());
      form->TrayIconClick(form->TrayIcon.get());
      EXPECT_TRUE(form->isVisible());
      EXPECT_FALSE(advanced->isVisible());
    });
    Control<QPushButton>(*setup, "cmdAdvanced")->click();
  });
  Control<QPushButton>(*form, "cmdSetup")->click();

  EXPECT_EQ(setup->result(), QDialog::Rejected);
  // The advanced dialog shows the setup dialog again on its way out; it must not stay.
  EXPECT_FALSE(setup->isVisible());
  EXPECT_FALSE(advanced->isVisible());
  EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), stored);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(CommandsTest, TrayClickGetsThroughEveryDialogAndCancelsWhateverIsOpen) {
  platform::QtDialogs qtDialogs;  // real message boxes and choosers
  dialogsPort = &qtDialogs;
  WriteSettings();
  dir.write("TASK-20220620-S9000.TXT", "TEST PAGE INC:S9000");  // Enter has a page to open
  auto form = StartWithDialogs();
  const std::string stored = dir.read("CorvanSrvc-Settings.xml");

  // The notification area's icon, a window of this application: the click must reach it
  // through the window system whatever dialog is modal.
  QWidget trayWindow;
  trayWindow.resize(24, 24);
  bool clicked = false;
  OnClick(&trayWindow, [&] {
    clicked = true;
    form->TrayIconClick(form->TrayIcon.get());
  });
  trayWindow.show();

  const auto setupButton = [&] { Control<QPushButton>(*form, "cmdSetup")->click(); };
  const auto advancedButton = [&] { Control<QPushButton>(*setup, "cmdAdvanced")->click(); };
  struct Case {
    const char* name;
    std::function<void()> command;              // opens the first dialog
    std::vector<std::function<void()>> inside;  // each opens the next, inside the one before
  } cases[] = {
      {"a message box over the advanced dialog",
       setupButton,
       {advancedButton, [&] { Control<QPushButton>(*advanced, "cmdHelpTarnexServer")->click(); }}},
      {"a folder chooser over the advanced dialog",
       setupButton,
       {advancedButton, [&] { Control<QPushButton>(*advanced, "cmdBrowsePDWLogPath")->click(); }}},
      {"the task dialog", [&] { Control<QPushButton>(*form, "Button4")->click(); }, {}},
      {"a file chooser", [&] { Control<QPushButton>(*form, "Button1")->click(); }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShowForm(*form);
    clicked = false;
    std::vector<QWidget*> opened;
    std::function<void(std::size_t)> whenOpen = [&](std::size_t level) {
      WhenModal([&, level](QWidget* modal) {
        opened.push_back(modal);
        if (level < c.inside.size()) {
          whenOpen(level + 1);
          c.inside[level]();
          return;
        }
        QTest::mouseClick(trayWindow.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
        // Held back, the click would leave every dialog open: end them as it would have.
        if (!clicked) form->TrayIconClick(form->TrayIcon.get());
      });
    };
    whenOpen(0);
    c.command();

    EXPECT_TRUE(clicked) << "the dialog held the icon's click back";
    EXPECT_EQ(opened.size(), c.inside.size() + 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (const QWidget* dialog : {static_cast<QWidget*>(setup.get()), static_cast<QWidget*>(advanced.get()),
                                  static_cast<QWidget*>(newTask.get())})
      EXPECT_FALSE(dialog->isVisible()) << S(dialog->objectName());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), stored);
  }
  EXPECT_EQ(setup->result(), QDialog::Rejected);
  EXPECT_EQ(newTask->result(), QDialog::Rejected);
  dialogsPort = nullptr;
}

TEST_F(CommandsTest, SetupConfirmedSavesAndRefreshesTheWindow) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "";
    SetHost("corvantest");
  });
  auto form = StartWithDialogs();
  ShowForm(*form);
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), "");

  WhenModal([&](QWidget*) {
    Control<SetupWidgets::TSettingEdit>(*setup, "txtMainUnit")->setText("eas");
    Control<QPushButton>(*setup, "cmdOK")->click();
  });
  Control<QPushButton>(*form, "cmdSetup")->click();

  EXPECT_EQ(setup->result(), QDialog::Accepted);
  EXPECT_NE(dir.read("CorvanSrvc-Settings.xml").find("<MainUnit>EAS</MainUnit>"), std::string::npos);
  // RefreshForms ran on the saved settings.
  EXPECT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), "https://corvantest/vek/CalloutReport-EAS-7Day.html");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(VisiblePanels(*form), "logo ");
}

TEST_F(CommandsTest, SetupAndEnterDoNothingWhileTheWindowIsHidden) {
  WriteSettings();
  dir.write("TASK-20220620-S9000.TXT", "a page");
  auto form = StartWithDialogs();
  ASSERT_FALSE(form->isVisible());  // start-up hides it behind the icon
  const std::string stored = dir.read("CorvanSrvc-Settings.xml");

  EXPECT_FALSE(OpensModal([&] { Control<QPushButton>(*form, "cmdSetup")->click(); }));
  EXPECT_FALSE(OpensModal([&] { Control<QPushButton>(*form, "Button4")->click(); }));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(dir.read("CorvanSrvc-Settings.xml"), stored);
  EXPECT_TRUE(dialogs.Calls().empty());
}

TEST_F(CommandsTest, FourDoubleClicksGoRoundTheDisplayCycle) {
  WriteSettings();
  auto form = StartWithDialogs();
  ShowForm(*form);
  ASSERT_EQ(VisiblePanels(*form), "logo ");
  // The pictures and the panels around them both count; the panel is hit on its bevel.
  const struct {
    QWidget* target;
    const char* shows;
  } rounds[][4] = {
      {{Control<QLabel>(*form, "imgLogo"), "packets "},
       {Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat")->viewport(), "graph "},
       {Control<QLabel>(*form, "imgGoingGraph"), "clock "},
       {Control<QLabel>(*form, "pnlClock"), "logo "}},
      {{Control<QFrame>(*form, "pnlLogo"), "packets "},
       {Control<QPlainTextEdit>(*form, "memTarnexConnectionHeartbeat")->viewport(), "graph "},
       {Control<QFrame>(*form, "pnlGoingGraph"), "clock "},
       {Control<QLabel>(*form, "pnlClock"), "logo "}},
  };
  for (const auto& round : rounds) {
    for (const auto& step : round) {
      QTest::mouseDClick(step.target, Qt::LeftButton, {}, QPoint(0, 0));
      EXPECT_EQ(VisiblePanels(*form), step.shows) << S(step.target->objectName());
    }
  }
  // A single click or another button switches nothing.
  QTest::mouseClick(Control<QLabel>(*form, "imgLogo"), Qt::LeftButton);
  QTest::mouseDClick(Control<QLabel>(*form, "imgLogo"), Qt::RightButton);
  EXPECT_EQ(VisiblePanels(*form), "logo ");
}

TEST_F(CommandsTest, TheLinkAndTheTaskSheetOpenWithoutAShell) {
  FakeProgram("xdg-open");
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "STT";
    SetHost("corvantest");
  });
  auto form = StartWithDialogs();
  ShowForm(*form);

  QTest::mouseClick(Control<TLinkLabel>(*form, "lblURL"), Qt::LeftButton);
  ASSERT_TRUE(WaitForFakeLog("xdg-open"));
  EXPECT_EQ(FakeLog("xdg-open"), "https://corvantest/vek/CalloutReport-STT-7Day.html\n");

  // A name a shell would split or run is passed as one argument, untouched.
  const std::string sheet = dir.file("TASK-20220620-S9000 it's $(x).PDF");
  fakeBin.write("xdg-open.log", "");
  dialogs.OpenChosen({sheet, dir.file("TASK-20220621-S9001.PDF")});
  Control<QPushButton>(*form, "Button1")->click();
  ASSERT_TRUE(WaitForFakeLog("xdg-open"));
  EXPECT_EQ(FakeLog("xdg-open"), sheet + "\n");
  ASSERT_EQ(dialogs.Calls().size(), 1u);
  const platform::tOpenDialogParams& open = dialogs.Calls()[0].Open;
  EXPECT_EQ(open.Filter, "Task sheets (Task-*.pdf)|TASK-*.PDF|All Files|*.*");
  EXPECT_EQ(open.InitialDir, dir.path());
  EXPECT_TRUE(open.AllowMultiSelect);

  // Cancelled, or no link: nothing is started.
  fakeBin.write("xdg-open.log", "");
  dialogs.Cancelled(tDialogKind::OpenFiles);
  Control<QPushButton>(*form, "Button1")->click();
  Control<TLinkLabel>(*form, "lblURL")->SetLink("");
  QTest::mouseClick(Control<TLinkLabel>(*form, "lblURL"), Qt::LeftButton);
  Settle(300);
  EXPECT_EQ(FakeLog("xdg-open"), "");
}

TEST_F(CommandsTest, ALongLinkKeepsItsStartAndItsUnitAndOpensWhole) {
  FakeProgram("xdg-open");
  WriteSettings([] { Lib::gCorvanSettings.MainUnit = "STT"; });  // the vendor's own host
  auto form = StartWithDialogs();
  ShowForm(*form);
  const std::string link = "https://www.tarnex.example/vek/CalloutReport-STT-7Day.html";
  ASSERT_EQ(Control<TLinkLabel>(*form, "lblURL")->Link(), link);
  const QString shown = Control<TLinkLabel>(*form, "lblURL")->text();
  EXPECT_LE(Control<TLinkLabel>(*form, "lblURL")->fontMetrics().horizontalAdvance(shown), 275) << S(shown);
  EXPECT_TRUE(shown.startsWith("https://www.")) << S(shown);
  EXPECT_TRUE(shown.endsWith("/CalloutReport-STT-7Day.html")) << S(shown);
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << S(shown);
  EXPECT_EQ(S(Control<TLinkLabel>(*form, "lblURL")->toolTip()), link);

  QTest::mouseClick(Control<TLinkLabel>(*form, "lblURL"), Qt::LeftButton);
  ASSERT_TRUE(WaitForFakeLog("xdg-open"));
  EXPECT_EQ(FakeLog("xdg-open"), link + "\n");
}

TEST_F(CommandsTest, ALinkOrTaskSheetThatCannotBeOpenedIsReported) {
  WriteSettings([] {
    Lib::gCorvanSettings.MainUnit = "STT";
    SetHost("corvantest");
  });
  auto form = StartWithDialogs();
  ShowForm(*form);
  const std::string link = "https://corvantest/vek/CalloutReport-STT-7Day.html";
  const std::string sheet = dir.file("TASK-20220620-S9000.PDF");
  // The opener ends with one of its documented failures, or is not installed at all.
  const struct {
    const char* opener;  // the fake's script; null: no xdg-open on PATH
    bool link;
    std::string message;
  } cases[] = {
      {"exit 3", true,
       "Could not open " + link + ":\nthe desktop has no program to open it with (xdg-open exit status 3)."},
      {"exit 4", false,
       "Could not open " + sheet + ":\nthe program that should have opened it failed (xdg-open exit status 4)."},
      {"exit 2", false, "Could not open " + sheet + ":\nit does not exist (xdg-open exit status 2)."},
      {nullptr, true,
       "Could not open " + link +
           ":\nxdg-open, which opens it with the desktop's program, could not be started. "
           "Is xdg-utils installed?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::filesystem::remove(fakeBin.file("xdg-open"));
    if (c.opener) {
      fakeBin.write("xdg-open", std::string("#!/bin/sh\n") + c.opener + "\n");
      ::chmod(fakeBin.file("xdg-open").c_str(), 0755);
    }
    const char* path = std::getenv("PATH");
    const std::string oldPath = path ? path : "";
    ::setenv("PATH", fakeBin.path().c_str(), 1);  // no other xdg-open to be found
    dialogs.ClearCalls();
    if (c.link) {
      dialogs.Button(platform::tModalResult::mrOk);
      QTest::mouseClick(Control<TLinkLabel>(*form, "lblURL"), Qt::LeftButton);
    } else {
      dialogs.OpenChosen({sheet}).Button(platform::tModalResult::mrOk);
      Control<QPushButton>(*form, "Button1")->click();
    }
    ::setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(WaitFor([&] { return dialogs.Pending() == 0; })) << "nothing was said";
    const platform::tDialogCall& said = dialogs.Calls().back();
    EXPECT_EQ(said.Kind, tDialogKind::MessageDlg);
    EXPECT_EQ(said.DlgType, platform::tMsgDlgType::mtWarning);
    EXPECT_EQ(said.Text, c.message);
  }
}

// ---- the versions report ----

class VersionsReportTest : public CommandsTest {
 protected:
  // What the simulated host says comes in milliseconds; a loaded machine running
  // sanitized builds may take seconds.
  static constexpr std::chrono::seconds kHostLimit{60};

  void StartHost(std::vector<std::string> args) {
    args.insert(args.end(), {"--phonehome-log", runtime.file("phonehome.log")});
    host = std::make_unique<corvantest::SimProcess>(CORVAN_HOSTSIM_EXE, args);
    ASSERT_TRUE(host->waitForOutput("ready", kHostLimit)) << host->err();
  }
  // Clicks About with the host on loopback; the report's text.
  std::string About() {
    WriteSettings([] { SetHost("127.0.0.1"); });
    auto form = StartWithDialogs();
    ShowForm(*form);
    dialogs.ClearCalls();
    dialogs.Button(platform::tModalResult::mrOk);
    Control<QPushButton>(*form, "Button3")->click();
    EXPECT_EQ(dialogs.Cursors(), (std::vector<tCursor>{tCursor::crHourGlass, tCursor::crArrow}));
    if (dialogs.Calls().size() != 1) return "(no report)";
    const platform::tDialogCall& call = dialogs.Calls()[0];
    EXPECT_EQ(call.DlgType, platform::tMsgDlgType::mtInformation);
    EXPECT_EQ(call.Buttons, platform::tMsgDlgButtons{platform::tMsgDlgBtn::mbOK});
    return call.Text;
  }

  std::unique_ptr<corvantest::SimProcess> host;
};

TEST_F(VersionsReportTest, NoVersionFilesAndNoHostShowZeros) {
  // Nothing answers on loopback: every published version reads as 0.0.0.0, which only
  // this program's own version differs from.
  EXPECT_EQ(About(),
            "Current Corvan Service Binary Versions:\n\n"
            " - CorvanControl.EXE version: " +
                kVersion +
                "  - An update is available *\n"
                " - CorvanSrvc.EXE version: 0.0.0.0  - At latest version\n"
                " - SheetPress.EXE version: 0.0.0.0  - At latest version\n"
                "\n"
                "* Program updates for these files are available for download at "
                "https://127.0.0.1/downloads.");
}

TEST_F(VersionsReportTest, AllAtTheirLatestVersionHasNoFooter) {
  StartHost({"--control-version", kVersion, "--service-version", "3.1.0.12", "--sheetpress-version", "2.0.0.7"});
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12");
  dir.write("sheetpress-version.TXT", "2.0.0.7");  // found whatever the case of its name
  EXPECT_EQ(About(),
            "Current Corvan Service Binary Versions:\n\n"
            " - CorvanControl.EXE version: " +
                kVersion +
                "  - At latest version\n"
                " - CorvanSrvc.EXE version: 3.1.0.12  - At latest version\n"
                " - SheetPress.EXE version: 2.0.0.7  - At latest version\n"
                "\n");
  // One after the other, in this order.
  EXPECT_TRUE(host->waitForOutput("/downloads/SheetPress.xml -> 200", kHostLimit)) << host->out();
  const std::string& log = host->out();
  const std::size_t control = log.find("/downloads/corvancontrol.xml -> 200");
  const std::size_t service = log.find("/downloads/corvansrvc.xml -> 200");
  ASSERT_NE(control, std::string::npos) << log;
  ASSERT_NE(service, std::string::npos) << log;
  EXPECT_LT(control, service);
  EXPECT_LT(service, log.find("/downloads/SheetPress.xml"));
}

TEST_F(VersionsReportTest, NewerPublishedVersionsAreMarkedWithTheDownloadsFooter) {
  StartHost({"--control-version", "99.0.0.0", "--service-version", "3.1.0.12", "--sheetpress-version", "2.0.0.8"});
  dir.write("CorvanSrvc-Version.txt", "3.2.0.0");  // newer than published: no update
  dir.write("SheetPress-Version.txt", "2.0.0.7");
  EXPECT_EQ(About(),
            "Current Corvan Service Binary Versions:\n\n"
            " - CorvanControl.EXE version: " +
                kVersion +
                "  - An update is available *\n"
                " - CorvanSrvc.EXE version: 3.2.0.0  - At latest version\n"
                " - SheetPress.EXE version: 2.0.0.7  - An update available *\n"
                "\n"
                "* Program updates for these files are available for download at "
                "https://127.0.0.1/downloads.");
}

TEST_F(VersionsReportTest, AVersionFileWithTextAfterTheBuildEndsTheCommandInTheErrorBox) {
  dir.write("CorvanSrvc-Version.txt", "3.1.0.12 beta\r\n");
  WriteSettings([] { SetHost("127.0.0.1"); });
  auto form = StartWithDialogs();
  ShowForm(*form);
  dialogs.ClearCalls();
  dialogs.ExceptionShown();
  Control<QPushButton>(*form, "Button3")->click();
  ASSERT_EQ(dialogs.Calls().size(), 1u);
  EXPECT_EQ(dialogs.Calls()[0].Kind, tDialogKind::Exception);
  EXPECT_EQ(dialogs.Calls()[0].Text, "'12 beta' is not a valid integer value");
  // The hourglass does not outlive the command.
  EXPECT_EQ(dialogs.Cursors(), (std::vector<tCursor>{tCursor::crHourGlass, tCursor::crArrow}));
}

TEST_F(VersionsReportTest, TheErrorBoxShowsTheVersionFileAsWritten) {
  // Rendered as markup, the picture would be read from a pipe that never ends.
  corvantest::FifoProbe fifo(dir.file("FIFO"));
  const std::string major =
      "<img src='FIFO'><h1>Update now</h1><a href='https://corvantest/update'>here</a>";  // no full stop: it ends the
                                                                                          // major number
  dir.write("CorvanSrvc-Version.txt", major + ".1.0.12");
  platform::QtDialogs boxes;
  dialogsPort = &boxes;
  WriteSettings([] { SetHost("127.0.0.1"); });
  auto form = StartWithDialogs();
  ShowForm(*form);

  std::string shown = "(no box)";
  WhenModal([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      shown = corvantest::ShownText(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")));
      box->button(QMessageBox::Ok)->click();
    } else {
      Reject(modal);
    }
  });
  Control<QPushButton>(*form, "Button3")->click();
  EXPECT_EQ(shown, "'" + major + "' is not a valid integer value");
  EXPECT_FALSE(fifo.Opened()) << "a picture named in the version file was loaded";
}
