#include <gtest/gtest.h>

#include <filesystem>

#include "ProcessState.h"
#include "TempFolder.h"
#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"

using namespace MainForm;

namespace {

class ServiceStateTest : public ::testing::Test {
 protected:
  corvantest::ProcessStateGuard processState;
  corvantest::TempFolder dir;
};

}  // namespace

TEST_F(ServiceStateTest, ServiceFilesAreFoundWhateverTheCaseOfTheirNames) {
  dir.write("CorvanSrvc.EXE", "program");
  dir.write("corvansrvc-msg.txt", "CorvanSrvc: Disconnected from corvantest");
  Lib::gVEKSettings.WWWHost = "corvantest";
  Lib::gCorvanSettings.EnablePrinting = 2;

  EXPECT_EQ(ServiceFile(dir.path(), "CORVANSRVC-MSG.TXT"), dir.file("corvansrvc-msg.txt"));
  EXPECT_EQ(ServiceFile(dir.path(), "CorvanSrvc-Version.txt"), dir.file("CorvanSrvc-Version.txt"));
  const tServiceState state = GatherServiceState(dir.path());
  EXPECT_TRUE(state.ServiceProgramExists);
  EXPECT_EQ(state.MessageText, "CorvanSrvc: Disconnected from corvantest");
  EXPECT_EQ(state.WWWHost, "corvantest");
  EXPECT_EQ(state.EnablePrinting, 2);
}

TEST_F(ServiceStateTest, AFolderNamedLikeTheProgramIsNoProgram) {
  std::filesystem::create_directory(dir.file("corvansrvc.exe"));
  const tServiceState state = GatherServiceState(dir.path());
  EXPECT_FALSE(state.ServiceProgramExists);
  EXPECT_EQ(state.MessageText, "");
  Lib::gVEKSettings.WWWHost = "corvantest";
  const tGetStatus status = GetServiceStatus(dir.path());
  EXPECT_EQ(status.StatusText, "CorvanSrvc.exe is missing.");
  EXPECT_EQ(status.HintText,
            "The CorvanSrvc.exe is missing. You can download a copy from https://corvantest/downloads.");
}
