#include "CommandsFixture.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdlib>

#include "WhenModal.h"

namespace apptest {

void CommandsTest::SetUp() {
  MainFormTest::SetUp();
  // The setup dialog asks the print server for the default printer: there is none here.
  ::setenv("CUPS_SERVER", "127.0.0.1:9", 1);
  const char* path = std::getenv("PATH");
  oldPath_ = path ? path : "";
  ::setenv("PATH", (fakeBin.path() + ":" + oldPath_).c_str(), 1);
}

void CommandsTest::TearDown() {
  EndDialogs();
  ::setenv("PATH", oldPath_.c_str(), 1);
  MainFormTest::TearDown();
}

std::unique_ptr<MainForm::TfrmMain> CommandsTest::StartWithDialogs() {
  auto form = Start();
  platform::Dialogs& port = dialogsPort ? *dialogsPort : dialogs;
  setup = std::make_unique<SetupForm::TfrmSetup>(port);
  SetupForm::frmSetup = setup.get();
  advanced = std::make_unique<SetupAdvancedForm::TfrmSetupAdvanced>(port);
  SetupAdvancedForm::frmSetupAdvanced = advanced.get();
  newTask = std::make_unique<NewTaskFrom::TfrmNewTask>();
  NewTaskFrom::frmNewTask = newTask.get();
  return form;
}

void CommandsTest::EndDialogs() {
  SetupForm::frmSetup = nullptr;
  SetupAdvancedForm::frmSetupAdvanced = nullptr;
  NewTaskFrom::frmNewTask = nullptr;
  newTask.reset();
  advanced.reset();
  setup.reset();
}

void CommandsTest::ShowForm(MainForm::TfrmMain& form) {
  form.TrayIconClick(nullptr);
  EXPECT_TRUE(form.isVisible());
}

void CommandsTest::WhenModal(std::function<void(QWidget*)> step) { corvantest::WhenModal(std::move(step)); }

bool CommandsTest::OpensModal(const std::function<void()>& command) {
  bool seen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&seen] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      seen = true;
      Reject(modal);
    }
  });
  poll.start(20);
  command();
  return seen;
}

void CommandsTest::FakeProgram(const std::string& name) {
  const std::string log = fakeBin.file(name + ".log");
  fakeBin.write(name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log + ".part' && mv '" + log +
                          ".part' '" + log + "'\n");
  ::chmod(fakeBin.file(name).c_str(), 0755);
}

std::string CommandsTest::FakeLog(const std::string& name) const {
  return fakeBin.exists(name + ".log") ? fakeBin.read(name + ".log") : std::string();
}

bool CommandsTest::WaitForFakeLog(const std::string& name, int ms) {
  return WaitFor([&] { return !FakeLog(name).empty(); }, ms);
}

void Accept(QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); }
void Reject(QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); }

}  // namespace apptest
