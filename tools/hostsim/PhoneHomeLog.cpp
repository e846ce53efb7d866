#include "PhoneHomeLog.h"

#include <sys/socket.h>

#include <vector>

#include "SimCommon.h"
#include "support/FileUtils.h"

namespace hostsim {

void ReceivePhoneHome(int udpFd, int stopFd, const std::string& logFile) {
  std::vector<char> buffer(65536);
  while (simcommon::WaitReadable(udpFd, stopFd)) {
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    const ssize_t n = ::recvfrom(udpFd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&peer), &peerSize);
    if (n < 0) continue;
    std::string record(buffer.data(), static_cast<std::size_t>(n));
    record += '\n';
    const bool kept = brix32::WriteTextFile(record, logFile, true) == 0;
    simcommon::Say("phone-home report from " + simcommon::AddressText(peer) + ", " + std::to_string(n) + " bytes" +
                   (kept ? "" : ", NOT written to " + logFile));
  }
}

}  // namespace hostsim
