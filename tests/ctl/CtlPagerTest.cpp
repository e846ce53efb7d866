// parse and units: the page parser and the units directory from the command line.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CtlFixture.h"
#include "PeakMemory.h"
#include "SamplePage.h"

using namespace corvantest;

namespace {

class CtlPagerTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    dir.write("VEKUnits.xml", ReadTestData("ctl/VEKUnits.xml"));
    dir.write("Suburbs.txt", ReadTestData("ctl/Suburbs.txt"));
    dir.write("TaskTypes.txt", ReadTestData("ctl/TaskTypes.txt"));
  }
};

// The peak resident size of `corvanctl units FILE` with its output thrown away, in bytes;
// 0 when it failed.
std::size_t UnitsCommandPeak(const std::string& file) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    ::execl(kCorvanCtl.c_str(), "corvanctl", "units", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  rusage usage{};
  int status = 0;
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

}  // namespace

TEST_F(CtlPagerTest, TreeDownSamplePageWithAllThreeLists) {
  const CtlResult r = Ctl(
      {"parse", "--suburbs", dir.file("Suburbs.txt"), "--tasktypes=" + dir.file("TaskTypes.txt"), kTreeDownSamplePage});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "ID=82239000\n"
            "ZIRPage.ID=82239000\n"
            "ZIRPage.CapCode=0\n"
            "ZIRPage.DateTime=20/06/2022 14:30:00\n"
            "ZIRPage.Comment=\n"
            "ZIRPage.MapRef=ADL 128 D15\n"
            "ZIRPage.MFSIncNo=9000\n"
            "ZIRPage.Priority=2\n"
            "ZIRPage.RawText=*CFSRES INC:S9000 20/06/22 14:30 RESPOND TREE DOWN P2 3 NORTH ESP "
            "GLENELG NORTH MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE EAS20\n"
            "ZIRPage.VEK=True\n"
            "ZIRPage.VEKUnit=EAS\n"
            "ZIRPage.Street=3 NORTH ESP\n"
            "ZIRPage.Suburb=GLENELG NORTH\n"
            "ZIRPage.TaskType=TREE DOWN\n"
            "ZIRPage.RC.AsInt=0\n"
            "ZIRPage.RC.AsStr=OK\n"
            "Report.ID=82239000\n"
            "Report.RC.AsInt=0\n"
            "Report.RC.AsStr=\n"
            "Report.AirPressure=0\n"
            "Report.AttachedVEKUnits=EAS.\n"
            "Report.Council=\n"
            "Report.LAT=0\n"
            "Report.LNG=0\n"
            "Report.MFSCleared=False\n"
            "Report.PCode=0\n"
            "Report.Temp=0\n"
            "Report.WeatherDesc=\n"
            "Report.WeatherLocation=\n"
            "Report.WindSpeed=0\n"
            "Report.WindDirection=\n"
            "Report.ZoneName=\n"
            "Report.DutyOfficerInitials=\n"
            "RC.AsInt=0\n"
            "RC.AsStr=OK\n"
            "TaskFileName=TASK-20220620-S9000.TXT\n");
}

TEST_F(CtlPagerTest, WithoutSuburbsThePageEndsAsInThePanel) {
  // The folder's units file is loaded as the panel loads it; the lists stay empty.
  const CtlResult r = Ctl({"parse", kTreeDownSamplePage});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ValueOf(r.out, "RC.AsInt"), "-30");
  EXPECT_EQ(ValueOf(r.out, "RC.AsStr"), "Suburbs not loaded");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.VEKUnit"), "EAS");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.VEK"), "True");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.MFSIncNo"), "9000");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.MapRef"), "ADL 128 D15");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.Priority"), "2");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.Street"), "");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.TaskType"), "");
  EXPECT_EQ(ValueOf(r.out, "ZIRPage.ID"), "0");
  EXPECT_EQ(ValueOf(r.out, "Report.AttachedVEKUnits"), "");  // the report was never parsed
  EXPECT_EQ(ValueOf(r.out, "ID"), "0");
  EXPECT_EQ(ValueOf(r.out, "TaskFileName"), "TASK-20220620-S9000.TXT");

  // --units names another directory: MTB does not claim the page, so it is a CFS task.
  dir.write("Other.xml", "<VEKUnits>\r\n<VEKUnit>\r\n<UnitCode>MTB</UnitCode>\r\n</VEKUnit>\r\n</VEKUnits>\r\n");
  const CtlResult other = Ctl({"parse", "--units", dir.file("Other.xml"), kTreeDownSamplePage});
  EXPECT_EQ(ValueOf(other.out, "ZIRPage.VEKUnit"), "CFS");
  EXPECT_EQ(ValueOf(other.out, "ZIRPage.VEK"), "False");
  EXPECT_EQ(ValueOf(other.out, "TaskFileName"), "TASK-20220620-C9000.TXT");
}

