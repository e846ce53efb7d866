#pragma once
// The window's commands: the main window started on its own program folder, the three
// dialogs created after it as the program entry does, modal dialogs driven from inside
// their own loops, and stand-ins for the desktop's opener (xdg-open) on a private PATH.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "AppFixture.h"
#include "app/NewTaskFrom.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"

namespace apptest {

class CommandsTest : public MainFormTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Start() and then the setup dialogs and the task dialog, in the program's order, all
  // with the same dialogs port.
  std::unique_ptr<MainForm::TfrmMain> StartWithDialogs();
  // The three dialogs gone, as at the program's end.
  void EndDialogs();
  // The window as a click on the notification-area icon leaves it: shown.
  void ShowForm(MainForm::TfrmMain& form);

  // Runs `step` once a modal dialog is open, from inside its loop, with that dialog.
  void WhenModal(std::function<void(QWidget*)> step);
  // Runs `command`; whether a modal dialog opened meanwhile (it is closed as cancelled).
  static bool OpensModal(const std::function<void()>& command);

  // A program named `name` on PATH that writes its arguments, one per line, to a log in
  // the fake folder (whole, at its end); what it logged.
  void FakeProgram(const std::string& name);
  std::string FakeLog(const std::string& name) const;
  // Waits until the fake has logged something.
  bool WaitForFakeLog(const std::string& name, int ms = 5000);

  corvantest::TempFolder fakeBin;
  std::unique_ptr<SetupForm::TfrmSetup> setup;
  std::unique_ptr<SetupAdvancedForm::TfrmSetupAdvanced> advanced;
  std::unique_ptr<NewTaskFrom::TfrmNewTask> newTask;

 private:
  std::string oldPath_;
};

// A modal dialog's loop ends as the dialog's own OK or Cancel would end it.
void Accept(QWidget* dialog);
void Reject(QWidget* dialog);

}  // namespace apptest
