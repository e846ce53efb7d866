#pragma once
// Whole-file reads and writes. Neither writes an exception report: the report writer
// itself writes through WriteTextFile.
#include <cstdint>
#include <string>
#include <string_view>

namespace brix32 {

// The file's bytes, unchanged. A missing file leaves Data as it was; a file that cannot
// be read (locked, vanished, a folder) makes Data empty.
void FileToBin(const std::string& FileName, std::string& Data);
// Convenience for the common call with an empty Data.
std::string FileToBin(const std::string& FileName);

// 0 written; -1 nothing to write (the file is left alone); -5 any error.
std::int32_t WriteTextFile(std::string_view Text, const std::string& FileName, bool bAppend);

// Replaces FileName through a temporary file in the same folder and a rename, so that a
// failed write leaves the previous content whole. 0 written, -1 empty text, -5 error.
std::int32_t WriteTextFileAtomic(std::string_view Text, const std::string& FileName);

// The folder's entry whose name equals Name ignoring the case of a..z, exact match first;
// Name itself when there is none. Files shared with the service keep their Windows names.
std::string ResolveNameIgnoringCase(const std::string& Folder, const std::string& Name);

}  // namespace brix32
