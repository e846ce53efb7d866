#pragma once
// A deterministic run of the service: which file it writes, when, and what it holds.
//
// One step per line, "AT COMMAND [TEXT]": AT is milliseconds after the start, TEXT is
// everything after the blank that follows COMMAND (trailing blanks count) with the
// escapes \r \n \t \\. Empty lines and lines beginning with "#" are skipped.
//
//   tarnex TEXT    rewrite the vendor TCP feed heartbeat with TEXT
//   serial TEXT    rewrite the serial receiver heartbeat
//   udp TEXT       rewrite the UDP heartbeat
//   going N        TCP heartbeat "INFO:V=<version> G=N " and a new going graph
//   msg TEXT       the message file, created anew
//   status TEXT    the status file
//   feed KIND      today's data-source strip: com tcp udp udptcp none log
//   host NAME      record NAME as the active web host in the settings file
//   exit           stop, as on SIGTERM
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace servicesim {

struct tStep {
  std::int64_t AtMs = 0;
  std::string Command;
  std::string Text;  // escapes resolved
  std::size_t Line = 0;
};

// Throws simcommon::UsageError naming the line and what is wrong with it.
tStep ParseStep(std::string_view line, std::size_t lineNumber = 0);
// Every step of a scenario file's text, in time order (steps of the same time keep
// their order).
std::vector<tStep> ParseScenario(std::string_view text);
void SortSteps(std::vector<tStep>& steps);

}  // namespace servicesim
