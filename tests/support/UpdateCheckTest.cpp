#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "TempFolder.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"
#include "support/UpdateCheck.h"

using namespace brix32;
using corvantest::TempFolder;

namespace {

tFileVersion V(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  return {a, b, c, d, std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d)};
}

std::string Published(const char* major, const char* minor, const char* release, const char* build) {
  return std::string("<?xml version=\"1.0\"?>\r\n<corvancontrol>\r\n  <major>") + major + "</major>\r\n  <minor>" +
         minor + "</minor>\r\n  <release>" + release + "</release>\r\n  <build>" + build +
         "</build>\r\n</corvancontrol>\r\n";
}

// The vendor's web host on loopback, serving a few published files and faults.
class TestHost {
 public:
  explicit TestHost(const char* address = "127.0.0.1", int port = 0) {
    auto serve = [this](const char* path, std::string body) {
      server_.Get(path, [this, body](const httplib::Request& req, httplib::Response& res) {
        lastHeaders_ = req.headers;
        res.set_content(body, "text/xml");
      });
    };
    serve("/v1235.xml", Published("1", "2", "3", "5"));
    serve("/v1234.xml", Published("1", "2", "3", "4"));
    serve("/v1199.xml", Published("1", "1", "9", "9"));
    serve("/v2000.xml", Published("2", "0", "0", "0"));
    serve("/downloads/corvancontrol.xml", Published("7", "0", "0", "1"));
    serve("/letter.xml", Published("x", "2", "3", "4"));
    serve("/majoronly.xml", "<v><major>3</major></v>");
    serve("/repeated.xml", Published("4", "5", "6", "7") + Published("9", "9", "9", "9"));
    serve("/unclosed.xml", "<major>8");
    serve("/nothing.xml", "<html>no versions here</html>");
    server_.Get("/moved.xml", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/v1235.xml"); });
    // A cookie handed out with a redirect must come back on the follow-up request.
    server_.Get("/login.xml", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "session=abc; Path=/");
      res.set_redirect("/members.xml");
    });
    server_.Get("/members.xml", [](const httplib::Request& req, httplib::Response& res) {
      if (req.get_header_value("Cookie").find("session=abc") == std::string::npos) {
        res.status = 403;
        return;
      }
      res.set_content(Published("5", "0", "0", "0"), "text/xml");
    });
    server_.Get("/endless.xml", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("text/xml", [](size_t, httplib::DataSink& sink) {
        static const std::string head = Published("9", "9", "9", "9");
        static const std::string filler(64 * 1024, 'x');
        sink.write(head.data(), head.size());
        return sink.write(filler.data(), filler.size());
      });
    });
    port_ = port == 0 ? server_.bind_to_any_port(address) : (server_.bind_to_port(address, port) ? port : -1);
    if (port_ > 0) thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~TestHost() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  const httplib::Headers& lastHeaders() const { return lastHeaders_; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
  httplib::Headers lastHeaders_;
};

// A listening socket nobody accepts on: the connection succeeds, no answer ever comes.
class SilentHost {
 public:
  SilentHost() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 4) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~SilentHost() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on loopback that was free a moment ago and has nobody listening now.
int ClosedPort() {
  SilentHost probe;
  return probe.port();
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Reports of failed checks post a syslog broadcast.
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.Version = "1.0.0.1";
    gGlobalSettings.ExceptionFileName = "E!{selfname}-{timestamp}.XML";
    gGlobalSettings.Path = dir.path();
  }

  std::vector<std::string> Reports() const {
    std::vector<std::string> texts;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.path().filename().string().rfind("E!", 0) == 0) texts.push_back(dir.read(e.path().filename().string()));
    return texts;
  }

  corvantest::ProcessStateGuard processState;
  TempFolder dir;
  corvantest::FixedClock clock{2024, 3, 4, 10, 0, 0};
};

}  // namespace

