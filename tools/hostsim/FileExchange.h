#pragma once
// The vendor host's file exchange on TCP: the client sends one line, a file name; the
// host answers with a few preamble lines, "<SOF>", the file's lines and "<EOF>".
#include <netinet/in.h>

#include <optional>
#include <string>
#include <string_view>

namespace hostsim {

// A plain file name the exchange may serve: no folder part, no "..", no control bytes.
bool IsServableName(std::string_view name);

// The whole answer for one request, from the files in `folder` (empty: no files). A
// name that is refused or not found gets the preamble and an error line, no "<SOF>".
std::string FileExchangeAnswer(const std::string& folder, std::string_view request);

// Serves connections one after the other on `listenFd` until `stopFd` becomes readable.
// A client gets 5 seconds to send its line; after the answer the host waits up to 2
// seconds for the client to close first, as the client is meant to.
void ServeFileExchange(int listenFd, int stopFd, const std::string& folder);

}  // namespace hostsim
