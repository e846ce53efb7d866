#include "ctl/ProgramFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ctl/CtlArgs.h"

namespace corvanctl {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolderHint = "; give --folder DIR or set CORVAN_FOLDER";

tFolderChoice FolderOfProgram(const std::string& File) {
  return {File.substr(0, File.rfind('/') + 1), "the folder of the program " + File};
}

// The file a chain of links ends in, or, when the chain breaks, the first target that
// does not exist, resolved against the folder of the link that names it.
std::string LastTarget(fs::path Path) {
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(Path, ec)) break;
    const fs::path target = fs::read_symlink(Path, ec);
    if (ec) break;
    Path = target.is_absolute() ? target : Path.parent_path() / target;
  }
  return Path.lexically_normal().string();
}

}  // namespace

tFolderChoice ChooseProgramFolder(const std::string& Given, const char* Environment, const std::string& ExeLink,
                                  const std::string& Argv0) {
  if (!Given.empty()) return {Given, ""};
  if (Environment && *Environment) return {Environment, "CORVAN_FOLDER"};
  // A program replaced or removed while running (an upgrade) reads as "<file> (deleted)";
  // its folder is the same.
  std::error_code ec;
  const fs::path exe = fs::read_symlink(ExeLink, ec);
  if (!ec && exe.is_absolute()) return FolderOfProgram(exe.string());

  const std::string noExe = "cannot find the program folder: " + ExeLink + " cannot be read";
  if (Argv0.find('/') == std::string::npos)
    throw EFailure(noExe + " and the program was started as '" + Argv0 + "'" + kFolderHint);
  const fs::path program = fs::canonical(Argv0, ec);
  if (!ec) return FolderOfProgram(program.string());
  const std::string target = LastTarget(Argv0);
  throw EFailure(noExe + ", and " + Argv0 + " leads to " + target + ", which does not exist (tried the folder " +
                 FolderOfProgram(target).Folder + ")" + kFolderHint);
}

tFolderChoice ChooseProgramFolder(const std::string& Given) {
  return ChooseProgramFolder(Given, std::getenv("CORVAN_FOLDER"), "/proc/self/exe", program_invocation_name);
}

std::string EnterProgramFolder(const tFolderChoice& Choice) {
  const std::string& given = Choice.Folder;
  const std::string origin = Choice.Origin.empty() ? "" : " (" + Choice.Origin + ")";
  const std::string hint = Choice.Origin.empty() ? "" : kFolderHint;
  std::error_code ec;
  const fs::path path = fs::canonical(given, ec);
  if (ec) throw EFailure("cannot open the folder " + given + origin + ": " + ec.message() + hint);
  if (!fs::is_directory(path)) throw EFailure(given + origin + " is not a folder" + hint);
  if (::chdir(path.c_str()) != 0)
    throw EFailure("cannot enter the folder " + path.string() + origin + ": " + std::strerror(errno) + hint);
  std::string folder = path.string();
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace corvanctl
