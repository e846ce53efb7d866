#pragma once
// The file version of a program, from the version note our build embeds in it.
#include <string>

namespace brix32 {

// "major.minor.release.build" of FileName; an empty FileName means this program's own
// file. Empty text for a file without the note, one that cannot be read, or an error.
std::string FileVersion2(const std::string& FileName);

}  // namespace brix32
