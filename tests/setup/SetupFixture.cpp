#include "SetupFixture.h"

#include <cstdlib>
#include <filesystem>

#include "support/Diagnostics.h"
#include "support/FileUtils.h"

namespace setuptest {

SetupDialogsTest::SetupDialogsTest() {
  brix32::gGlobalSettings.Path = dir.path();
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = SettingsFile();
  // The print client reads the user's printer choices from HOME.
  ::setenv("HOME", home.path().c_str(), 1);
  corvantest::UseCupsServer(printers.address());
  dialogs.SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  setup = std::make_unique<SetupForm::TfrmSetup>(dialogs);
  SetupForm::frmSetup = setup.get();
  advanced = std::make_unique<SetupAdvancedForm::TfrmSetupAdvanced>(dialogs);
  SetupAdvancedForm::frmSetupAdvanced = advanced.get();
}

SetupDialogsTest::~SetupDialogsTest() {
  SetupAdvancedForm::frmSetupAdvanced = nullptr;
  SetupForm::frmSetup = nullptr;
  advanced.reset();
  setup.reset();
}

void SetupDialogsTest::WriteSettings(const std::function<void()>& edit) {
  std::filesystem::remove(SettingsFile());
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = SettingsFile();
  Lib::GetCorvanSettings("test");  // creates the file with the defaults
  if (edit) edit();
  Lib::SaveCorvanSettings();
  Lib::GetCorvanSettings("test");
}

tStored SetupDialogsTest::Stored() const {
  const Lib::tCorvanSettings corvan = Lib::gCorvanSettings;
  const Lib::tVEKSettings vek = Lib::gVEKSettings;
  const brix32::tGlobalSettings global = brix32::gGlobalSettings;
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  Lib::ReadCorvanSettingsText(brix32::FileToBin(SettingsFile()));
  tStored stored{Lib::gCorvanSettings, Lib::gVEKSettings};
  Lib::gCorvanSettings = corvan;
  Lib::gVEKSettings = vek;
  brix32::gGlobalSettings = global;
  return stored;
}

}  // namespace setuptest
