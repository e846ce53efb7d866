#pragma once
#include <string>

namespace brix32 {

// Opens FileName with the desktop's associated program (xdg-open, started directly with
// the name as its one argument, no shell). The outcome is not checked or reported.
void DisplayFile(const std::string& FileName);

}  // namespace brix32
