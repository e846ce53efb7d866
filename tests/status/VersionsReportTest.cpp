#include <gtest/gtest.h>

#include "TempFolder.h"
#include "status/VersionsReport.h"

using namespace MainForm;

namespace {

brix32::tFileVersion Version(const char* text) {
  brix32::tFileVersion v;
  v.VersionStr = text;
  return v;
}

brix32::tFileUpdate Update(bool required) {
  brix32::tFileUpdate u;
  u.UpdateRequired = required;
  return u;
}

}  // namespace

TEST(ReadVersionFile, FourWholeNumbersOrAConversionError) {
  corvantest::TempFolder dir;
  const brix32::tFileVersion missing = ReadVersionFile(dir.path(), "CorvanSrvc-Version.txt");
  EXPECT_EQ(missing.VersionStr, "0.0.0.0");
  EXPECT_EQ(missing.Major + missing.Minor + missing.Release + missing.Build, 0);

  dir.write("corvansrvc-version.txt", "3.01.0.12");  // found whatever the case of its name
  const brix32::tFileVersion v = ReadVersionFile(dir.path(), "CorvanSrvc-Version.txt");
  EXPECT_EQ(v.Major, 3);
  EXPECT_EQ(v.Minor, 1);
  EXPECT_EQ(v.Release, 0);
  EXPECT_EQ(v.Build, 12);
  EXPECT_EQ(v.VersionStr, "3.1.0.12");

  // Blanks and line ends after the version are not part of it.
  for (const char* ended : {"3.1.0.12\r\n", "3.1.0.12\n", "3.1.0.12 \t\r\n\r\n"}) {
    dir.write("corvansrvc-version.txt", ended);
    EXPECT_EQ(ReadVersionFile(dir.path(), "CorvanSrvc-Version.txt").VersionStr, "3.1.0.12") << ended;
  }
  EXPECT_EQ(VersionText(" 3.1.0.12 \r\n"), " 3.1.0.12");
  EXPECT_EQ(VersionText("\r\n"), "");

  for (const char* bad : {"3.1.0.12 beta", "3.1.0", "3.1.0.12.5", "3.x.0.12", "3.1.0.\r\n12", ""}) {
    dir.write("corvansrvc-version.txt", bad);
    EXPECT_THROW(ReadVersionFile(dir.path(), "CorvanSrvc-Version.txt"), EConvertError) << bad;
  }
}

TEST(VersionsReportText, LinesAndTheFooterOnlyWhenSomethingIsNewer) {
  const tInstalledVersions installed{Version("1.0.0.2"), Version("3.1.0.12"), Version("0.0.0.0")};
  const std::string latest =
      "Current Corvan Service Binary Versions:\n\n"
      " - CorvanControl.EXE version: 1.0.0.2  - At latest version\n"
      " - CorvanSrvc.EXE version: 3.1.0.12  - At latest version\n"
      " - SheetPress.EXE version: 0.0.0.0  - At latest version\n"
      "\n";
  EXPECT_EQ(VersionsReportText(installed, {Update(false), Update(false), Update(false)}, "corvantest"), latest);

  EXPECT_EQ(VersionsReportText(installed, {Update(false), Update(true), Update(true)}, "corvantest"),
            "Current Corvan Service Binary Versions:\n\n"
            " - CorvanControl.EXE version: 1.0.0.2  - At latest version\n"
            " - CorvanSrvc.EXE version: 3.1.0.12  - An update is available *\n"
            " - SheetPress.EXE version: 0.0.0.0  - An update available *\n"
            "\n"
            "* Program updates for these files are available for download at "
            "https://corvantest/downloads.");
}
