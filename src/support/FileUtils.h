#pragma once
// Whole-file reads and writes. Neither writes an exception report: the report writer
// itself writes through WriteTextFile.
//
// The program folder is shared with a service that runs under another account, so every
// name in it may be a link, a FIFO or a device put there by someone else. Reads go
// through ReadBoundedFile (regular files only, non-blocking, limited); writes never
// follow a link, never write into anything but a regular file with one name, and give
// the group of a set-group-ID folder the owner's access, so that every member of the
// group can still write what we wrote.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/BoundedRead.h"

namespace brix32 {

// What FileToBin reads at most when the caller names no limit: the largest file the
// program reads, the units file.
inline constexpr std::size_t kFileToBinLimit = 64 * 1024 * 1024;

// The file's bytes, unchanged. A missing file leaves Data as it was; anything that cannot
// be read (locked, vanished, a folder, a FIFO or device, larger than MaxBytes, a link
// when links are refused) makes Data empty.
void FileToBin(const std::string& FileName, std::string& Data, std::size_t MaxBytes = kFileToBinLimit,
               tLinkRule Links = tLinkRule::Follow);
// Convenience for the common call with an empty Data.
std::string FileToBin(const std::string& FileName, std::size_t MaxBytes = kFileToBinLimit,
                      tLinkRule Links = tLinkRule::Follow);

// Writes into the file in place: appends, or replaces its content. A missing file is
// created with the mode a plain create gives. A link, or anything but a regular file with
// one name, is refused (-5). 0 written; -1 nothing to write (the file is left alone); -5
// any error, and then errno says why.
std::int32_t WriteTextFile(std::string_view Text, const std::string& FileName, bool bAppend);

// Replaces FileName through a temporary file in the same folder (FileName + "." + six
// letters or digits) and a rename, so that a failed or interrupted write leaves the
// previous content whole; then syncs the folder, so that the new name survives a power
// cut. A link of that name is replaced, never followed. The new file keeps the group and
// mode of the regular file it replaces; without one it gets the mode a plain create gives.
// 0 written, -1 empty text, -5 error (errno says why).
std::int32_t WriteTextFileAtomic(std::string_view Text, const std::string& FileName);

// Writes Text to FileName only when no entry of that name exists, never replacing one
// that appeared meanwhile: the text goes to a temporary file beside it, which is then
// linked to the name (a link fails where the name exists, a dangling link included).
// The new file has the mode a plain create gives; the folder is synced. 0 created; 1 an
// entry of that name exists and was left as it was; -1 nothing to write; -5 any other
// error (errno says why).
std::int32_t CreateTextFileExclusive(std::string_view Text, const std::string& FileName);

// A file written piece by piece that takes its name only when complete: the pieces go to
// a locked temporary beside FileName (FileName + "." + six letters or digits, as those of
// WriteTextFileAtomic), which Commit syncs and renames to FileName, replacing a link of
// that name rather than following it, and then syncs the folder. Without Commit, the
// temporary is removed again: an interrupted or failed write leaves no part of a file.
class tReplacingFile {
 public:
  // The new file gets exactly Mode (permission bits).
  tReplacingFile(const std::string& FileName, mode_t Mode);
  ~tReplacingFile();
  tReplacingFile(const tReplacingFile&) = delete;
  tReplacingFile& operator=(const tReplacingFile&) = delete;

  // False (and errno says why) when the temporary could not be made.
  explicit operator bool() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& TemporaryName() const { return temp_; }
  // 0 the file has its name; -5 it has not, and the temporary is gone (errno says why).
  std::int32_t Commit();

 private:
  void Abandon();

  std::string name_;
  std::string temp_;
  int fd_ = -1;
};

// The folder's entry whose name equals Name ignoring the case of a..z, exact match first;
// Name itself when there is none. Files shared with the service keep their Windows names.
std::string ResolveNameIgnoringCase(const std::string& Folder, const std::string& Name);

}  // namespace brix32
