#pragma once
// The setup dialogs on a program folder of their own: offscreen widgets, scripted
// dialogs, a private print server with a default printer, and the settings file.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "FakeCupsServer.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "platform/fakes/ScriptedDialogs.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupForm.h"

namespace setuptest {

// The three records as the settings file holds them.
struct tStored {
  Lib::tCorvanSettings Corvan;
  Lib::tVEKSettings VEK;
};

class SetupDialogsTest : public ::testing::Test {
 protected:
  SetupDialogsTest();
  ~SetupDialogsTest() override;

  // Writes the settings file from the defaults changed by `edit`, then loads it, as the
  // control panel's status refresh would have.
  void WriteSettings(const std::function<void()>& edit = {});
  // What the settings file holds now; the records in memory are left as they were.
  tStored Stored() const;
  std::string SettingsFile() const { return dir.file("CorvanSrvc-Settings.xml"); }

  static constexpr const char* kPrinter = "Front Office Laser";

  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;  // the program folder
  corvantest::TempFolder home;
  corvantest::FakeCupsServer printers{{.Printers = {"Other", kPrinter}, .Default = kPrinter}};
  platform::ScriptedDialogs dialogs;
  std::unique_ptr<SetupForm::TfrmSetup> setup;
  std::unique_ptr<SetupAdvancedForm::TfrmSetupAdvanced> advanced;
};

}  // namespace setuptest