TEST(FileUpdateRequired, ComparesNumberByNumberAsSignedIntegers) {
  struct Case {
    tFileVersion current, latest;
    bool required;
  } cases[] = {
      {V(1, 2, 3, 4), V(1, 2, 3, 5), true},     {V(1, 2, 3, 4), V(1, 2, 3, 4), false},
      {V(1, 2, 3, 4), V(1, 1, 9, 9), false},    {V(1, 2, 3, 4), V(2, 0, 0, 0), true},
      {V(1, 9, 9, 9), V(1, 10, 0, 0), true},  // numbers, not text
      {V(3, 0, 0, 0), V(2, 99, 99, 99), false}, {V(1, -1, 0, 0), V(1, 0, 0, 0), true},
      {V(0, 0, 0, 0), V(0, 0, 0, 0), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileUpdateRequired(c.current, c.latest), c.required)
        << c.current.VersionStr << " against " << c.latest.VersionStr;
  // VersionStr plays no part.
  tFileVersion labelled = V(1, 2, 3, 4);
  labelled.VersionStr = "9.9.9.9";
  EXPECT_TRUE(FileUpdateRequired(labelled, V(1, 2, 3, 5)));
}

TEST(GetExeVersion, ReadsTheVersionNote) {
  const corvantest::ProcessStateGuard processState;
  gGlobalSettings.Version = "9.9.9.9";  // the note wins over the version text
  int messageRounds = 0;
  SetProcessMessagesHandler([&] { ++messageRounds; });
  const tFileVersion own = GetExeVersion("");
  SetProcessMessagesHandler(nullptr);
  EXPECT_EQ(own.VersionStr, CORVAN_PROJECT_VERSION);
  EXPECT_EQ(std::to_string(own.Major) + "." + std::to_string(own.Minor) + "." + std::to_string(own.Release) + "." +
                std::to_string(own.Build),
            CORVAN_PROJECT_VERSION);
  EXPECT_EQ(messageRounds, 1);

  // A copy of a program under another case of its name is still found.
  TempFolder dir;
  std::filesystem::copy_file("/proc/self/exe", dir.file("CorvanControl"));
  EXPECT_EQ(GetExeVersion(dir.file("corvancontrol")).VersionStr, CORVAN_PROJECT_VERSION);
}

TEST(GetExeVersion, FileWithoutNoteTakesTheVersionText) {
  const corvantest::ProcessStateGuard processState;
  TempFolder dir;
  dir.write("script.sh", "#!/bin/sh\nexit 0\n");
  struct Case {
    const char* versionText;
    tFileVersion expected;
  } cases[] = {
      {"2.1.0.37", V(2, 1, 0, 37)},
      {"", V(0, 0, 0, 0)},
      {"3.x.1", V(3, 0, 1, 0)},
      {"1.2.3.4.5", V(1, 2, 3, 0)},  // the build is "4.5", no whole number
  };
  for (const auto& c : cases) {
    gGlobalSettings.Version = c.versionText;
    const tFileVersion got = GetExeVersion(dir.file("script.sh"));
    EXPECT_EQ(got.VersionStr, c.expected.VersionStr) << c.versionText;
    EXPECT_EQ(got.Major, c.expected.Major);
    EXPECT_EQ(got.Build, c.expected.Build);
  }
  // A missing file gives the zero version, whatever the version text says.
  const tFileVersion missing = GetExeVersion(dir.file("nothing.exe"));
  EXPECT_EQ(missing.VersionStr, "0.0.0.0");
  EXPECT_EQ(missing.Major + missing.Minor + missing.Release + missing.Build, 0);
}

TEST_F(UpdateCheckTest, ReadsPublishedVersionsAndDecides) {
  TestHost host;
  ASSERT_GT(host.port(), 0);
  tFileVersion unknown{0, 0, 0, 0, "0.0.0.0"};
  struct Case {
    const char* path;
    tFileVersion current;
    const char* published;
    bool required;
  } cases[] = {
      {"/v1235.xml", V(1, 2, 3, 4), "1.2.3.5", true},
      {"/v1234.xml", V(1, 2, 3, 4), "1.2.3.4", false},
      {"/v1199.xml", V(1, 2, 3, 4), "1.1.9.9", false},
      {"/v2000.xml", unknown, "2.0.0.0", true},          // no version known: text comparison
      {"/letter.xml", V(0, 2, 3, 4), "0.2.3.4", false},  // a letter reads as 0
      {"/majoronly.xml", V(3, 0, 0, 0), "3.0.0.0", false},
      {"/repeated.xml", V(4, 5, 6, 7), "4.5.6.7", false},  // first occurrence wins
      {"/unclosed.xml", V(1, 0, 0, 0), "8.0.0.0", true},   // rest of the body
      {"/nothing.xml", V(1, 2, 3, 4), "0.0.0.0", true},
      {"/nothing.xml", unknown, "0.0.0.0", false},
      {"/moved.xml", V(1, 2, 3, 4), "1.2.3.5", true},  // redirect followed
      {"/login.xml", V(1, 2, 3, 4), "5.0.0.0", true},  // cookie kept across the redirect
  };
  for (const auto& c : cases) {
    const tFileUpdate got = GetUpdateVersion(host.url(c.path), c.current);
    EXPECT_EQ(got.Version.VersionStr, c.published) << c.path;
    EXPECT_EQ(got.UpdateRequired, c.required) << c.path;
  }
  const tFileUpdate numbers = GetUpdateVersion(host.url("/letter.xml"), V(1, 0, 0, 0));
  EXPECT_EQ(numbers.Version.Major, 0);
  EXPECT_EQ(numbers.Version.Minor, 2);
  EXPECT_EQ(numbers.Version.Release, 3);
  EXPECT_EQ(numbers.Version.Build, 4);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(UpdateCheckTest, SendsTheExpectedRequestHeaders) {
  TestHost host;
  ASSERT_GT(host.port(), 0);
  GetUpdateVersion(host.url("/v1234.xml"), V(1, 2, 3, 4));
  const auto& h = host.lastHeaders();
  auto value = [&](const char* name) {
    const auto it = h.find(name);
    return it == h.end() ? std::string("(none)") : it->second;
  };
  EXPECT_EQ(value("User-Agent"), "Mozilla/4.0");
  EXPECT_EQ(value("Connection"), "Keep-Alive");
  EXPECT_EQ(value("Cache-Control"), "no-cache");
}

TEST_F(UpdateCheckTest, PlainHostNameMeansHttpOnPort80) {
  // Port 80 is ours inside the private network namespace.
  TestHost host("0.0.0.0", 80);
  ASSERT_EQ(host.port(), 80);
  const tFileUpdate got = GetUpdateVersion("corvantest/downloads/corvancontrol.xml", V(1, 0, 0, 1));
  EXPECT_EQ(got.Version.VersionStr, "7.0.0.1");
  EXPECT_TRUE(got.UpdateRequired);
}

TEST_F(UpdateCheckTest, FailedRequestsReadAsZeroAndAreReported) {
  TestHost host;
  ASSERT_GT(host.port(), 0);
  const std::string urls[] = {
      host.url("/missing.xml"),                                       // 404
      "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/v.xml",  // nothing listening
      "/downloads/corvancontrol.xml",                                 // the vendor's default host, which never resolves
  };
  for (const auto& url : urls) {
    const tFileUpdate got = GetUpdateVersion(url, V(1, 2, 3, 4));
    EXPECT_EQ(got.Version.VersionStr, "0.0.0.0") << url;
    EXPECT_EQ(got.Version.Major + got.Version.Minor + got.Version.Release + got.Version.Build, 0);
    EXPECT_TRUE(got.UpdateRequired) << url;  // "0.0.0.0" differs from "1.2.3.4"
    clock.advanceMs(1);                      // one report file per failure
  }
  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 3u);
  std::string all;
  for (const auto& r : reports) {
    EXPECT_NE(r.find("<Function>brix32.GetUpdateVersion:200</Function>"), std::string::npos);
    EXPECT_NE(r.find("<Notes>first exception handler</Notes>"), std::string::npos);
    all += r;
  }
  EXPECT_NE(all.find("404"), std::string::npos);
  EXPECT_NE(all.find("http://www.tarnex.example/downloads/corvancontrol.xml"), std::string::npos);
  // Unknown current version against an unreachable host: nothing to compare, no update.
  EXPECT_FALSE(GetUpdateVersion(host.url("/missing.xml"), V(0, 0, 0, 0)).UpdateRequired);
}

TEST_F(UpdateCheckTest, SilentHostTimesOutWithoutReport) {
  SilentHost silent;
  ASSERT_GT(silent.port(), 0);
  SetUpdateCheckTimeout(std::chrono::milliseconds(300));
  const tFileUpdate got =
      GetUpdateVersion("http://127.0.0.1:" + std::to_string(silent.port()) + "/v.xml", V(1, 2, 3, 4));
  EXPECT_EQ(got.Version.VersionStr, "0.0.0.0");
  EXPECT_TRUE(got.UpdateRequired);
  EXPECT_TRUE(Reports().empty());
}

TEST_F(UpdateCheckTest, EndlessBodyIsCutOffAndReported) {
  TestHost host;
  ASSERT_GT(host.port(), 0);
  // Long enough that only the size cap can end this request.
  SetUpdateCheckTimeout(std::chrono::minutes(5));
  const tFileUpdate got = GetUpdateVersion(host.url("/endless.xml"), V(1, 2, 3, 4));
  EXPECT_EQ(got.Version.VersionStr, "0.0.0.0");  // a cut body is not read
  EXPECT_TRUE(got.UpdateRequired);
  const auto reports = Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("response body longer than 1048576 bytes"), std::string::npos);
}
