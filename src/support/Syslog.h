#pragma once
// Syslog lines and UDP broadcasts on the local network.
#include <cstdint>
#include <string>
#include <string_view>

namespace brix32 {

struct tSyslogRec {
  std::int32_t ID = 0;  // priority * 10000 + code
  std::string Msg;
};

// "<PRI>SelfName:NNNNN Msg H="host" (ID=NNNNN)", broadcast on port 514. Never throws.
void PostSyslogMsg(const tSyslogRec& SyslogRec);
// The line PostSyslogMsg sends for a given sequence number.
std::string FormatSyslogLine(const tSyslogRec& rec, std::int16_t sequence);

// One datagram to 255.255.255.255:Port from each IPv4 address the host name resolves to.
// 0 sent (or port <= 0, or no address); -2 an error stopped the sending.
std::int32_t BroadcastUDPPacket(std::string_view Text, std::int32_t Port);

}  // namespace brix32
