#include "FileExchange.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "SimCommon.h"
#include "support/Counterparts.h"
#include "support/FileUtils.h"

namespace hostsim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxRequestBytes = 1024;

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The request line without its line end; nullopt when none arrived in time.
std::optional<std::string> ReadRequestLine(int fd, int stopFd) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  std::string line;
  char c = 0;
  while (line.size() < kMaxRequestBytes) {
    if (!simcommon::WaitReadable(fd, stopFd, deadline)) return std::nullopt;
    const ssize_t n = ::recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    line += c;
  }
  return std::nullopt;
}

void ServeOne(int fd, int stopFd, const std::string& folder, const std::string& peer) {
  const auto request = ReadRequestLine(fd, stopFd);
  if (!request) {
    simcommon::Say("fetch from " + peer + ": no request line, closed");
    return;
  }
  const std::string answer = FileExchangeAnswer(folder, *request);
  const bool served = answer.find(Counterparts::kStartOfFile) != std::string::npos;
  if (!SendAll(fd, answer)) {
    simcommon::Say("fetch \"" + *request + "\" from " + peer + ": client went away");
    return;
  }
  ::shutdown(fd, SHUT_WR);
  simcommon::Say("fetch \"" + *request + "\" from " + peer + ": " + (served ? "served" : "not served"));
  // Let the client close first; drain whatever it still sends.
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  char sink[256];
  while (simcommon::WaitReadable(fd, stopFd, deadline) && ::recv(fd, sink, sizeof sink, 0) > 0) {
  }
}

}  // namespace

bool IsServableName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
  if (name.find("..") != std::string_view::npos) return false;
  for (const unsigned char c : name)
    if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ':') return false;
  return true;
}

std::string FileExchangeAnswer(const std::string& folder, std::string_view request) {
  const std::string crlf = "\r\n";
  std::string answer = "Tarnex file exchange (hostsim)" + crlf;
  if (!IsServableName(request)) return answer + "ERROR=refused file name" + crlf;
  // The host ran on Windows: names are matched ignoring case.
  const std::string path =
      folder.empty() ? std::string() : folder + brix32::ResolveNameIgnoringCase(folder, std::string(request));
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return answer + "ERROR=file not found: " + std::string(request) + crlf;

  const std::string content = brix32::FileToBin(path);
  answer += "FILE=" + std::string(request) + crlf;
  answer += std::string(Counterparts::kStartOfFile) + crlf;
  // The file's lines with CR LF, whatever line ends it was stored with.
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string_view line(content.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    answer.append(line);
    answer += crlf;
    start = end + 1;
  }
  return answer + std::string(Counterparts::kEndOfFile) + crlf;
}

void ServeFileExchange(int listenFd, int stopFd, const std::string& folder) {
  while (simcommon::WaitReadable(listenFd, stopFd)) {
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    const int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ServeOne(fd, stopFd, folder, simcommon::AddressText(peer));
    ::close(fd);
  }
}

}  // namespace hostsim
