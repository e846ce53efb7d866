#include "support/Syslog.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "support/Diagnostics.h"

namespace brix32 {
namespace {

std::string Padded5(std::int32_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*d", 5, value);
  return buffer;
}

// The addresses the machine's own host name resolves to, in the resolver's order.
bool OwnIPv4Addresses(std::vector<in_addr>& out) {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &list) != 0) return false;
  for (const addrinfo* a = list; a; a = a->ai_next)
    out.push_back(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr);
  ::freeaddrinfo(list);
  return true;
}

class UdpSocket {
 public:
  UdpSocket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~UdpSocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool SendFrom(in_addr source, std::string_view text, std::uint16_t port) {
  UdpSocket socket;
  if (socket.fd() < 0) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr = source;
  if (::bind(socket.fd(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return false;
  const int on = 1;
  if (::setsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  const ssize_t sent =
      ::sendto(socket.fd(), text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
  return sent == static_cast<ssize_t>(text.size());
}

}  // namespace

std::string FormatSyslogLine(const tSyslogRec& rec, std::int16_t sequence) {
  // Appended piece by piece: one long chain of operator+ trips GCC 12's -Wrestrict at -O3.
  std::string line = "<";
  line += std::to_string(rec.ID / 10000);
  line += '>';
  line += gGlobalSettings.SelfName;
  line += ':';
  line += Padded5(sequence);
  line += ' ';
  line += rec.Msg;
  line += " H=\"";
  line += gGlobalSettings.HostName;
  line += "\" (ID=";
  line += Padded5(rec.ID);
  line += ')';
  return line;
}

void PostSyslogMsg(const tSyslogRec& SyslogRec) {
  try {
    std::int16_t& counter = gGlobalSettings.SyslogCounter;
    counter = counter == 32767 ? 0 : static_cast<std::int16_t>(counter + 1);
    BroadcastUDPPacket(FormatSyslogLine(SyslogRec, counter), 514);
  } catch (...) {
    // A message that cannot be sent is lost.
  }
}

std::int32_t BroadcastUDPPacket(std::string_view Text, std::int32_t Port) {
  if (Port <= 0) return 0;
  if (Port > 65535) return -2;
  try {
    std::vector<in_addr> addresses;
    if (!OwnIPv4Addresses(addresses)) return -2;
    for (const in_addr& address : addresses)
      if (!SendFrom(address, Text, static_cast<std::uint16_t>(Port))) return -2;
    return 0;
  } catch (...) {
    return -2;
  }
}

}  // namespace brix32
