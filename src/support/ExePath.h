#pragma once
// The program folder: where the executable lives, shared with the service.
#include <string>

namespace brix32 {

// The folder of the running program's own file (/proc/self/exe), ending with "/".
// Symbolic links are resolved; empty after an error.
std::string GetEXEPath();

// Makes the program folder the working folder and stores it in gGlobalSettings.Path.
// When the folder cannot be entered (deleted while running, no permission) the result is
// "Error - " followed by the folder, and gGlobalSettings is left alone.
std::string SetPathToEXEPath();

}  // namespace brix32
