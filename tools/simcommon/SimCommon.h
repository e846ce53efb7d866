#pragma once
// What the simulators share: their console lines, argument reading, address and port
// checks, and the stop signals. The simulators are test and demo tools, not part of the
// control panel; they fail loudly on bad arguments instead of guessing.
#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace simcommon {

// Thrown for a bad command line; main() prints it with the usage and exits with 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Exit codes of every simulator.
inline constexpr int kExitStopped = 0;      // ran and stopped cleanly
inline constexpr int kExitCannotStart = 1;  // could not bind, read or write what it needs
inline constexpr int kExitBadArguments = 2;

// The name that prefixes every console line ("hostsim: ...").
void SetProgramName(std::string_view name);
// One whole line on stdout, flushed at once: tests and the demo read it as it comes.
void Say(std::string_view line);
// One whole line on stderr.
void Complain(std::string_view line);

// True when an argument is "--help": the usage goes to standard output and the
// simulator ends with 0 (PrintUsage), whatever else the command line holds.
bool HelpAsked(int argc, char** argv);
int PrintUsage(std::string_view usage);

// Walks "--name value" arguments.
class ArgReader {
 public:
  ArgReader(int argc, char** argv);
  bool done() const { return next_ >= args_.size(); }
  // The next option name; throws UsageError when it does not begin with "--".
  std::string option();
  // The value that must follow `option`.
  std::string value(std::string_view option);

 private:
  std::vector<std::string> args_;
  std::size_t next_ = 0;
};

// A dotted IPv4 address ("127.0.0.1"); names are refused, so nothing is ever resolved.
std::optional<in_addr> ParseIPv4(std::string_view text);
std::optional<std::uint16_t> ParsePort(std::string_view text);
// A whole decimal number without sign, blank or other text.
std::optional<std::int64_t> ParseCount(std::string_view text);
// Four whole numbers joined by "." ("3.1.0.12"), each 0..65535 as a version note holds.
bool IsFourPartVersion(std::string_view text);

// Blocks SIGTERM, SIGINT and SIGHUP for this thread and the threads it starts later, and
// returns a descriptor that becomes readable when one of them arrives. Call it first.
int OpenStopSignalFd();
// Reads the pending signal from that descriptor and returns its name ("SIGTERM").
std::string ReadStopSignal(int fd);

std::string AddressText(const sockaddr_in& address);

// Waits until `fd` is readable (true), or until `stopFd` becomes readable or the deadline
// passes (false). Without a deadline it waits as long as it takes.
bool WaitReadable(int fd, int stopFd, std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

// Binds a socket of `type` (SOCK_DGRAM or SOCK_STREAM) to address:port. Returns the
// descriptor, or -1 with errno set. TCP sockets allow a quick restart (SO_REUSEADDR).
int BindSocket(int type, in_addr address, std::uint16_t port);

}  // namespace simcommon
