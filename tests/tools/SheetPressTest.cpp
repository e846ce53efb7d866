#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "SimProcess.h"
#include "TempFolder.h"

using corvantest::RunToExit;
using corvantest::TempFolder;

namespace {

const std::string kSheetPress = CORVAN_SHEETPRESS_EXE;

// The checks a strict reader makes before it trusts the cross-reference table: the
// startxref offset points at "xref", and every in-use entry at its "N 0 obj".
void ExpectSoundXref(const std::string& pdf) {
  ASSERT_EQ(pdf.rfind("%PDF-1.", 0), 0u);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pdf, m, std::regex("startxref\n([0-9]+)\n%%EOF\n$")));
  const std::size_t xref = std::stoul(m[1]);
  ASSERT_EQ(pdf.compare(xref, 5, "xref\n"), 0);
  std::smatch head;
  const std::string table = pdf.substr(xref);
  ASSERT_TRUE(std::regex_search(table, head, std::regex("^xref\n0 ([0-9]+)\n")));
  const int count = std::stoi(head[1]);
  const std::size_t first = xref + static_cast<std::size_t>(head.length(0));
  for (int i = 1; i < count; ++i) {
    const std::string entry = pdf.substr(first + 20u * static_cast<unsigned>(i), 20);
    ASSERT_TRUE(std::regex_match(entry, std::regex("[0-9]{10} 00000 n \n"))) << entry;
    const std::string obj = std::to_string(i) + " 0 obj";
    EXPECT_EQ(pdf.compare(std::stoul(entry.substr(0, 10)), obj.size(), obj), 0) << "object " << i;
  }
}

// pdftotext's text of the sheet; fails the test when poppler complains about the file.
std::string PdfText(const std::string& file) {
  std::string err, out;
  EXPECT_EQ(RunToExit("/usr/bin/pdftotext", {"-layout", file, "-"}, &err, &out), 0);
  EXPECT_EQ(err, "");
  return out;
}

}  // namespace

TEST(SheetPress, WritesAOnePageSheetOfTheTaskTextBesideTheTaskFile) {
  TempFolder temp;
  ASSERT_EQ(::mkdir(temp.file("Task files").c_str(), 0777), 0);
  const std::string taskFile = temp.file("Task files/TASK-20131003-S1234-STT.txt");
  // Parentheses and a backslash are PDF string delimiters; 0xE9 is "é" in the task
  // files' code page.
  temp.write("Task files/TASK-20131003-S1234-STT.txt",
             "*CFSRES INC:S1234 03/10/13 14:05 RESPOND TREE DOWN (P2) 3 NORTH ESP \\ GLENELG "
             "NORTH MAP:ADL 128 D15, caf\xE9 TEST ONLY STT20\r\nSecond line\r\n");
  std::string out;
  ASSERT_EQ(RunToExit(kSheetPress, {taskFile}, nullptr, &out), 0);
  const std::string pdfFile = temp.file("Task files/TASK-20131003-S1234-STT.PDF");
  EXPECT_NE(out.find("wrote " + pdfFile), std::string::npos) << out;
  ASSERT_TRUE(temp.exists("Task files/TASK-20131003-S1234-STT.PDF"));
  ExpectSoundXref(temp.read("Task files/TASK-20131003-S1234-STT.PDF"));

  std::string info;
  ASSERT_EQ(RunToExit("/usr/bin/pdfinfo", {pdfFile}, nullptr, &info), 0);
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  const std::string text = PdfText(pdfFile);
  EXPECT_NE(text.find("TASK SHEET"), std::string::npos);
  EXPECT_NE(text.find("TASK-20131003-S1234-STT.txt"), std::string::npos);
  // The long page line is wrapped at a blank, and every byte comes back.
  EXPECT_NE(text.find("*CFSRES INC:S1234 03/10/13 14:05 RESPOND TREE DOWN (P2) 3 NORTH ESP \\ GLENELG\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("NORTH MAP:ADL 128 D15, caf\xC3\xA9 TEST ONLY STT20\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Second line"), std::string::npos);
}

TEST(SheetPress, AnOverlongTaskStaysOnOnePageAndSaysWhatWasLeftOut) {
  TempFolder temp;
  std::string task;
  for (int i = 1; i <= 200; ++i) task += "line " + std::to_string(i) + "\n";
  temp.write("TASK-long.txt", task);
  ASSERT_EQ(RunToExit(kSheetPress, {temp.file("TASK-long.txt")}), 0);
  std::string info;
  ASSERT_EQ(RunToExit("/usr/bin/pdfinfo", {temp.file("TASK-long.PDF")}, nullptr, &info), 0);
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  const std::string text = PdfText(temp.file("TASK-long.PDF"));
  EXPECT_NE(text.find("line 1\n"), std::string::npos);
  EXPECT_EQ(text.find("line 200"), std::string::npos);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(line ([0-9]+)\s+\.\.\. ([0-9]+) more lines not shown)")))
      << text;
  EXPECT_EQ(std::stoi(m[1]) + std::stoi(m[2]), 200);
}

TEST(SheetPress, SheetNameIsTaskPlusTheTaskFileNameWithPdfExtension) {
  const struct {
    const char* task;
    const char* sheet;
  } cases[] = {
      {"TASK-20131003-S1234-STT.txt", "TASK-20131003-S1234-STT.PDF"},
      {"task-abc.TXT", "TASK-abc.PDF"},  // the prefix is not doubled in another case
      {"note.txt", "TASK-note.PDF"},
      {"TASK-a.b.txt", "TASK-a.b.PDF"},  // only the last extension goes
      {"noextension", "TASK-noextension.PDF"},
  };
  for (const auto& c : cases) {
    TempFolder temp;
    temp.write(c.task, "*CFSRES INC:S1 TEST");
    EXPECT_EQ(RunToExit(kSheetPress, {temp.file(c.task)}), 0) << c.task;
    EXPECT_TRUE(temp.exists(c.sheet)) << c.task << " -> " << c.sheet;
  }
}

TEST(SheetPress, RefusesBadArgumentsAndMissingFiles) {
  TempFolder temp;
  temp.write("TASK-a.txt", "x");
  const struct {
    std::vector<std::string> args;
    int code;
    const char* message;
  } cases[] = {
      {{}, 2, "expects exactly one task file name"},
      {{temp.file("TASK-a.txt"), temp.file("TASK-a.txt")}, 2, "expects exactly one task file name"},
      {{temp.file("TASK-missing.txt")}, 1, "no task file"},
      {{temp.path()}, 1, "no task file"},  // a folder is no task file
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(RunToExit(kSheetPress, c.args, &err), c.code) << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
  EXPECT_FALSE(temp.exists("TASK-a.PDF"));
  EXPECT_FALSE(temp.exists("TASK-missing.PDF"));

  // Asked for, the usage is an answer, not a refusal.
  std::string out;
  EXPECT_EQ(RunToExit(kSheetPress, {"--help"}, nullptr, &out), 0);
  EXPECT_TRUE(out.starts_with("usage: SheetPress.exe TASKFILE")) << out;
}
