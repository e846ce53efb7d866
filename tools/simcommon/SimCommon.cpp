#include "SimCommon.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace simcommon {
namespace {

std::string gProgramName = "sim";
std::mutex gConsoleLock;  // lines of several threads never interleave

void WriteLine(std::FILE* stream, std::string_view line) {
  const std::lock_guard<std::mutex> lock(gConsoleLock);
  std::fprintf(stream, "%s: %.*s\n", gProgramName.c_str(), static_cast<int>(line.size()), line.data());
  std::fflush(stream);
}

}  // namespace

void SetProgramName(std::string_view name) { gProgramName = std::string(name); }
void Say(std::string_view line) { WriteLine(stdout, line); }
void Complain(std::string_view line) { WriteLine(stderr, line); }

bool HelpAsked(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0) return true;
  return false;
}

int PrintUsage(std::string_view usage) {
  std::fprintf(stdout, "%.*s\n", static_cast<int>(usage.size()), usage.data());
  return std::fflush(stdout) == 0 ? kExitStopped : kExitCannotStart;
}

ArgReader::ArgReader(int argc, char** argv) : args_(argv + (argc > 0 ? 1 : 0), argv + argc) {}

std::string ArgReader::option() {
  std::string name = args_.at(next_++);
  if (name.rfind("--", 0) != 0) throw UsageError("unexpected argument \"" + name + "\"");
  return name;
}

std::string ArgReader::value(std::string_view option) {
  if (done()) throw UsageError(std::string(option) + " needs a value");
  return args_[next_++];
}

std::optional<in_addr> ParseIPv4(std::string_view text) {
  in_addr address{};
  const std::string copy(text);
  if (::inet_pton(AF_INET, copy.c_str(), &address) != 1) return std::nullopt;
  return address;
}

std::optional<std::int64_t> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  const auto value = ParseCount(text);
  if (!value || *value < 1 || *value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(*value);
}

bool IsFourPartVersion(std::string_view text) {
  int parts = 0;
  while (true) {
    const std::size_t dot = text.find('.');
    const auto number = ParseCount(text.substr(0, dot));
    if (!number || *number > 65535) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return parts == 4;
}

int OpenStopSignalFd() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A peer that vanishes mid-answer must not end the simulator.
  std::signal(SIGPIPE, SIG_IGN);
  return ::signalfd(-1, &set, SFD_CLOEXEC);
}

std::string ReadStopSignal(int fd) {
  signalfd_siginfo info{};
  if (::read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return "a signal";
  const char* name = sigabbrev_np(static_cast<int>(info.ssi_signo));
  return name ? std::string("SIG") + name : "a signal";
}

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

bool WaitReadable(int fd, int stopFd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  for (;;) {
    int timeout = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      timeout = static_cast<int>(left.count());
    }
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int n = ::poll(fds, 2, timeout);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || (fds[1].revents & POLLIN)) return false;
    if (fds[0].revents) return true;
  }
}

int BindSocket(int type, in_addr address, std::uint16_t port) {
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (type == SOCK_STREAM) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr = address;
  local.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      (type == SOCK_STREAM && ::listen(fd, 16) != 0)) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

}  // namespace simcommon
