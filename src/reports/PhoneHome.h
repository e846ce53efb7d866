#pragma once
// The phone-home report: one UDP datagram telling the vendor which installation runs,
// in which state and with which settings. Nothing comes back.
#include <string>

namespace Lib {

// Refreshes the exception, debug and task-sheet file counts, builds the report and sends
// it to WWWHost (up to its first "/") on UDP 15171. True when the datagram was handed to
// the network; False when the host is empty or unknown or the send failed.
bool PhoneHomeUDP15171(const std::string& Event);

// The report text from the records and the clock as they are now (counters not
// refreshed): one line, values unescaped.
std::string BuildPhoneHomeReport(const std::string& Event);

}  // namespace Lib
