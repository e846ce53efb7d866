#include "reports/EventLog.h"

#include "reports/PhoneHome.h"
#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"

namespace Lib {

void WriteEventLog(const std::string& EventText, bool bPhoneHome) {
  brix32::Operation op("Lib.WriteEventLog");
  op.Ex.Notes = EventText;
  op.Run([&] {
    // One reading of the clock names the file and stamps the line, so an event at
    // midnight cannot land in the file of the other day.
    const brix32::TDateTime now = brix32::Now();
    const std::string fileName =
        brix32::ResolveNameIgnoringCase("", "CORVANSRVC-EventLog-" + brix32::FormatDateTime("ddd", now) + ".txt");
    op.Log.Trace = 110;
    const std::string line = brix32::FormatDateTime("dd/mm/yy hh:nn:ss.zzz", now) + " " +
                             brix32::gGlobalSettings.SelfName + " " + EventText + "\r\n";
    op.Log.Trace = 120;
    // WriteTextFile drops its own failures: a lost line must not stop the phone-home.
    brix32::WriteTextFile(line, fileName, true);
  });
  if (bPhoneHome) PhoneHomeUDP15171(EventText);
}

}  // namespace Lib
