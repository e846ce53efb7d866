#pragma once
// Which program folder corvanctl works on when it is run from anywhere, for example as
// /usr/bin/corvanctl, a link to the installed /opt/corvan/corvanctl.
#include <string>

namespace corvanctl {

struct tFolderChoice {
  std::string Folder;  // as given or found, not yet checked
  std::string Origin;  // for messages: where the folder came from; empty for --folder
};

// --folder DIR when given; else $CORVAN_FOLDER when set and not empty (Environment); else
// the folder of this program's own file after resolving links, as the control panel
// finds its folder: the target of ExeLink (/proc/self/exe), or, where that cannot be read
// (no /proc), of Argv0, the name the program was started by. Throws EFailure saying what
// it tried when none of them leads to a file.
tFolderChoice ChooseProgramFolder(const std::string& Given, const char* Environment, const std::string& ExeLink,
                                  const std::string& Argv0);
// The same for this process.
tFolderChoice ChooseProgramFolder(const std::string& Given);

// Makes the chosen folder the working folder, as the panel's start-up does with its own
// (the libraries write and count files in the working folder), and returns it absolute,
// ending with "/". Throws EFailure naming the folder and where it came from.
std::string EnterProgramFolder(const tFolderChoice& Choice);

}  // namespace corvanctl
