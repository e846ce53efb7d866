#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "ProcessState.h"
#include "ScratchFolder.h"
#include "pager/VEKRecords.h"
#include "settings/CorvanSettings.h"

using namespace VEKLib;
using brix32::EncodeDateTime;

namespace {

brix32::TDateTime Date(int y, int m, int d, int h = 0, int n = 0) { return EncodeDateTime({y, m, d, h, n, 0, 0}); }

}  // namespace

TEST(RCtoStr, EveryCodeOfTheTableLetterForLetter) {
  struct Case {
    std::int32_t code;
    const char* text;
  } table[] = {
      {0, "OK"},
      {1, "Added"},
      {2, "Updated"},
      {3, "Task printed"},
      {4, "Nil action"},
      {5, "OK - No sumplemtry attributes"},
      {6, "Loaded"},
      {7, "Loaded from ZIRPages Table"},
      {8, "Loaded from Reports Table"},
      {10, "Going"},
      {11, "ACK ADL Fire"},
      {12, "Crew mobile"},
      {13, "On scene"},
      {14, "Cleared MFS"},
      {15, "Departed LHQ"},
      {16, "RFA Cleared with Adelaide Fire"},
      {17, "RFA Stopped"},
      {18, "Completed"},
      {19, "Defaulted to another unit"},
      {20, "RFA Completed VEKIIMs"},
      {21, "Removed"},
      {22, "ADL Fire notified"},
      {23, "No task/Pending"},
      {24, "Defaulted from unit"},
      {25, "No crew attached"},
      {-1, "Fail"},
      {-2, "Invalid password"},
      {-3, "Not active"},
      {-4, "Not found"},
      {-5, "Invalid"},
      {-7, "Not logged in"},
      {-8, "Failed to update"},
      {-9, "Deadlock"},
      {-10, "DBpath not set"},
      {-11, "No priority"},
      {-12, "Unknown VEK unit"},
      {-13, "Unknown incident no."},
      {-14, "Invalid incident no."},
      {-15, "Invalid ZIR date"},
      {-16, "Unknown suburb"},
      {-17, "Unknown incident type"},
      {-18, "Empty string"},
      {-19, "Info packet"},
      {-20, "Unkown task type"},
      {-21, "Permission denied"},
      {-22, "Unknown attribute"},
      {-23, "No data"},
      {-24, "Data ignored"},
      {-25, "VEK units not loaded"},
      {-26, "Unit mismatch"},
      {-27, "Already processed"},
      {-28, "Printing disabled"},
      {-29, "No default printer"},
      {-30, "Suburbs not loaded"},
      {-31, "Unable to delete file"},
      {-32, "Unable to connecto to DB"},
      {-33, "Undefined"},
      {-34, "Cannot find file"},
      {-35, "Corrupt pager message"},
      {-36, "No printer"},
      {-37, "Invalid Date/Time"},
      {-38, "Incident no. is 0"},
      {-39, "Report record not updated"},
      {-40, "No task ID. (Ie ID=0)"},
      {-41, "No ZIR Page record. (Task.ZIRPage.ID=0)"},
      {-42, "No report record. (Task.Report.ID=0)"},
      {-43, "No Crew ID (CrewID=0)"},
      {-44, "Members not loaded"},
      {-45, "Failed. UpdatesPending"},
      {-46, "Address is a boat ramp"},
      {-47, "Violation of PRIMARY or UNIQUE KEY"},
      {-48, "Null record"},
      {-49, "Invalid member"},
      {-50, "Manual Entry"},
      {-51, "Invalid Road/Suburb"},
      {-99, "Exception"},
      {-501, "Invalid Address (Unable to Relay)"},
      {-530, "Authentication required."},
      {-535, "SMTP Authentication unsuccesful"},
      {-550, "Unknown user (Unable to Relay)"},
      {-600, "No SMTP IP set"},
      {-601, "No to address specified"},
      {-602, "Mal formed to address - 1"},
      {-603, "Mal formed to address - 2"},
      {-604, "Mal formed to address - 3"},
      {-605, "Error connecting to SMTP server"},
      {-606, "Service not available"},
      {-699, "Unknown SMTP error"},
      {-10011, "Host not found"},
      {-10054, "Connection reset by peer"},
      {-10060, "Connection timeout"},
      {-10061, "SMTP Err -10061"},
      {-11001, "Connection refused"},
      {-11004, "SMTP Err -11004"},
  };
  ASSERT_EQ(std::size(table), 94u);
  for (const auto& c : table) EXPECT_EQ(RCtoStr(c.code), c.text) << c.code;
}

