#pragma once
// The window tests' fixture: a program folder of its own, private runtime and autostart
// folders, the recording notification area, scripted dialogs, a fixed clock, and the
// main window started on that folder.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FixedClock.h"
#include "ProcessState.h"
#include "ServiceProcesses.h"
#include "TempFolder.h"
#include "app/MainForm.h"
#include "platform/fakes/FakeNotificationArea.h"
#include "platform/fakes/ScriptedDialogs.h"

namespace apptest {

using corvantest::ServiceProcesses;

// Kills `pid` after `ms` milliseconds, from another thread (the UI thread may be waiting).
void KillLater(pid_t pid, int ms);

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest();
  void SetUp() override;
  void TearDown() override;

  // Writes the settings file from the defaults, changed by `edit`, and forgets the
  // records so that the window reads them from the file.
  void WriteSettings(const std::function<void()>& edit = {});
  // Creates the main window on the program folder (its start-up runs now).
  std::unique_ptr<MainForm::TfrmMain> Start(std::vector<std::string> args = {});
  // Runs the event loop until `done` or a few seconds have passed.
  bool WaitFor(const std::function<bool()>& done, int ms = 5000);
  // Lets pending notifications arrive and be handled.
  void Settle(int ms = 300);

  // The balloons shown so far, in order.
  std::vector<platform::NOTIFYICONDATA> Balloons() const;
  std::string MemoText(const MainForm::TfrmMain& form) const;

  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;  // the program folder
  corvantest::TempFolder runtime;
  corvantest::TempFolder config;
  corvantest::FixedClock clock{2013, 10, 3, 14, 5, 9};
  platform::FakeNotificationArea area;
  platform::ScriptedDialogs dialogs;
  // The dialogs the window uses when not the scripted ones.
  platform::Dialogs* dialogsPort = nullptr;
  bool trayAvailable = true;
  // The feed watchdog's clocks, and how often it looks by itself: by default only when a
  // test calls timWatchdogTimer, so that tests of other things see no alarm come.
  MainForm::tWatchdogClock watchdogClock;
  int watchdogIntervalMs = 0;
  std::string oldCwd;
};

}  // namespace apptest
