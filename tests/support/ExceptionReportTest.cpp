#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "UdpListener.h"
#include "support/Diagnostics.h"
#include "support/ExceptionReport.h"
#include "support/Hooks.h"
#include "support/TextUtils.h"

using namespace brix32;
using corvantest::FixedClock;
using corvantest::TempFolder;

namespace {

class ExceptionReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.Version = "1.2.3.4";
    gGlobalSettings.HostName = "PC01";
    gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    gGlobalSettings.Path = dir.path();
    SetBeepHandler([this](int hz, int ms) { beeps.push_back({hz, ms}); });
  }

  corvantest::ProcessStateGuard processState;
  TempFolder dir;
  FixedClock clock{2024, 1, 21, 15, 36, 7, 123};
  corvantest::UdpListener syslog{514};
  std::vector<std::pair<int, int>> beeps;
};

tExceptionRec SampleRecord() {
  tExceptionRec r;
  r.Function = "TfrmMain.FormCreate";
  r.ClassName = "std::runtime_error";
  r.Message = "line one\r\nline <two> & more";
  r.Trace = 120;
  r.CallingFunction = "VEKLib.ParseRawTextToTask:110";
  r.Notes = "FileName=x.txt";
  r.FileName = "E!{selfname}-{timestamp}.XML";
  r.Beep = true;
  return r;
}

}  // namespace

TEST_F(ExceptionReportTest, TextMatchesGoldenFileByteForByte) {
  tMemoryStatusRec memory;
  memory.TotalVirtual = 2147352576;
  memory.AvailVirtual = 1882341376;
  memory.AvailVirtualPercent = 1882341376.0 / 2147352576.0 * 100.0;
  memory.OK = true;
  EXPECT_EQ(BuildExceptionReportText(SampleRecord(), Now(), MachineUpTime().Text, memory),
            corvantest::ReadTestData("support/exception-report.xml"));
}

TEST_F(ExceptionReportTest, FailedMemoryReadShowsHundredPercent) {
  const std::string text = BuildExceptionReportText(SampleRecord(), Now(), "0w0d00h00m00s", tMemoryStatusRec{});
  EXPECT_NE(text.find("<UsedMemory>100.00% (0) </UsedMemory>\r\n"), std::string::npos);
}

TEST_F(ExceptionReportTest, WritesFileBeepsRisingAndPostsSyslog) {
  const std::string name = SaveExceptionRecAsXML(SampleRecord());
  EXPECT_EQ(name, "E!CorvanControl-20240121153607123.XML");
  const std::string text = dir.read(name);
  EXPECT_EQ(Between(text, "<Function>", "</Function>"), "TfrmMain.FormCreate:120");
  EXPECT_EQ(Between(text, "<DateTime>", "</DateTime>"), "2024-01-21 15:36:07.123");
  EXPECT_EQ(beeps, (std::vector<std::pair<int, int>>{{200, 50}, {400, 50}, {800, 50}, {1600, 50}}));
  const auto got = syslog.receive(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes,
            "<0>CorvanControl:00001 EXCEPTION:Func=TfrmMain.FormCreate Trace=120 "
            "File=\"E!CorvanControl-20240121153607123.XML\" SelfNameCorvanControl "
            "Version=1.2.3.4 H=\"PC01\" (ID=05003)");
}

TEST_F(ExceptionReportTest, FileNameTemplates) {
  tExceptionRec r = SampleRecord();
  r.Beep = false;
  r.FileName = "";
  EXPECT_EQ(SaveExceptionRecAsXML(r), "E!CorvanControl-20240121153607123.xml");
  EXPECT_TRUE(beeps.empty());
  r.FileName = "E!{selfname}-fixed.XML";  // no time stamp: each report replaces the last
  r.Message = "first";
  SaveExceptionRecAsXML(r);
  r.Message = "second";
  EXPECT_EQ(SaveExceptionRecAsXML(r), "E!CorvanControl-fixed.XML");
  EXPECT_EQ(Between(dir.read("E!CorvanControl-fixed.XML"), "<e.Message>", "<"), "second");
}

TEST_F(ExceptionReportTest, NothingBeforeTheProcessIsNamed) {
  gGlobalSettings.SelfName.clear();
  EXPECT_EQ(SaveExceptionRecAsXML(SampleRecord()), "");
  EXPECT_TRUE(beeps.empty());
  EXPECT_TRUE(syslog.receive(1, std::chrono::milliseconds(200)).empty());
}

TEST_F(ExceptionReportTest, ReadOnlyFolderLosesReportButStillBeepsAndPosts) {
  gGlobalSettings.Path = dir.file("missing-folder/");
  EXPECT_EQ(SaveExceptionRecAsXML(SampleRecord()), "E!CorvanControl-20240121153607123.XML");
  EXPECT_EQ(beeps.size(), 4u);
  EXPECT_EQ(syslog.receive(1).size(), 1u);
}

TEST_F(ExceptionReportTest, FailureInsideTheWriterReportsItselfOnce) {
  int calls = 0;
  SetBeepHandler([&](int, int) {
    ++calls;
    throw std::runtime_error("no sound device");
  });
  gGlobalSettings.ExceptionFileName = "E!{selfname}-self.XML";
  tExceptionRec r = SampleRecord();
  r.FileName = "E!{selfname}-first.XML";
  EXPECT_EQ(SaveExceptionRecAsXML(r), "E!CorvanControl-first.XML");
  EXPECT_EQ(calls, 2);  // the first report and the self-report; no third
  const std::string self = dir.read("E!CorvanControl-self.XML");
  EXPECT_EQ(Between(self, "<Function>", "</Function>"), "brix32.SaveExceptionRecAsXML:460");
  EXPECT_EQ(Between(self, "<e.Message>", "</e.Message>"), "no sound device");
  EXPECT_EQ(Between(self, "<CallingFunction>", "</"), "VEKLib.ParseRawTextToTask:110");
  EXPECT_EQ(Between(self, "<Notes>", "</"), "FileName=x.txt");
}

TEST_F(ExceptionReportTest, OperationCatchesStandardExceptionsOnly) {
  Operation op("brix32.Sample");
  op.Ex.Notes = "context";
  const bool ok = op.Run([&] {
    op.Log.Trace = 300;
    throw std::out_of_range("index 7");
  });
  EXPECT_FALSE(ok);
  EXPECT_EQ(op.ReportFileName, "E!CorvanControl-20240121153607123.XML");
  const std::string text = dir.read(op.ReportFileName);
  EXPECT_EQ(Between(text, "<Function>", "</"), "brix32.Sample:300");
  EXPECT_EQ(Between(text, "<ClassName>", "</"), "std::out_of_range");
  EXPECT_EQ(Between(text, "<Notes>", "</"), "context");
  EXPECT_THROW(op.Run([] { throw 42; }), int);
}
