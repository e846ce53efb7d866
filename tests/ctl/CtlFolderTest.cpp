// Which program folder corvanctl works on when --folder is not given.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "Hermetic.h"
#include "SimProcess.h"
#include "TempFolder.h"
#include "ctl/CtlArgs.h"
#include "ctl/ProgramFolder.h"

using namespace corvanctl;
using corvantest::TempFolder;
namespace fs = std::filesystem;

namespace {

const std::string kCorvanCtl = CORVANCTL_PROGRAM;

std::string FailureOf(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EFailure& e) {
    return e.what();
  }
  return "(no failure)";
}

}  // namespace

TEST(ChooseProgramFolderTest, TheOptionThenTheEnvironmentThenTheProgramsOwnFolder) {
  TempFolder dir;
  // Stands in for /proc/self/exe; the kernel names a program replaced while running
  // (an upgrade) "<file> (deleted)".
  fs::create_symlink("/opt/corvan/corvanctl", dir.file("exe"));
  fs::create_symlink("/opt/corvan/corvanctl (deleted)", dir.file("replaced-exe"));
  struct Case {
    std::string given;
    const char* environment;
    std::string exeLink;
    std::string folder, origin;
  } cases[] = {
      {"/srv/a", "/srv/b", dir.file("exe"), "/srv/a", ""},
      {"", "/srv/b", dir.file("exe"), "/srv/b", "CORVAN_FOLDER"},
      {"", "", dir.file("exe"), "/opt/corvan/", "the folder of the program /opt/corvan/corvanctl"},
      {"", nullptr, dir.file("exe"), "/opt/corvan/", "the folder of the program /opt/corvan/corvanctl"},
      {"", nullptr, dir.file("replaced-exe"), "/opt/corvan/",
       "the folder of the program /opt/corvan/corvanctl (deleted)"},
  };
  for (const Case& c : cases) {
    const tFolderChoice choice = ChooseProgramFolder(c.given, c.environment, c.exeLink, "corvanctl");
    EXPECT_EQ(choice.Folder, c.folder) << c.given << c.exeLink;
    EXPECT_EQ(choice.Origin, c.origin);
  }
}

TEST(ChooseProgramFolderTest, WithoutProcTheNameItWasStartedByIsFollowedThroughLinks) {
  TempFolder dir;
  fs::create_directories(dir.file("prog"));
  fs::create_directories(dir.file("bin"));
  dir.write("prog/corvanctl", "");
  fs::create_symlink("../prog/corvanctl", dir.file("bin/corvanctl"));  // relative
  fs::create_symlink("bin/corvanctl", dir.file("again"));              // a chain
  fs::create_symlink("../gone/corvanctl", dir.file("bin/dangling"));
  const std::string noProc = dir.file("no-proc/self/exe");

  EXPECT_EQ(ChooseProgramFolder("", nullptr, noProc, dir.file("again")).Folder, dir.file("prog/"));
  EXPECT_EQ(ChooseProgramFolder("", nullptr, noProc, dir.file("bin/corvanctl")).Origin,
            "the folder of the program " + dir.file("prog/corvanctl"));

  EXPECT_EQ(FailureOf([&] { ChooseProgramFolder("", nullptr, noProc, dir.file("bin/dangling")); }),
            "cannot find the program folder: " + noProc + " cannot be read, and " + dir.file("bin/dangling") +
                " leads to " + dir.file("gone/corvanctl") + ", which does not exist (tried the folder " +
                dir.file("gone/") + "); give --folder DIR or set CORVAN_FOLDER");
  EXPECT_EQ(FailureOf([&] { ChooseProgramFolder("", nullptr, noProc, "corvanctl"); }),
            "cannot find the program folder: " + noProc +
                " cannot be read and the program was started as 'corvanctl'; give --folder DIR or set "
                "CORVAN_FOLDER");
}

// The installed layout in small: the program in its folder, a relative link to it
// elsewhere, run from a third folder without --folder.
TEST(CorvanCtlFolderTest, RunThroughALinkItWorksOnItsOwnFolderUnlessCorvanFolderSaysOtherwise) {
  // corvanctl writes an exception report, which broadcasts, when something goes wrong.
  CORVAN_REQUIRE_HERMETIC_NETWORK();
  TempFolder dir;
  for (const char* folder : {"prog", "bin", "elsewhere", "other"}) fs::create_directories(dir.file(folder));
  fs::copy_file(kCorvanCtl, dir.file("prog/corvanctl"));
  fs::create_symlink("../prog/corvanctl", dir.file("bin/corvanctl"));
  dir.write("prog/CorvanSrvc-Settings.xml", "<xml>\r\n  <MainUnit>PRG</MainUnit>\r\n</xml>\r\n");
  dir.write("other/CorvanSrvc-Settings.xml", "<xml>\r\n  <MainUnit>OTH</MainUnit>\r\n</xml>\r\n");

  const auto run = [&](const std::string& environment) {
    std::string out, err;
    const int status = corvantest::RunToExit(
        "/bin/sh",
        {"-c", "cd \"$1\" && exec env " + environment + " ../bin/corvanctl settings", "sh", dir.file("elsewhere")},
        &err, &out);
    EXPECT_EQ(status, 0) << err;
    return out;
  };
  EXPECT_NE(run("-u CORVAN_FOLDER").find("\nMainUnit=PRG\n"), std::string::npos);
  EXPECT_NE(run("CORVAN_FOLDER=" + dir.file("other")).find("\nMainUnit=OTH\n"), std::string::npos);
  EXPECT_FALSE(dir.exists("elsewhere/CorvanSrvc-Settings.xml"));

  std::string err;
  EXPECT_EQ(corvantest::RunToExit("/usr/bin/env",
                                  {"CORVAN_FOLDER=" + dir.file("absent"), dir.file("bin/corvanctl"), "status"}, &err),
            1);
  EXPECT_EQ(err, "corvanctl: cannot open the folder " + dir.file("absent") +
                     " (CORVAN_FOLDER): No such file or directory; give --folder DIR or set CORVAN_FOLDER\n");
}
