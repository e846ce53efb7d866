#include "pager/TarnexFetch.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "settings/CorvanSettings.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FdWait.h"
#include "support/FileUtils.h"
#include "support/Hooks.h"
#include "support/Syslog.h"
#include "support/UniqueFd.h"

namespace VEKLib {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kConnectLimit{1000};
milliseconds gIdleLimit{30000};
milliseconds gTimeLimit{60000};
std::size_t gAnswerLimit = 64u << 20;

// A non-blocking socket connected to one of the host's addresses, or a closed one when no
// address answered within the limit (which covers all the addresses together).
brix32::UniqueFd ConnectWithin(const std::string& host, std::uint16_t port, milliseconds limit) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return {};
  const Clock::time_point deadline = Clock::now() + limit;
  brix32::UniqueFd connected;
  for (const addrinfo* a = list; a && !connected && brix32::MsUntil(deadline) > 0; a = a->ai_next) {
    brix32::UniqueFd s(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
    if (!s) continue;
    if (::connect(s.get(), a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS || !brix32::WaitForFd(s.get(), POLLOUT, deadline)) continue;
      int error = 0;
      socklen_t len = sizeof error;
      if (::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) continue;
    }
    connected = std::move(s);
  }
  ::freeaddrinfo(list);
  return connected;
}

void SendAll(int fd, std::string_view text, Clock::time_point deadline) {
  while (!text.empty()) {
    const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (n >= 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && brix32::WaitForFd(fd, POLLOUT, deadline)) continue;
    throw std::runtime_error(std::string("sending the file name failed: ") + std::strerror(errno));
  }
}

enum class Ending { Complete, Closed, Idle };

struct Answer {
  Ending ending = Ending::Closed;
  bool started = false;
  std::string content;
};

// Reads lines until "<EOF>", the host closing, no line within the idle limit, or the
// overall deadline. Read errors end nothing by themselves: only a connection that is gone
// does.
Answer ReadAnswer(int fd, milliseconds idleLimit, Clock::time_point overallDeadline) {
  Answer answer;
  std::string pending;
  std::size_t lineStart = 0;
  bool closed = false;
  Clock::time_point deadline = std::min(Clock::now() + idleLimit, overallDeadline);

  const auto takeLine = [&](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find(Counterparts::kStartOfFile) != std::string_view::npos) {
      answer.started = true;
    } else if (line.find(Counterparts::kEndOfFile) != std::string_view::npos) {
      answer.ending = Ending::Complete;
    } else if (answer.started) {
      answer.content.append(line);
      answer.content += "\r\n";
    }
    brix32::ProcessMessages();
    deadline = std::min(Clock::now() + idleLimit, overallDeadline);
  };

  for (;;) {
    std::size_t lf;
    while ((lf = pending.find('\n', lineStart)) != std::string::npos) {
      takeLine(std::string_view(pending).substr(lineStart, lf - lineStart));
      lineStart = lf + 1;
      if (answer.ending == Ending::Complete) return answer;
    }
    pending.erase(0, lineStart);
    lineStart = 0;
    if (closed) {
      // A last line without its LF still counts.
      if (!pending.empty()) takeLine(pending);
      if (answer.ending != Ending::Complete) answer.ending = Ending::Closed;
      return answer;
    }
    if (!brix32::WaitForFd(fd, POLLIN, deadline)) {
      answer.ending = Ending::Idle;
      return answer;
    }
    char buffer[16384];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) {
      if (answer.content.size() + pending.size() + static_cast<std::size_t>(n) > gAnswerLimit)
        throw std::length_error("answer longer than " + std::to_string(gAnswerLimit) + " bytes");
      pending.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      closed = true;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      closed = true;  // reset or otherwise gone
    }
  }
}

}  // namespace

milliseconds TarnexFetchIdleLimit() { return gIdleLimit; }
void SetTarnexFetchIdleLimit(milliseconds limit) { gIdleLimit = limit; }
milliseconds TarnexFetchTimeLimit() { return gTimeLimit; }
void SetTarnexFetchTimeLimit(milliseconds limit) { gTimeLimit = limit; }
std::size_t TarnexFetchAnswerLimit() { return gAnswerLimit; }
void SetTarnexFetchAnswerLimit(std::size_t bytes) { gAnswerLimit = bytes; }

tRC GetFileFromTarnex(const std::string& sFile, const std::string& sCallingFunction) {
  brix32::Operation op("VEKLib.GetFileFromTarnex");
  op.Ex.CallingFunction = sCallingFunction;
  tRC result{-1, "General fail."};
  const bool ok = op.Run([&] {
    const std::string host = Lib::gVEKSettings.WWWHost;
    op.Ex.Notes = host;
    if (host.empty()) {
      result = tRC{-2, "gVEKSettings.WWWHost not set."};
      return;
    }
    const std::uint16_t port = Counterparts::kFileFetchPort;
    op.Ex.Notes = "TCPLient.Host=" + host + ", TCPClient.Port=" + std::to_string(port) + ", sFile=" + sFile;
    const std::string url = "\"https://" + host + "/vek/" + sFile + "\"";

    op.Log.Trace = 250;
    const Clock::time_point overallDeadline = Clock::now() + gTimeLimit;
    brix32::UniqueFd socket = ConnectWithin(host, port, kConnectLimit);
    if (!socket) {
      op.Log.Trace = 255;
      brix32::PostSyslogMsg({71124, op.Context() + " downloading " + url});
      result = tRC{-10, "Failed to connect to " + host + ":" + std::to_string(port)};
      return;
    }

    op.Log.Trace = 270;
    brix32::PostSyslogMsg({51124, op.Context() + " downloading " + url + " CF=\"" + sCallingFunction + "\""});
    brix32::PostSyslogMsg({71124, op.Context() + " sFile=\"" + sFile + "\""});

    op.Log.Trace = 280;
    SendAll(socket.get(), sFile + "\r\n", std::min(Clock::now() + gIdleLimit, overallDeadline));

    op.Log.Trace = 300;
    const Answer answer = ReadAnswer(socket.get(), gIdleLimit, overallDeadline);
    socket.reset();

    // A cut-off answer would leave a truncated file that later loads look complete.
    if (answer.ending == Ending::Idle) {
      result = MakeRC(-10060);
      return;
    }
    if (answer.ending == Ending::Closed) {
      result = MakeRC(-10054);
      return;
    }

    op.Log.Trace = 400;
    if (!answer.content.empty() && brix32::WriteTextFileAtomic(answer.content, sFile) != 0)
      throw std::runtime_error("cannot write " + sFile);
    result = tRC{0, "OK"};
  });
  if (!ok) {
    result = tRC{-999, "Exception. Trace=3000"};
    brix32::PostSyslogMsg({71124, "VEKLib.GetFileFromTarnex:3000 ExceptionRec.FileName=" + op.ReportFileName});
  }
  return result;
}

}  // namespace VEKLib
