#pragma once
// The hostile-folder tables: every file the programs read or write in the program folder,
// by the name they use on a given day, and the folder outside it that a planted link
// points into, which nothing may ever write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>
#include <string>
#include <vector>

#include "Hostile.h"
#include "TempFolder.h"
#include "support/DateTime.h"

namespace corvantest {

struct tFolderFile {
  std::string Name;
  const char* What;  // for the row's name and its failure messages
};

// The names on the day of `Now`: the event log, the data-source picture, the "U!" copies
// of the test page (incident 9000), the task file of the test page and the exception
// reports of `SelfName` (written at `Now` to the millisecond) carry the date.
std::vector<tFolderFile> FolderFiles(brix32::TDateTime Now, const std::string& SelfName);

// A row of a table: the file at index File of the table's files, replaced by Kind.
struct tHostileRow {
  std::size_t File;
  std::string What;  // the file's What
  tPlanted Kind;
};
// Every file of Files with every kind, file by file.
std::vector<tHostileRow> HostileRows(const std::vector<tFolderFile>& Files);
// "settings file as a FIFO", in failure messages and, as letters, digits and "_", in the
// names of the tests.
void PrintTo(const tHostileRow& Row, std::ostream* Out);
std::string HostileRowName(const ::testing::TestParamInfo<tHostileRow>& Info);

// The name of the file that is `What` among Files.
std::string NameOf(const std::vector<tFolderFile>& Files, const std::string& What);

// The test page the dummy page file starts with: an unknown suburb, incident 9000,
// claimed by the unit STT.
std::string TestPageText(brix32::TDateTime Now);

// The folder as a running station keeps it, so that a clean run reads every kind of file
// the table replaces: the units file (the unit STT), the panel's settings (a vendor feed
// limit of 7 minutes), the service's version, status and message, a TCP heartbeat with a
// going count, and SheetPress's version.
void WriteServiceFiles(const TempFolder& Folder);

// The service's settings file: what cannot be read is never replaced. When Name is that
// file, the entry planted at Path (other than a link out of the folder, whose target a
// row may rightly change) is still what lstat saw when it was planted.
void ExpectSettingsFileKept(const std::string& Name, tPlanted Kind, const std::string& Path, const struct stat& Planted,
                            const std::string& Where);

// A folder outside the program folder: the target of planted links, a file there to be
// read through a link, and a name there that a dangling link points to.
class OutsideFolder {
 public:
  OutsideFolder();
  // What a link of that kind points to; empty for the kinds that are no links.
  std::string Target(tPlanted Kind) const;
  // Plants Kind at Path, its links pointing here.
  void PlantAt(tPlanted Kind, const std::string& Path) const;
  // What changed here since the start, one line each; empty when nothing did.
  std::string Changes() const;

  static constexpr const char* kSecret = "SECRET from outside the program folder";

 private:
  TempFolder folder_;
  std::string snapshot_;
};

}  // namespace corvantest
