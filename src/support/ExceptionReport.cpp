#include "support/ExceptionReport.h"

#include "support/FileUtils.h"
#include "support/Hooks.h"
#include "support/NumberFormat.h"
#include "support/Syslog.h"

namespace brix32 {
namespace {

void ReplaceFirst(std::string& text, const std::string& what, const std::string& with) {
  const std::size_t p = text.find(what);
  if (p != std::string::npos) text.replace(p, what.size(), with);
}

// The report of one record; `trace` tracks the stage for the self-report.
// `name` is set as soon as it is formed, so a later failure can still return it.
void WriteReport(const tExceptionRec& rec, std::int32_t& trace, std::string& name) {
  trace = 100;
  const tMemoryStatusRec memory = GetMemoryStatus();
  trace = 230;
  const TDateTime now = Now();
  const std::string text = BuildExceptionReportText(rec, now, MachineUpTime().Text, memory);
  trace = 380;
  name = ExceptionReportFileName(rec.FileName, now);
  trace = 420;
  WriteTextFile(text, gGlobalSettings.Path + name, false);  // a lost report is not reported
  if (rec.Beep) {
    trace = 460;
    for (const int hz : {200, 400, 800, 1600}) Beep(hz, 50);
  }
  trace = 480;
  PostSyslogMsg({5003, "EXCEPTION:Func=" + rec.Function + " Trace=" + std::to_string(rec.Trace) + " File=\"" + name +
                           "\" SelfName" + gGlobalSettings.SelfName + " Version=" + gGlobalSettings.Version});
}

}  // namespace

std::string BuildExceptionReportText(const tExceptionRec& rec, TDateTime now, const std::string& upTimeText,
                                     const tMemoryStatusRec& memory) {
  const std::string crlf = "\r\n";
  const double usedPercent = 100.0 - memory.AvailVirtualPercent;
  const double usedBytes = static_cast<double>(memory.TotalVirtual) - static_cast<double>(memory.AvailVirtual);
  std::string t;
  t += "<xml>" + crlf;
  t += "<Exception>" + crlf;
  t += "<DateTime>" + FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", now) + "</DateTime>" + crlf;
  t += "<MachineUpTime>" + upTimeText + "</MachineUpTime>" + crlf;
  t += "<UsedMemory>" + FormatThousands(usedPercent, 2) + "% (" + FormatThousands(usedBytes, 0) + ") </UsedMemory>" +
       crlf;
  t += "<SelfName>" + gGlobalSettings.SelfName + "</SelfName>" + crlf;
  t += "<Version>" + gGlobalSettings.Version + "</Version>" + crlf;
  t += "<Function>" + rec.Function + ":" + std::to_string(rec.Trace) + "</Function>" + crlf;
  t += "<Trace>" + std::to_string(rec.Trace) + "</Trace>" + crlf;
  t += "<CallingFunction>" + rec.CallingFunction + "</CallingFunction>" + crlf;
  t += "<HostName>" + gGlobalSettings.HostName + "</HostName>" + crlf;
  t += "<ClassName>" + rec.ClassName + "</ClassName>" + crlf;
  t += "<e.Message>" + rec.Message + "</e.Message>" + crlf;
  t += "<SQL>" + rec.SQL + "</SQL>" + crlf;
  t += "<Notes>" + rec.Notes + "</Notes>" + crlf;
  t += "<Count>" + std::to_string(rec.Count) + "</Count>" + crlf;
  t += "</Exception>" + crlf;
  t += "</xml>" + crlf;
  return t;
}

std::string ExceptionReportFileName(const std::string& fileNameTemplate, TDateTime now) {
  std::string name = fileNameTemplate.empty() ? "E!{selfname}-{timestamp}.xml" : fileNameTemplate;
  ReplaceFirst(name, "{selfname}", gGlobalSettings.SelfName);
  ReplaceFirst(name, "{timestamp}", FormatDateTime("yyyymmddhhnnsszzz", now));
  return name;
}

std::string SaveExceptionRecAsXML(const tExceptionRec& ExceptionRec) {
  if (gGlobalSettings.SelfName.empty()) return {};
  std::int32_t trace = 100;
  std::string name;
  try {
    WriteReport(ExceptionRec, trace, name);
    return name;
  } catch (const std::exception& e) {
    // One report about the report writer itself; a failure there is dropped.
    try {
      tExceptionRec self = ExceptionRec;
      self.Function = "brix32.SaveExceptionRecAsXML";
      self.ClassName = ExceptionClassName(e);
      self.Message = e.what();
      self.Trace = trace;
      self.FileName = gGlobalSettings.ExceptionFileName;
      self.Beep = true;
      std::int32_t ignoredTrace = 0;
      std::string ignoredName;
      WriteReport(self, ignoredTrace, ignoredName);
    } catch (...) {
    }
    return name;
  } catch (...) {
    return name;
  }
}

}  // namespace brix32
