#pragma once
// TfrmSetup, the setup dialog: the day-to-day service settings. Created once at program
// start and kept for the whole run; its controls keep their state between openings, and
// only ApplySetupControls (after OK) writes them to the settings file.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "platform/Dialogs.h"
#include "setup/SetupRules.h"
#include "setup/SetupWidgets.h"

namespace SetupAdvancedForm {
class TfrmSetupAdvanced;
}

namespace SetupForm {

class TfrmSetup : public QDialog {
 public:
  explicit TfrmSetup(platform::Dialogs& Dialogs);

  // Settings in memory -> every control of both dialogs: whenever the main window is
  // shown, and as the dialog opens.
  void FillSetupControls();
  // Reloads the settings file and brings the controls it owns up to date; the printing
  // box is read back into the setting. Fails silently.
  void RefreshSetupForm();
  // The controls of both dialogs -> the settings, then the file is written.
  void ApplySetupControls();
  // Ends the open dialog as cancelled: at once when it shows, or as soon as the advanced
  // dialog it hides behind has closed (a hidden dialog's loop cannot be ended).
  void Cancel();
  // What the controls of both dialogs hold now, as OK would save it.
  tSetupControlValues ControlValues() const;

  // ---- handlers ----
  // OK: a value the settings file could not give back as it is keeps the dialog open,
  // and a message names its field.
  void cmdOKClick();
  void cmdAdvancedClick();
  // Any change of the printing box's state, by the user or by FillSetupControls.
  void chkEnablePrintingClick();
  // A "?" button: the tooltip of the control beside it, in a plain message box.
  void HelpClick(const QWidget* Control);

 private:
  // The controls, top to bottom. Tests find them by their names (their object names).
  QCheckBox* chkPrintTestPageAtStartup = nullptr;
  QPushButton* cmdHelpPrintTestPage = nullptr;
  QCheckBox* chkEnablePrinting = nullptr;
  QLabel* lblDefaultPrinter = nullptr;
  QPushButton* cmdHelpEnablePrinting = nullptr;
  QLabel* lblMainUnit = nullptr;
  SetupWidgets::TSettingEdit* txtMainUnit = nullptr;
  QPushButton* cmdHelpMainUnit = nullptr;
  QPushButton* cmdAdvanced = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdOK = nullptr;

  // The advanced dialog, created right after this one by the program entry.
  SetupAdvancedForm::TfrmSetupAdvanced& Advanced() const;
  void SetPrintingBoxEnabled(bool Enabled);

  platform::Dialogs& dialogs_;
  bool advancedOpen_ = false;
  bool cancelled_ = false;  // while hidden behind the advanced dialog
};

// The one instance, set by the program entry.
extern TfrmSetup* frmSetup;

}  // namespace SetupForm
