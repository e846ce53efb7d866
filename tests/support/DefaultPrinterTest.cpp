#include <cups/ipp.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeCupsServer.h"
#include "ProcessState.h"
#include "support/DefaultPrinter.h"
#include "support/Hooks.h"

using namespace brix32;
using corvantest::FakeCupsScript;
using corvantest::FakeCupsServer;

namespace {

class GetDefaultPrinterNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A default chosen in the environment would win over the server's.
    ::unsetenv("LPDEST");
    ::unsetenv("PRINTER");
    // Printer discovery goes through avahi on the system bus and would browse the real
    // network: without a bus CUPS asks only the server it is given.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/corvan-no-bus", 1);
    SetMessageBoxHandler([this](const std::string& text) { messages.push_back(text); });
  }
  void TearDown() override { corvantest::UseCupsServer(""); }

  corvantest::ProcessStateGuard processState;
  std::vector<std::string> messages;
};

}  // namespace

TEST_F(GetDefaultPrinterNameTest, NoPrintServerMeansNoPrinterAndNoMessage) {
  for (const std::string& server :
       {"127.0.0.1:" + std::to_string(corvantest::ClosedLoopbackPort()), std::string("/nonexistent/cups.sock")}) {
    corvantest::UseCupsServer(server);
    EXPECT_EQ(GetDefaultPrinterName(), "") << server;
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(GetDefaultPrinterNameTest, TheServersDefaultDestination) {
  FakeCupsServer server({.Printers = {"Office", "Laser"}, .Default = "Laser"});
  corvantest::UseCupsServer(server.address());
  EXPECT_EQ(GetDefaultPrinterName(), "Laser");
  EXPECT_TRUE(messages.empty());
}

TEST_F(GetDefaultPrinterNameTest, AServerWithoutPrintersIsQuiet) {
  FakeCupsServer server({});
  corvantest::UseCupsServer(server.address());
  EXPECT_EQ(GetDefaultPrinterName(), "");
  EXPECT_TRUE(messages.empty());
}

TEST_F(GetDefaultPrinterNameTest, PrintersButNoDefaultIsShown) {
  FakeCupsServer server({.Printers = {"Office"}});
  corvantest::UseCupsServer(server.address());
  EXPECT_EQ(GetDefaultPrinterName(), "");
  EXPECT_EQ(messages, std::vector<std::string>{"There is no default printer."});
}

TEST_F(GetDefaultPrinterNameTest, AFailedRequestShowsTheServersReason) {
  FakeCupsServer server({.Printers = {"Office"},
                         .Default = "Office",
                         .GetPrintersStatus = IPP_STATUS_ERROR_FORBIDDEN,
                         .GetPrintersMessage = "Printing is not allowed here"});
  corvantest::UseCupsServer(server.address());
  EXPECT_EQ(GetDefaultPrinterName(), "");
  EXPECT_EQ(messages, std::vector<std::string>{"Printing is not allowed here"});
}
