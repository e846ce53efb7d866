#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "SimProcess.h"
#include "TempFolder.h"
#include "pager/TarnexFetch.h"
#include "pager/VEKUnits.h"
#include "reports/PhoneHome.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/UpdateCheck.h"

using corvantest::RunToExit;
using corvantest::SimProcess;
using corvantest::TempFolder;

namespace {

const std::string kHost = CORVAN_HOSTSIM_EXE;

int Connect(const char* address, std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  ::inet_pton(AF_INET, address, &to.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  const timeval wait{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  return fd;
}

// One file exchange by hand: the request line out, everything up to the host's close in.
std::string Exchange(const std::string& requestLine) {
  const int fd = Connect("127.0.0.1", 15170);
  if (fd < 0) return "(no connection)";
  ::send(fd, requestLine.data(), requestLine.size(), MSG_NOSIGNAL);
  ::shutdown(fd, SHUT_WR);  // a request without a line end then ends at once
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
  ::close(fd);
  return answer;
}

// Makes a folder the current one for the lifetime of the object: the file fetch stores
// what it fetched in the current folder.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& folder) : old_(::getcwd(nullptr, 0)) {
    EXPECT_EQ(::chdir(folder.c_str()), 0);
  }
  ~CurrentFolder() {
    EXPECT_EQ(::chdir(old_), 0);
    std::free(old_);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  char* old_;
};

class HostSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    ASSERT_EQ(::mkdir(temp.file("files").c_str(), 0777), 0);
    temp.write("files/VEKUnits.xml", corvantest::ReadTestData("tools/VEKUnits.xml"));
    // LF, CR LF and no line end at all on the last line.
    temp.write("files/mixed.txt", "<A>\n <B>\r\n  <C>STT</C>\n </B>\n</A>");
    temp.write("secret.txt", "not to be served");
    host = std::make_unique<SimProcess>(
        kHost, std::vector<std::string>{"--control-version", "1.0.0.2", "--service-version", "3.1.0.12", "--files",
                                        temp.file("files"), "--phonehome-log", temp.file("phonehome.log")});
    ASSERT_TRUE(host->waitForOutput("ready")) << host->err();
  }
  void TearDown() override {
    if (host) {
      EXPECT_EQ(host->stop(), 0) << host->err();
      EXPECT_NE(host->out().find("stopped"), std::string::npos);
    }
  }

  corvantest::ProcessStateGuard processState;
  TempFolder temp;
  std::unique_ptr<SimProcess> host;
};

}  // namespace

TEST_F(HostSimTest, GetUpdateVersionReadsThePublishedVersions) {
  const auto version = [](int a, int b, int c, int d) {
    return brix32::tFileVersion{
        a, b, c, d, std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d)};
  };
  const struct {
    const char* path;
    brix32::tFileVersion current;
    const char* published;
    bool update;
  } cases[] = {
      {"/downloads/corvancontrol.xml", version(1, 0, 0, 1), "1.0.0.2", true},
      {"/downloads/corvancontrol.xml", version(1, 0, 0, 2), "1.0.0.2", false},
      {"/downloads/corvansrvc.xml", version(3, 2, 0, 0), "3.1.0.12", false},
      {"/downloads/corvansrvc.xml", version(0, 0, 0, 0), "3.1.0.12", true},
      // Not published: the host answers 404 and the check falls back to 0.0.0.0.
      {"/downloads/SheetPress.xml", version(1, 2, 3, 4), "0.0.0.0", true},
  };
  for (const auto& c : cases) {
    const brix32::tFileUpdate got = brix32::GetUpdateVersion(std::string("http://127.0.0.1") + c.path, c.current);
    EXPECT_EQ(got.Version.VersionStr, c.published) << c.path;
    EXPECT_EQ(got.UpdateRequired, c.update) << c.path << " from " << c.current.VersionStr;
  }
  // The host logs a request once it has answered it.
  EXPECT_TRUE(host->waitForOutput("GET /downloads/corvancontrol.xml -> 200 (User-Agent \"Mozilla/4.0\")"))
      << host->out();
  EXPECT_TRUE(host->waitForOutput("GET /downloads/SheetPress.xml -> 404"));
}

