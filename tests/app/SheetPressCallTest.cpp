// The one command line given to /bin/sh, run by a real shell; and which task file seeds
// the task dialog.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempFolder.h"
#include "app/SheetPressCall.h"
#include "app/TaskFiles.h"
#include "support/DosOutput.h"

using namespace MainForm;

namespace {

// Names a shell would split, expand or run, each trying to create a marker file.
const char* const kHostileNames[] = {
    "plain.TXT",
    "with blank.TXT",
    "it's.TXT",
    "''.TXT",
    "\"double\" quoted.TXT",
    "$(touch m1).TXT",
    "`touch m2`.TXT",
    "a;touch m3;.TXT",
    "line\ntouch m4\n.TXT",
    "$HOME ${PATH} $1 $@ $$.TXT",
    "back\\slash\\'.TXT",
    "'; touch m5; echo '.TXT",
    "a && touch m6 || touch m7 & > m8 < x | cat.TXT",
    "*.TXT",
    "~/tilde.TXT",
    "-n.TXT",
    "",
};

}  // namespace

TEST(QuoteForShell, TheShellReadsEveryNameBackUnchangedAndRunsNothing) {
  corvantest::TempFolder dir;
  for (const std::string name : kHostileNames) {
    const std::string out = brix32::GetDosOutput("printf '%s' " + QuoteForShell(name), true, dir.path());
    EXPECT_EQ(out, name);
  }
  for (const char* marker : {"m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"})
    EXPECT_FALSE(dir.exists(marker)) << marker << " was run";
}

TEST(SheetPressCommandLine, TheProgramGetsTheNameAsItsOnlyArgument) {
  corvantest::TempFolder dir;
  // A program folder whose own name needs quoting too.
  const std::string folder = dir.file("Corvan's $(touch m0) folder/");
  std::filesystem::create_directory(folder);
  const std::string program = folder + "SheetPress.exe";
  dir.write("Corvan's $(touch m0) folder/SheetPress.exe", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\"\n");
  ::chmod(program.c_str(), 0755);
  for (const std::string name : kHostileNames) {
    const std::string task = folder + name;
    EXPECT_EQ(brix32::GetDosOutput(SheetPressCommandLine(program, task), true, folder), "1|" + task + "|");
  }
  for (const char* marker : {"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8"}) {
    EXPECT_FALSE(dir.exists(marker)) << marker << " was run";
    EXPECT_FALSE(std::filesystem::exists(folder + marker)) << marker << " was run";
  }
}

TEST(TaskFiles, NamesMatchedAsWindowsMatchesThem) {
  const struct {
    const char* name;
    bool task;
  } cases[] = {
      {"TASK-20220620-S9000.TXT", true},
      {"task-20220620-s9000.txt", true},
      {"Task-x.Txt", true},
      {"TASK-.TXT", true},
      {"TASK.TXT", false},
      {"TASK-1.TXT.bak", false},
      {"XTASK-1.TXT", false},
      {"TASK-1.PDF", false},
      {"TASK-TXT", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTaskTextFileName(c.name), c.task) << c.name;
}

TEST(TaskFiles, TheSeedIsTheLastEntryUnlessTheFirstIsAFolder) {
  corvantest::TempFolder dir;
  EXPECT_EQ(TaskFileToSeed(dir.path()), std::nullopt);
  dir.write("NOTES.TXT", "x");
  EXPECT_EQ(TaskFileToSeed(dir.path()), std::nullopt);

  // A lone folder of that name is taken (its text reads as empty).
  std::filesystem::create_directory(dir.file("TASK-folder.TXT"));
  EXPECT_EQ(TaskFileToSeed(dir.path()), dir.file("TASK-folder.TXT"));
  std::filesystem::remove(dir.file("TASK-folder.TXT"));

  for (const char* name : {"TASK-1.TXT", "task-2.txt", "TASK-3.TXT"}) dir.write(name, name);
  std::string first, last;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name == "NOTES.TXT") continue;
    if (first.empty()) first = name;
    last = name;
  }
  EXPECT_EQ(TaskFileToSeed(dir.path()), dir.file(last));
  EXPECT_NE(first, last);
}

TEST(TaskFiles, DialogLinesBecomeCrLfLines) {
  EXPECT_EQ(TaskFileText("one\ntwo\n\nthree"), "one\r\ntwo\r\n\r\nthree");
  EXPECT_EQ(TaskFileText(""), "");
}
