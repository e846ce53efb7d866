#include "status/ServiceState.h"

#include <sys/stat.h>

#include "settings/CorvanSettings.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"
#include "support/ProcessCount.h"
#include "support/ServiceFileRead.h"
#include "support/Syslog.h"

namespace MainForm {

using namespace Counterparts;

namespace {
// Syslog message posted when GetStatus caught an error: priority 3 (error).
constexpr std::int32_t kGetStatusErrorSyslogId = 31002;
}  // namespace

bool FileExists(const std::string& FileName) {
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ServiceFile(const std::string& Folder, std::string_view Name) {
  return Folder + brix32::ResolveNameIgnoringCase(Folder, std::string(Name));
}

bool ServiceFileExists(const std::string& Folder, std::string_view Name) {
  return FileExists(ServiceFile(Folder, Name));
}

tServiceState GatherServiceState(const std::string& Folder) {
  tServiceState state;
  state.ProcessCount = brix32::ProcessCount(kServiceExeName);
  state.MessageText = brix32::ReadServiceText(ServiceFile(Folder, kMessageFile));
  state.ServiceProgramExists = ServiceFileExists(Folder, kServiceExeName);
  state.WWWHost = Lib::gVEKSettings.WWWHost;
  state.EnablePrinting = Lib::gCorvanSettings.EnablePrinting;
  return state;
}

tServiceVerdict GetServiceVerdict(const std::string& Folder) {
  brix32::Operation op("GetStatus");
  op.Ex.Beep = false;
  tServiceVerdict verdict;
  const bool ok = op.Run([&] {
    op.Log.Trace = 200;
    const tServiceState state = GatherServiceState(Folder);
    op.Log.Trace = 300;
    verdict.Status = DecideStatus(state);
    verdict.PrintingReady = PrintingReady(state);
  });
  if (!ok)
    brix32::PostSyslogMsg({kGetStatusErrorSyslogId, "GetStatus:excption ExceptionRec.FileName=" + op.ReportFileName});
  return verdict;
}

tGetStatus GetServiceStatus(const std::string& Folder) { return GetServiceVerdict(Folder).Status; }

}  // namespace MainForm