TEST_F(HostSimTest, ServesTheDownloadsPageCalloutReportsAndDownloadsFromItsFolder) {
  httplib::Client web("127.0.0.1", 80);
  const struct {
    const char* path;
    int status;
    const char* holds;
  } cases[] = {
      {"/downloads", 200, "CorvanSrvc: 3.1.0.12"},
      {"/vek/CalloutReport-STT-7Day.html", 200, "Callout report STT"},
      {"/vek/CalloutReport-stt-7Day.html", 200, "Callout report STT"},
      {"/vek/CalloutReport-STTX-7Day.html", 404, ""},
      {"/downloads/vekunits.xml", 200, "<UnitCode>STT</UnitCode>"},  // names ignore case
      {"/downloads/..%2Fsecret.txt", 404, ""},
      {"/downloads/missing.xml", 404, ""},
      {"/vek/rezedozo.dll", 404, ""},
  };
  for (const auto& c : cases) {
    const auto res = web.Get(c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    EXPECT_NE(res->body.find(c.holds), std::string::npos) << c.path << ": " << res->body;
    EXPECT_EQ(res->body.find("not to be served"), std::string::npos) << c.path;
  }
}

TEST_F(HostSimTest, FileExchangeBracketsTheFileLinesAndServesNothingElse) {
  const std::string served = Exchange("mixed.txt\r\n");
  const std::string lines = "<SOF>\r\n<A>\r\n <B>\r\n  <C>STT</C>\r\n </B>\r\n</A>\r\n<EOF>\r\n";
  ASSERT_GE(served.size(), lines.size()) << served;
  EXPECT_EQ(served.substr(served.size() - lines.size()), lines);
  EXPECT_NE(served.find("\r\n"), served.find("<SOF>") - 2) << "preamble lines come first";
  EXPECT_NE(Exchange("MIXED.TXT\n").find("<SOF>"), std::string::npos);

  for (const char* refused :
       {"missing.xml\r\n", "../secret.txt\r\n", "files/../../secret.txt\r\n", "\r\n", "no line end"}) {
    const std::string answer = Exchange(refused);
    EXPECT_EQ(answer.find("<SOF>"), std::string::npos) << refused << answer;
    EXPECT_EQ(answer.find("not to be served"), std::string::npos) << refused;
  }
}

TEST_F(HostSimTest, MissingUnitsFileIsFetchedOverTheFileExchangeAndLoaded) {
  TempFolder program;
  const CurrentFolder current(program.path());
  brix32::gGlobalSettings.Path = program.path();
  Lib::gVEKSettings.WWWHost = "127.0.0.1";
  const VEKLib::tRC rc = VEKLib::LoadVEKUnitsArrayFromXML("");
  EXPECT_EQ(rc.AsInt, 2) << rc.AsStr;
  ASSERT_EQ(VEKLib::gVEKUnits.size(), 2u);
  EXPECT_EQ(VEKLib::gVEKUnits[0].UnitCode, "STT");
  EXPECT_EQ(VEKLib::gVEKUnits[1].Suburb, "GLENELG NORTH");
  EXPECT_DOUBLE_EQ(VEKLib::gVEKUnits[1].Geometry.lat, -34.9654);
  // A CR LF file with a line end after its last line comes back byte for byte.
  EXPECT_EQ(program.read("VEKUnits.xml"), corvantest::ReadTestData("tools/VEKUnits.xml"));
}

TEST_F(HostSimTest, GetFileFromTarnexStoresTheServedLinesWithCrLf) {
  TempFolder program;
  const CurrentFolder current(program.path());
  Lib::gVEKSettings.WWWHost = "127.0.0.1";
  const VEKLib::tRC ok = VEKLib::GetFileFromTarnex("mixed.txt", "HostSimTest:100");
  EXPECT_EQ(ok.AsInt, 0) << ok.AsStr;
  EXPECT_EQ(program.read("mixed.txt"), "<A>\r\n <B>\r\n  <C>STT</C>\r\n </B>\r\n</A>\r\n");

  // The host answers an unknown name without "<SOF>" and closes: nothing is stored.
  const VEKLib::tRC missing = VEKLib::GetFileFromTarnex("missing.txt", "HostSimTest:200");
  EXPECT_NE(missing.AsInt, 0);
  EXPECT_FALSE(program.exists("missing.txt"));
  EXPECT_TRUE(host->waitForOutput("fetch \"missing.txt\" from 127.0.0.1:"));
}

TEST_F(HostSimTest, PhoneHomeReportLandsInTheLogByteForByte) {
  const corvantest::FixedClock clock(2013, 10, 3, 14, 5, 6);
  TempFolder program;
  const CurrentFolder current(program.path());
  brix32::gGlobalSettings.Path = program.path();
  brix32::gGlobalSettings.SelfName = "CorvanControl";
  brix32::gGlobalSettings.Version = "1.0.0.1";
  brix32::gGlobalSettings.HostName = "corvantest";
  Lib::gVEKSettings.WWWHost = "127.0.0.1/vek";  // the report goes to the host part
  Lib::gCorvanSettings.MainUnit = "S<&\xE9";    // sent unescaped, 8-bit
  ASSERT_TRUE(Lib::PhoneHomeUDP15171("CorvanControl Test"));
  ASSERT_TRUE(host->waitForOutput("phone-home report from 127.0.0.1:")) << host->out();
  const std::string report = Lib::BuildPhoneHomeReport("CorvanControl Test");
  EXPECT_EQ(temp.read("phonehome.log"), report + "\n");
  EXPECT_NE(report.find("<MainUnit>S<&\xE9</MainUnit>"), std::string::npos);
  EXPECT_NE(report.find("<DateTime>03/10/13 14:05:06</DateTime>"), std::string::npos);
}

TEST_F(HostSimTest, PhoneHomeDatagramsAreAppendedByteForByte) {
  const std::string reports[] = {"<PhoneHome><A> v1<Event>x & <y></Event>\xE9</PhoneHome>",
                                 "second\r\nwith a line break"};
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(15171);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (const auto& r : reports) {
    ASSERT_EQ(::sendto(fd, r.data(), r.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(r.size()));
    ASSERT_TRUE(host->waitForOutput(std::to_string(r.size()) + " bytes"));
  }
  ::close(fd);
  EXPECT_EQ(temp.read("phonehome.log"), reports[0] + "\n" + reports[1] + "\n");
}

TEST_F(HostSimTest, ListensOnlyOnItsOwnAddress) {
  const char* other = std::getenv("CORVAN_NETNS_ADDR");
  ASSERT_NE(other, nullptr);
  for (const std::uint16_t port : {80, 15170}) {
    EXPECT_LT(Connect(other, port), 0) << other << ":" << port;
    EXPECT_EQ(errno, ECONNREFUSED);
  }
}

TEST_F(HostSimTest, RefusesBadArgumentsAndPortsInUse) {
  const struct {
    std::vector<std::string> args;
    int code;
    const char* message;
  } cases[] = {
      {{"--http-port", "0"}, 2, "port number 1..65535"},
      {{"--fetch-port", "70000"}, 2, "port number 1..65535"},
      {{"--phonehome-port", "x"}, 2, "port number 1..65535"},
      {{"--bind", "corvantest"}, 2, "dotted IPv4"},
      {{"--control-version", "1.2"}, 2, "four whole numbers"},
      {{"--service-version", "1.2.3.x"}, 2, "four whole numbers"},
      {{"--files", temp.file("missing")}, 2, "no folder"},
      {{"--phonehome-log"}, 2, "needs a value"},
      {{"--verbose"}, 2, "unknown option --verbose"},
      // The running host holds the ports.
      {{"--http-port", "8080"}, 1, "cannot bind TCP 127.0.0.1:15170"},
      {{}, 1, "cannot bind HTTP 127.0.0.1:80"},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(RunToExit(kHost, c.args, &err), c.code) << c.message;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
  // Asked for, the usage is an answer, and no port is taken for it.
  std::string out;
  EXPECT_EQ(RunToExit(kHost, {"--help"}, nullptr, &out), 0);
  EXPECT_TRUE(out.starts_with("usage: hostsim [options]")) << out;
}
