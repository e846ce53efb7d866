#pragma once
// The vendor host's phone-home receiver: every datagram on the port is kept, byte for
// byte, in a log file.
#include <string>

namespace hostsim {

// Appends each datagram arriving on `udpFd` to `logFile` as it came, followed by one LF
// (reports never hold line breaks, so the log reads one report per line), until
// `stopFd` becomes readable.
void ReceivePhoneHome(int udpFd, int stopFd, const std::string& logFile);

}  // namespace hostsim