TEST(RCtoStr, CodesOutsideTheTableGetDefaultTexts) {
  struct Case {
    std::int32_t code;
    const char* text;
  } cases[] = {
      {-6, "Fail (iRC=-6)"},
      {9, "Record Count (iRC=9)"},
      {26, "Record Count (iRC=26)"},
      {-100, "Fail (iRC=-100)"},
      {-52, "Fail (iRC=-52)"},
      {-10010, "Fail (iRC=-10010)"},
      {std::numeric_limits<std::int32_t>::min(), "Fail (iRC=-2147483648)"},
      {std::numeric_limits<std::int32_t>::max(), "Record Count (iRC=2147483647)"},
  };
  for (const auto& c : cases) EXPECT_EQ(RCtoStr(c.code), c.text) << c.code;
  EXPECT_EQ(MakeRC(-30), (tRC{-30, "Suburbs not loaded"}));
}

TEST(ResetRules, NullZIRPageRecKeepsRawTextAndResult) {
  tZIRPageRec page;
  page.ID = 7;
  page.CapCode = 1234567;
  page.DateTime = 44000.5;
  page.Comment = "==C";
  page.MapRef = "ADL 1";
  page.MFSIncNo = 9000;
  page.Priority = 2;
  page.RawText = "raw";
  page.VEK = true;
  page.VEKUnit = "EAS";
  page.Street = "3 NORTH ESP";
  page.Suburb = "GLENELG";
  page.TaskType = "TREE DOWN";
  page.RC = MakeRC(-16);
  NullZIRPageRec(page);
  tZIRPageRec expected;
  expected.RawText = "raw";
  expected.RC = MakeRC(-16);
  EXPECT_EQ(page, expected);
}

TEST(ResetRules, NullReportClearsParsedFieldsAndKeepsTheRest) {
  tReportRec report;
  report.ID = 82239000;
  report.RC = MakeRC(0);
  report.AirPressure = 1013;
  report.AttachedVEKUnits = "EAS.";
  report.Council = "Holdfast";
  report.LAT = -34.9;
  report.LNG = 138.5;
  report.MFSCleared = true;
  report.PCode = 5045;
  report.Temp = 21.5;
  report.WeatherDesc = "Rain";
  report.WeatherLocation = "Adelaide";
  report.WindSpeed = 12.5;
  report.WindDirection = "SW";
  report.ZoneName = "Zone 3";
  report.DutyOfficerInitials = "JB";
  tReportRec expected = report;
  NullReport(report);
  expected.RC = {-4, "Not found"};
  expected.AttachedVEKUnits.clear();
  expected.ZoneName.clear();
  expected.LAT = 0;
  expected.LNG = 0;
  expected.MFSCleared = false;
  expected.PCode = 0;
  EXPECT_EQ(report, expected);
}

TEST(GetIDFromDateAndMFSIncNo, Cases) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::int32_t incident;
    bool vek;
    brix32::TDateTime date;
    std::int32_t expected;
  } cases[] = {
      {-1, true, Date(2022, 6, 20), -1},
      {-1, false, 0, -1},
      {-14, false, nan, -14},
      {5, true, 0, -37},
      {5, true, -3, -37},
      {5, true, nan, -37},
      {1, false, Date(2001, 1, 1), 3675001},
      {9000, true, Date(2022, 6, 20), 82239000},
      {9000, false, Date(2022, 6, 20), 82244000},
      {9000, true, Date(2022, 6, 20, 23, 59), 82239000},  // the time of day plays no part
      {0, true, Date(2024, 12, 31), 24 * 3660000 + 366 * 10000},
      {9000, true, Date(1999, 1, 1), -3641000},
      // 32-bit wrap: 587 * 3,660,000 + 10,000 passes 2^31.
      {0, true, Date(2587, 1, 1), -2146537296},
      {std::numeric_limits<std::int32_t>::max(), true, Date(2022, 6, 20), -2065253649},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetIDFromDateAndMFSIncNo(c.incident, c.vek, c.date), c.expected) << c.incident << " " << c.date;
}

