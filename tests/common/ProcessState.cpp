#include "ProcessState.h"

#include "pager/PageParser.h"
#include "pager/TarnexFetch.h"
#include "pager/VEKUnits.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"
#include "support/UpdateCheck.h"

namespace corvantest {

ProcessStateGuard::ProcessStateGuard() {
  StartLimits();
  Reset();
}

ProcessStateGuard::~ProcessStateGuard() { Reset(); }

const ProcessStateGuard::tLimits& ProcessStateGuard::StartLimits() {
  static const tLimits limits{VEKLib::TarnexFetchIdleLimit(), VEKLib::TarnexFetchTimeLimit(),
                              VEKLib::TarnexFetchAnswerLimit()};
  return limits;
}

void ProcessStateGuard::Reset() {
  brix32::gGlobalSettings = {};
  Lib::gCorvanSettings = {};
  Lib::gVEKSettings = {};
  VEKLib::gVEKUnits.clear();
  VEKLib::gSuburbs.clear();
  VEKLib::gTaskTypes.clear();
  brix32::SetBeepHandler(nullptr);
  brix32::SetMessageBoxHandler(nullptr);
  brix32::SetProcessMessagesHandler(nullptr);
  Lib::SetSettingsFileReader(nullptr);
  VEKLib::SetTarnexFetchIdleLimit(StartLimits().FetchIdle);
  VEKLib::SetTarnexFetchTimeLimit(StartLimits().FetchTime);
  VEKLib::SetTarnexFetchAnswerLimit(StartLimits().FetchAnswer);
  brix32::SetUpdateCheckTimeout(std::chrono::milliseconds(0));  // the default
}

}  // namespace corvantest
