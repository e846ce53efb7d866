#pragma once
// The phone-home report: one UDP datagram telling the vendor which installation runs,
// in which state and with which settings. Nothing comes back.
#include <cstdint>
#include <optional>
#include <string>

namespace Lib {

// Refreshes the exception, debug and task-sheet file counts, builds the report and sends
// it to WWWHost (up to its first "/") on UDP 15171. True when the datagram was handed to
// the network; False when the host is empty or unknown or the send failed.
bool PhoneHomeUDP15171(const std::string& Event);

// The same in steps, so that a window can look the host up on another thread: the
// resolver may take seconds over a name that does not answer.
struct tPhoneHomeDatagram {
  std::string Host;  // WWWHost up to its first "/"
  std::string Text;
};
// Refreshes the counts and builds the report, from the process-wide records: on their
// thread. May throw.
tPhoneHomeDatagram PreparePhoneHome(const std::string& Event);
// The host's IPv4 address (network byte order); nothing for an empty or unknown name.
// Touches nothing shared: any thread may run it.
std::optional<std::uint32_t> ResolvePhoneHomeHost(const std::string& Host);
// Sends the report to the address on UDP 15171; true when it was handed to the network.
bool SendPhoneHome(std::uint32_t Address, const std::string& Text);

// The report text from the records and the clock as they are now (counters not
// refreshed): one line, values unescaped.
std::string BuildPhoneHomeReport(const std::string& Event);

}  // namespace Lib
