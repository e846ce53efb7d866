#pragma once
// The weekday event log: one line per noteworthy event, appended to one of seven files
// in the current folder, optionally also sent to the vendor as a phone-home report.
#include <string>

namespace Lib {

// Appends "dd/mm/yy hh:nn:ss.zzz SelfName EventText" + CR LF to
// "CORVANSRVC-EventLog-" + weekday ("Mon".."Sun") + ".txt"; with bPhoneHome set, sends
// EventText as a phone-home report as well, whether or not the line was written.
void WriteEventLog(const std::string& EventText, bool bPhoneHome);

}  // namespace Lib