TEST_F(CtlPagerTest, APageFromStandardInputWithReportAttributes) {
  const CtlResult r =
      CtlWithInput({"parse", "--suburbs", dir.file("Suburbs.txt"), "-"},
                   kTreeDownSamplePage + " [ZoneName=Zone 3:\tNorth.][LAT=-34.92][MFSCleared=T][Temp=21.5]\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ValueOf(r.out, "RC.AsInt"), "0");
  EXPECT_EQ(ValueOf(r.out, "Report.ZoneName"), "Zone 3:\\tNorth.");
  EXPECT_EQ(ValueOf(r.out, "Report.LAT"), "-34.92");
  EXPECT_EQ(ValueOf(r.out, "Report.Temp"), "21.5");
  EXPECT_EQ(ValueOf(r.out, "Report.MFSCleared"), "True");
  EXPECT_EQ(ValueOf(r.out, "Report.AttachedVEKUnits"), "EAS.");
}

TEST_F(CtlPagerTest, UnitsListsEveryFieldOfEveryUnit) {
  const CtlResult r = Ctl({"units"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "gVEKUnits[0].UnitCode=EAS\n"
            "gVEKUnits[0].UnitName=Eastwood Test Unit\n"
            "gVEKUnits[0].District=Metro East\n"
            "gVEKUnits[0].Region=Metro\n"
            "gVEKUnits[0].UnitManagerID=17\n"
            "gVEKUnits[0].DOPhoneNo=0400000001\n"
            "gVEKUnits[0].TalkGroup=12\n"
            "gVEKUnits[0].AddressLine1=1 Test Street\n"
            "gVEKUnits[0].AddressLine2=Rear shed\n"
            "gVEKUnits[0].Suburb=EASTWOOD\n"
            "gVEKUnits[0].PCode=5063\n"
            "gVEKUnits[0].OfficerPagerGroup=1401\n"
            "gVEKUnits[0].AllPagerGroup=1400\n"
            "gVEKUnits[0].ZIRSamplePeriod=30\n"
            "gVEKUnits[0].Geometry.lat=-34.9423\n"
            "gVEKUnits[0].Geometry.lng=138.6231\n"
            "gVEKUnits[1].UnitCode=MTB\n"
            "gVEKUnits[1].UnitName=Mount Barker Test Unit\n"
            "gVEKUnits[1].District=\n"
            "gVEKUnits[1].Region=\n"
            "gVEKUnits[1].UnitManagerID=0\n"
            "gVEKUnits[1].DOPhoneNo=\n"
            "gVEKUnits[1].TalkGroup=\n"
            "gVEKUnits[1].AddressLine1=\n"
            "gVEKUnits[1].AddressLine2=\n"
            "gVEKUnits[1].Suburb=MOUNT BARKER\n"
            "gVEKUnits[1].PCode=5251\n"
            "gVEKUnits[1].OfficerPagerGroup=0\n"
            "gVEKUnits[1].AllPagerGroup=0\n"
            "gVEKUnits[1].ZIRSamplePeriod=0\n"
            "gVEKUnits[1].Geometry.lat=0\n"
            "gVEKUnits[1].Geometry.lng=0\n"
            "RC.AsInt=2\n"
            "RC.AsStr=Count\n");

  // Another file by name; the folder's own is not needed for it.
  dir.write("Other.xml", "<VEKUnit>\r\n<UnitCode>ABCD</UnitCode>\r\n");
  const CtlResult other = Ctl({"units", dir.file("Other.xml")});
  EXPECT_EQ(other.status, 0);
  EXPECT_EQ(ValueOf(other.out, "gVEKUnits[0].UnitCode"), "ABC");
  EXPECT_EQ(ValueOf(other.out, "RC.AsInt"), "1");
}

TEST_F(CtlPagerTest, UnitsOfALargeFileAreWrittenAsTheyGoNotHeld) {
  // 200,000 units: 2.2 MB of file, 3.2 million lines of output.
  std::string units;
  for (int i = 0; i < 200000; ++i) units += "<VEKUnit>\r\n";
  dir.write("Large.xml", units);
  dir.write("Empty.xml", "");
  const std::size_t idle = UnitsCommandPeak(dir.file("Empty.xml"));
  const std::size_t large = UnitsCommandPeak(dir.file("Large.xml"));
  ASSERT_GT(idle, 0u);
  ASSERT_GT(large, 0u);
  if (PeakMemoryGrowth::Meaningful()) {
    EXPECT_LT(large, idle + 4 * units.size());
  }
}
