#include "FakeCupsServer.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace corvantest {
namespace {

int LoopbackListener(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error("cannot listen on loopback");
  port = ntohs(a.sin_port);
  return fd;
}

ipp_t* Answer(ipp_t* request, const FakeCupsScript& script) {
  ipp_t* response = ippNewResponse(request);
  switch (ippGetOperation(request)) {
    case IPP_OP_CUPS_GET_PRINTERS:
      if (script.GetPrintersStatus != 0) {
        ippSetStatusCode(response, static_cast<ipp_status_t>(script.GetPrintersStatus));
        ippAddString(response, IPP_TAG_OPERATION, IPP_TAG_TEXT, "status-message", nullptr,
                     script.GetPrintersMessage.c_str());
        break;
      }
      if (script.Printers.empty()) ippSetStatusCode(response, IPP_STATUS_ERROR_NOT_FOUND);
      for (const std::string& name : script.Printers) {
        const std::string uri = "ipp://localhost/printers/" + name;
        ippAddSeparator(response);
        ippAddString(response, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, name.c_str());
        ippAddString(response, IPP_TAG_PRINTER, IPP_TAG_URI, "printer-uri-supported", nullptr, uri.c_str());
        ippAddInteger(response, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-type", 0);
        ippAddInteger(response, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
      }
      break;
    case IPP_OP_CUPS_GET_DEFAULT:
      if (script.Default.empty())
        ippSetStatusCode(response, IPP_STATUS_ERROR_NOT_FOUND);
      else
        ippAddString(response, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, script.Default.c_str());
      break;
    default:
      ippSetStatusCode(response, IPP_STATUS_ERROR_OPERATION_NOT_SUPPORTED);
  }
  return response;
}

}  // namespace

FakeCupsServer::FakeCupsServer(FakeCupsScript script) : script_(std::move(script)) {
  listen_ = LoopbackListener(port_);
  thread_ = std::thread([this] { serve(); });
}

FakeCupsServer::~FakeCupsServer() {
  stop_ = true;
  thread_.join();
  ::close(listen_);
}

std::string FakeCupsServer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void FakeCupsServer::serve() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    http_t* http = httpAcceptConnection(listen_, 1);
    if (!http) continue;
    // One client at a time, until it hangs up or we are asked to stop.
    while (!stop_) {
      if (!httpWait(http, 50)) continue;
      char uri[1024];
      const http_state_t state = httpReadRequest(http, uri, sizeof uri);
      if (state == HTTP_STATE_ERROR || state == HTTP_STATE_WAITING) break;
      http_status_t status;
      while ((status = httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
      }
      if (status != HTTP_STATUS_OK) break;
      ipp_t* request = ippNew();
      ipp_state_t ipp;
      while ((ipp = ippRead(http, request)) != IPP_STATE_DATA && ipp != IPP_STATE_ERROR) {
      }
      ipp_t* response = Answer(request, script_);
      httpClearFields(http);
      httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
      httpSetLength(http, ippLength(response));
      httpWriteResponse(http, HTTP_STATUS_OK);
      while ((ipp = ippWrite(http, response)) != IPP_STATE_DATA && ipp != IPP_STATE_ERROR) {
      }
      ippDelete(request);
      ippDelete(response);
    }
    httpClose(http);
  }
}

std::uint16_t ClosedLoopbackPort() {
  std::uint16_t port = 0;
  ::close(LoopbackListener(port));
  return port;
}

void UseCupsServer(const std::string& server) {
  // The library reads CUPS_SERVER once per thread and keeps it, so tell it directly too.
  if (server.empty())
    ::unsetenv("CUPS_SERVER");
  else
    ::setenv("CUPS_SERVER", server.c_str(), 1);
  cupsSetServer(server.empty() ? nullptr : server.c_str());
}

}  // namespace corvantest
