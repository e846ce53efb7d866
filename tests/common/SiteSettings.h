#pragma once
// The settings file of a program folder as an installed site has it, for tests that start
// the panel as a separate process: a main unit, so that no fresh-install question waits
// for an answer, and the vendor's host on loopback. Leaves the records holding what it
// wrote. (Header only: the tests that use it link the settings library.)
#include <string>

#include "ProcessState.h"
#include "settings/CorvanSettings.h"

namespace corvantest {

inline void WriteSiteSettings(const std::string& File) {
  ProcessStateGuard::Reset();
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = File;
  Lib::GetCorvanSettings("test");
  Lib::gVEKSettings.WWWHost = "127.0.0.1";
  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::SaveCorvanSettings();
}

}  // namespace corvantest
