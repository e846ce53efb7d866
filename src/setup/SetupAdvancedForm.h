#pragma once
// TfrmSetupAdvanced, the advanced setup dialog: the settings an installer sets once per
// site, opened from the setup dialog. Created once at program start.
#include <QDialog>

#include "Dialogs.h"

namespace SetupAdvancedForm {

class TfrmSetupAdvanced : public QDialog {
 public:
  explicit TfrmSetupAdvanced(platform::Dialogs& Dialogs);

 private:
  platform::Dialogs& dialogs_;
};

// The one instance, set by the program entry.
extern TfrmSetupAdvanced* frmSetupAdvanced;

}  // namespace SetupAdvancedForm
