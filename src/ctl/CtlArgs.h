#pragma once
// The command line of corvanctl: global options, one command, its options and arguments.
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvanctl {

inline constexpr int kExitOK = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A bad command line: the message goes to standard error with a pointer to --help.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command that could not do its work.
class EFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct tCommandSpec {
  const char* Name;
  std::vector<std::string> ValueOptions;  // "--units" FILE
  std::vector<std::string> Flags;         // "--json"
  const char* Help;
};

// Every command with its options and help text.
const std::vector<tCommandSpec>& Commands();
const tCommandSpec* FindCommand(const std::string& Name);
// The general help: usage, the commands and the exit statuses.
std::string GeneralHelp();

struct tArgs {
  std::string Folder;  // empty: not given (ChooseProgramFolder decides)
  bool Help = false;
  std::string Command;  // empty when none was given
  std::vector<std::string> Positional;
  std::map<std::string, std::string> Options;
  std::set<std::string> Flags;
};

// "--folder DIR" and "-h"/"--help" anywhere, the command, then its own options ("--name
// VALUE" or "--name=VALUE") and arguments; "--" ends the options, and "-" or a negative
// number is an argument. Throws EUsage.
//
// Written here rather than with QCommandLineParser, which knows one flat set of options:
// corvanctl's options belong to their command (an option of another command is refused
// naming the command), "settings set UDPListenPort -1" must take "-1" as a value where
// QCommandLineParser reads an unknown option "-1", and its own messages and help would
// change what scripts, the manual page and the completion rely on.
tArgs ParseArgs(const std::vector<std::string>& Args);

}  // namespace corvanctl
