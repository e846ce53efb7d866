#pragma once
// TfrmSetupAdvanced, the advanced setup dialog: the settings an installer sets once per
// site, and the two network tests. Opened only from the setup dialog; created once at
// program start. It never writes the settings itself: the setup dialog's
// ApplySetupControls reads its controls after OK.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>

#include "platform/Dialogs.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupRules.h"
#include "setup/SetupWidgets.h"

namespace SetupAdvancedForm {

class TfrmSetupAdvanced : public QDialog {
 public:
  explicit TfrmSetupAdvanced(platform::Dialogs& Dialogs);

  // Every field from the settings, so that OK on the setup dialog saves what the operator
  // did not touch as it is stored, whether or not this dialog was opened.
  void FillAdvancedControls();
  // The PDW log folder, broadcast address, UDP box, CFS box and unit filter from the
  // settings: before the dialog opens, and again after it was cancelled.
  void RefreshAdvancedSetupForm();
  // Checked while the service listens; greyed when it reported that it could not bind.
  void SetUDPBox(std::int32_t UDPListenPort);
  // The setup dialog's refresh: the TCP feed, UDP and CFS boxes and the folder that OK
  // applies, from Settings (the folder's caption stays as it is).
  void RefreshFromSetupForm(const Lib::tCorvanSettings& Settings);
  // What this dialog's controls hold now, into their fields of Values.
  void PutControlValues(SetupForm::tSetupControlValues& Values) const;

  // ---- handlers ----
  void cmdBrowsePDWLogPathClick();
  // Serial parameters and the vendor's TCP feed exclude each other.
  void chkProcessTarnexTCPFeedClick();
  void txtSerialCommsChange();
  // Broadcasts the dummy page to the services on the local network.
  void Button4Click();
  // Sends the phone-home report with a test event and says whether it left.
  void cmdPhoneHomeClick();
  // OK: a value of this dialog that the settings file could not give back as it is keeps
  // the dialog open, and a message names its field.
  void cmdOKClick();
  // Cancel (also Escape): the stored PDW log folder comes back before the dialog closes.
  void reject() override;

 private:
  // The controls, row by row; each row's "?" button explains it. Tests find them by
  // their names (their object names).
  QCheckBox* chkSaveTasksAsPDF = nullptr;  // hidden, as its "?"
  QPushButton* cmdHelpSaveTasksAsPDF = nullptr;
  QCheckBox* chkProcessTarnexTCPFeed = nullptr;
  QPushButton* cmdHelpTarnexTCPFeed = nullptr;
  QCheckBox* chkPrintCFStasks = nullptr;
  QPushButton* cmdHelpPrintCFStasks = nullptr;
  QLabel* lblTarnexServer = nullptr;
  SetupWidgets::TSettingEdit* txtWWWHost = nullptr;
  QPushButton* cmdHelpTarnexServer = nullptr;
  // A read-only field: a long folder scrolls in it instead of widening the dialog.
  QLineEdit* lblPDWLogPathCaption = nullptr;
  QLabel* lblPDWLogPath = nullptr;  // hidden: the folder that OK on the setup dialog applies
  QPushButton* cmdBrowsePDWLogPath = nullptr;
  QPushButton* cmdHelpPDWLogPath = nullptr;
  QLabel* lblUDPBroadcastAddress = nullptr;
  SetupWidgets::TSettingEdit* txtBroadcastAddr = nullptr;
  QPushButton* cmdHelpBroadcastAddress = nullptr;
  QPushButton* Button4 = nullptr;  // "Broadcast a task on the local network."
  QPushButton* cmdHelpBroadcast = nullptr;
  QCheckBox* chkProcessUDPBroadcastPackets = nullptr;
  QPushButton* cmdHelpUDPBroadcastPackets = nullptr;
  QLabel* lblProcessUnit = nullptr;
  SetupWidgets::TSettingEdit* txtProcessVEKUnits = nullptr;
  QPushButton* cmdHelpProcessUnit = nullptr;
  QLabel* lblSerialPortSettings = nullptr;
  SetupWidgets::TSettingEdit* txtSerialComms = nullptr;
  QPushButton* cmdHelpSerialPortSettings = nullptr;
  QPushButton* cmdPhoneHome = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdOK = nullptr;

  // A row's "?" shows the text it was made with.
  QPushButton* HelpButton(const char* Name, const char* Text);
  void ShowPDWLogPath(const std::string& Folder);

  platform::Dialogs& dialogs_;
};

// The one instance, set by the program entry.
extern TfrmSetupAdvanced* frmSetupAdvanced;

}  // namespace SetupAdvancedForm
