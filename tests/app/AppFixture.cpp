#include "AppFixture.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Controls.h"
#include "Hermetic.h"
#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"

using corvantest::Control;

namespace apptest {

void KillLater(pid_t pid, int ms) {
  std::thread([pid, ms] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ::kill(pid, SIGKILL);
  }).detach();
}

MainFormTest::MainFormTest() {
  std::error_code ec;
  oldCwd = std::filesystem::current_path(ec).string();
}

void MainFormTest::SetUp() {
  CORVAN_REQUIRE_HERMETIC_NETWORK();
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", config.path().c_str(), 1);
  ::setenv("HOME", runtime.path().c_str(), 1);
  dialogs.SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
}

void MainFormTest::TearDown() {
  std::error_code ec;
  std::filesystem::current_path(oldCwd, ec);
}

void MainFormTest::WriteSettings(const std::function<void()>& edit) {
  const std::string path = dir.file("CorvanSrvc-Settings.xml");
  std::filesystem::remove(path);
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = path;
  Lib::GetCorvanSettings("test");  // creates the file with the defaults
  if (edit) edit();
  Lib::SaveCorvanSettings();
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  // A running window goes on reading the same file.
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = path;
}

std::unique_ptr<MainForm::TfrmMain> MainFormTest::Start(std::vector<std::string> args) {
  MainForm::tMainFormPorts ports;
  ports.Area = &area;
  ports.Dialogs = dialogsPort ? dialogsPort : &dialogs;
  ports.TrayAvailable = [this] { return trayAvailable; };
  ports.WatchdogClock = watchdogClock;
  ports.WatchdogIntervalMs = watchdogIntervalMs;
  ports.SetPathToEXEPath = [this] {
    std::filesystem::current_path(dir.path());
    brix32::gGlobalSettings.Path = dir.path();
    return dir.path();
  };
  return std::make_unique<MainForm::TfrmMain>(std::move(args), ports);
}

bool MainFormTest::WaitFor(const std::function<bool()>& done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  QTimer tick;  // wakes the loop so that the deadline is seen
  tick.start(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void MainFormTest::Settle(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  WaitFor([&] { return std::chrono::steady_clock::now() >= until; }, ms * 2);
}

std::vector<platform::NOTIFYICONDATA> MainFormTest::Balloons() const {
  std::vector<platform::NOTIFYICONDATA> result;
  for (const auto& call : area.Calls)
    if (call.Data.uFlags == platform::NIF_INFO) result.push_back(call.Data);
  return result;
}

std::string MainFormTest::MemoText(const MainForm::TfrmMain& form) const {
  return platform::S(Control<QPlainTextEdit>(form, "memTarnexConnectionHeartbeat")->toPlainText());
}

}  // namespace apptest