TEST(TaskFileName, Cases) {
  struct Case {
    std::int32_t incident;
    bool vek;
    brix32::TDateTime date;
    const char* zone;
    const char* extension;
    bool useZone;
    const char* expected;
  } cases[] = {
      {9000, true, Date(2022, 6, 20), "", "TXT", false, "TASK-20220620-S9000.TXT"},
      {42, false, Date(2023, 3, 5), "", "pdf", false, "TASK-20230305-C0042.PDF"},
      {42, false, Date(2023, 3, 5), "", "", false, "TASK-20230305-C0042"},
      {42, false, Date(2023, 3, 5), "", ".txt", false, "TASK-20230305-C0042.TXT"},
      {123456, true, Date(2023, 3, 5, 14, 30), "", "TXT", false, "TASK-20230305-S123456.TXT"},
      {0, true, Date(2023, 3, 5), "", "TXT", false, ""},
      {42, true, 0.99, "", "TXT", false, ""},
      {42, true, 0, "", "TXT", false, ""},
      {42, true, 1.0, "", "TXT", false, "TASK-18991231-S0042.TXT"},
      {-1, false, Date(2023, 3, 5), "", "TXT", false, "TASK-20230305-C-0001.TXT"},
      {42, false, Date(2023, 3, 5), "Zone 3: North.", "TXT", true, "TASK-20230305-C0042-ZONE3-NORTH.TXT"},
      {42, false, Date(2023, 3, 5), "Zone 3: North.", "pdf", true, "TASK-20230305-C0042-ZONE3-NORTH.PDF"},
      {42, false, Date(2023, 3, 5), "Zone 3: North.", "TXT", false, "TASK-20230305-C0042.TXT"},
      {42, false, Date(2023, 3, 5), "", "TXT", true, "TASK-20230305-C0042.TXT"},
      {42, false, Date(2023, 3, 5), " . ", "TXT", true, "TASK-20230305-C0042.TXT"},
      // Without an extension there is nothing for the zone to stand before.
      {42, false, Date(2023, 3, 5), "North", "", true, "TASK-20230305-C0042"},
  };
  for (const auto& c : cases) {
    tTaskRec task;
    task.ZIRPage.MFSIncNo = c.incident;
    task.ZIRPage.VEK = c.vek;
    task.ZIRPage.DateTime = c.date;
    task.Report.ZoneName = c.zone;
    EXPECT_EQ(TaskFileName(task, c.extension, c.useZone), c.expected)
        << c.incident << " " << c.extension << " " << c.zone;
  }
}

class FileCounters : public ::testing::Test {
 protected:
  void touch(const std::string& name) { scratch.folder().write(name, "x"); }
  void mkdir(const std::string& name) { std::filesystem::create_directory(scratch.folder().file(name)); }

  corvantest::ProcessStateGuard processState;
  corvantest::InScratchFolder scratch;
};

TEST_F(FileCounters, CountMatchingFilesIgnoringCaseButNotFolders) {
  for (const char* name : {"D!a.txt", "d!b", "D!c.XML", "DX.txt", "xD!y"}) touch(name);
  mkdir("D!folder");
  for (const char* name : {"Task1.PDF", "TASK-20230305-C0042.pdf", "task.pdf.bak", "MyTask.PDF"}) touch(name);
  mkdir("TaskFolder.PDF");
  SetVEKDebugFileCount();
  SetTaskPDFFileCount();
  EXPECT_EQ(Lib::gVEKSettings.DebugFileCount, 3);
  EXPECT_EQ(Lib::gVEKSettings.TaskPDFFileCount, 2);
}

TEST_F(FileCounters, NoMatchKeepsTheCounterAndOnlyFoldersGiveZero) {
  Lib::gVEKSettings.DebugFileCount = 7;
  Lib::gVEKSettings.TaskPDFFileCount = 5;
  touch("other.txt");
  SetVEKDebugFileCount();
  SetTaskPDFFileCount();
  EXPECT_EQ(Lib::gVEKSettings.DebugFileCount, 7);
  EXPECT_EQ(Lib::gVEKSettings.TaskPDFFileCount, 5);
  mkdir("D!only-a-folder");
  SetVEKDebugFileCount();
  EXPECT_EQ(Lib::gVEKSettings.DebugFileCount, 0);
}
