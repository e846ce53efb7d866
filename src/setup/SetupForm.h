#pragma once
// TfrmSetup, the setup dialog: the day-to-day service settings. Created once at program
// start and kept for the whole run; its controls keep their state between openings.
#include <QDialog>

#include "Dialogs.h"

namespace SetupForm {

class TfrmSetup : public QDialog {
 public:
  explicit TfrmSetup(platform::Dialogs& Dialogs);

 private:
  platform::Dialogs& dialogs_;
};

// The one instance, set by the program entry.
extern TfrmSetup* frmSetup;

}  // namespace SetupForm
