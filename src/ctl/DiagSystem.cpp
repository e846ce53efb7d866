#include "ctl/DiagSystem.h"

#include <archive.h>
#include <curl/curl.h>
#include <gnu/libc-version.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <QtGlobal>
#include <set>
#include <sstream>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "ctl/DiagFolder.h"
#include "support/BoundedRead.h"
#include "support/Counterparts.h"
#include "support/FileVersion.h"
#include "support/HostName.h"
#include "support/ProcessCount.h"

namespace corvanctl {

namespace {

constexpr std::size_t kOsReleaseLimit = 64 * 1024;
// /proc/self/maps of a program with a few dozen libraries is a few tens of KB.
constexpr std::size_t kMapsLimit = 4 * 1024 * 1024;

void Line(std::ostream& Out, const std::string& Name, const std::string& Value) {
  Out << Name << '=' << EscapeValue(Value) << '\n';
}

// The value of one os-release line, NAME="quoted value" or NAME=value.
std::string OsReleaseValue(const std::string& Text, const std::string& Name) {
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with(Name + "=")) continue;
    std::string value = line.substr(Name.size() + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return {};
}

// The files of the shared libraries mapped into this process, by their real names, which
// carry their full versions (libQt6Core.so.6.4.2).
std::set<std::string> LoadedLibraries() {
  std::set<std::string> libraries;
  const brix32::tBoundedRead maps = brix32::ReadBoundedFile("/proc/self/maps", kMapsLimit);
  std::istringstream in(maps.Data);
  for (std::string line; std::getline(in, line);) {
    const std::size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string path = line.substr(slash);
    if (path.find(".so") != std::string::npos) libraries.insert(path);
  }
  return libraries;
}

// The arguments as a shell would need them typed: one with a blank, a quote or nothing in
// it is put in single quotes.
std::string CommandLineText(const std::vector<std::string>& Arguments) {
  std::string line;
  for (const std::string& arg : Arguments) {
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t'\"\\$") == std::string::npos) {
      line += arg;
      continue;
    }
    line += '\'';
    for (const char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

}  // namespace

std::string SystemReportText(const std::string& Folder, std::int64_t Now) {
  std::ostringstream out;
  Line(out, "Created", IsoTimeText(Now));
  Line(out, "CorvanCtlVersion", brix32::FileVersion2(""));
  Line(out, "HostName", brix32::GetHostName());
  Line(out, "Folder", Folder);

  utsname system{};
  if (::uname(&system) == 0)
    Line(out, "Kernel",
         std::string(system.sysname) + " " + system.release + " " + system.version + " " + system.machine);
  Line(out, "OS", OsReleaseValue(OsReleaseText(), "PRETTY_NAME"));

  Line(out, "Library.glibc", gnu_get_libc_version());
  Line(out, "Library.Qt", qVersion());
  Line(out, "Library.libcurl", curl_version());
  Line(out, "Library.libarchive", archive_version_details());
  int i = 0;
  for (const std::string& library : LoadedLibraries()) Line(out, "Loaded[" + std::to_string(i++) + "]", library);

  struct statvfs space {};
  if (::statvfs(Folder.c_str(), &space) == 0) {
    const auto unit = static_cast<unsigned long long>(space.f_frsize);
    out << "FreeSpace.Bytes=" << space.f_bavail * unit << '\n'
        << "FreeSpace.TotalBytes=" << space.f_blocks * unit << '\n'
        << "FreeSpace.Inodes=" << space.f_favail << '\n'
        << "FreeSpace.TotalInodes=" << space.f_files << '\n';
  }
  return out.str();
}

std::string OsReleaseText() {
  for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
    const brix32::tBoundedRead read = brix32::ReadBoundedFile(file, kOsReleaseLimit);
    if (read.Ok()) return read.Data;
  }
  return {};
}

std::string ProcessesReportText() {
  std::ostringstream out;
  const struct {
    const char* Label;
    std::string_view Program;
  } programs[] = {{"Service", Counterparts::kServiceExeName}, {"Panel", kControlProgramName}};
  for (const auto& program : programs) {
    const std::vector<brix32::tProcessInfo> found = brix32::ProcessesOf(program.Program);
    out << program.Label << "Count=" << found.size() << '\n';
    for (std::size_t i = 0; i < found.size(); ++i) {
      const brix32::tProcessInfo& p = found[i];
      const std::string n = std::string(program.Label) + "[" + std::to_string(i) + "].";
      out << n << "PID=" << p.Pid << '\n';
      Line(out, n + "User", UserName(p.Uid));
      Line(out, n + "Started", p.Started > 0 ? IsoTimeText(p.Started) : std::string());
      Line(out, n + "CommandLine", CommandLineText(p.Arguments));
    }
  }
  return out.str();
}

}  // namespace corvanctl
