#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

// libjpeg's header needs these declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "Hermetic.h"
#include "ProcessState.h"
#include "SimProcess.h"
#include "TempFolder.h"
#include "settings/CorvanSettings.h"
#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/Syslog.h"

using corvantest::RunToExit;
using corvantest::SimProcess;
using corvantest::TempFolder;

namespace {

const std::string kService = CORVAN_SERVICESIM_EXE;

struct tPicture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  // The colour at (x, y) as three channels.
  std::array<int, 3> at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

struct tJpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

// Decodes with libjpeg as the control panel does; a picture it cannot read fails the test.
tPicture DecodeJpeg(const std::string& bytes) {
  tPicture picture;
  jpeg_decompress_struct info{};
  tJpegError error{};
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<tJpegError*>(c->err)->jump, 1); };
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    ADD_FAILURE() << "libjpeg cannot decode the picture";
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  picture.width = static_cast<int>(info.output_width);
  picture.height = static_cast<int>(info.output_height);
  picture.rgb.resize(static_cast<std::size_t>(picture.width * picture.height) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = picture.rgb.data() +
                   static_cast<std::size_t>(info.output_scanline) * static_cast<std::size_t>(picture.width) * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return picture;
}

// JPEG blurs colours a little.
void ExpectColourNear(std::array<int, 3> got, std::array<int, 3> want, const std::string& what) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 24) << what << " channel " << i;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    ::closedir(dir);
  }
  return names;
}

class ServiceSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    brix32::gGlobalSettings.Path = folder.path();
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = folder.file("CorvanSrvc-Settings.xml");
  }
  std::vector<std::string> Args(std::vector<std::string> more) const {
    more.insert(more.begin(), {"--folder", folder.path()});
    return more;
  }
  // Runs a scenario that ends with its own "exit" step.
  void RunScenario(std::vector<std::string> more) {
    std::string err;
    ASSERT_EQ(RunToExit(kService, Args(std::move(more)), &err), 0) << err;
  }
  // Reads the settings file as the control panel does.
  void LoadSettings() {
    Lib::gCorvanSettings = {};
    Lib::gVEKSettings = {};
    Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = folder.file("CorvanSrvc-Settings.xml");
    ASSERT_EQ(Lib::GetCorvanSettings("ServiceSimTest:100"), 0);
  }

  corvantest::ProcessStateGuard processState;
  TempFolder folder;
};

}  // namespace

TEST_F(ServiceSimTest, ScenarioFileWritesTheServiceFilesAndRecordsTheActiveHost) {
  folder.write("scenario.txt",
               "# a heartbeat of each feed, then a status and the going count\r\n"
               "40 going 1\r\n"
               "0 serial COM page\\r\\nsecond line \r\n"  // out of order: sorted by time
               "\r\n"
               "10 udp UDP page\r\n"
               "20 status Service is fine.\\tQueue 0\r\n"
               "30 tarnex replaced by the going heartbeat\r\n"
               "60 exit\r\n");
  RunScenario({"--version", "2.3.4.5", "--host", "127.0.0.1", "--scenario", folder.file("scenario.txt")});

  const struct {
    const char* file;
    const char* content;
  } expected[] = {
      {"CORVANSRVC-SERIAL-HEARTBEAT.TXT", "COM page\r\nsecond line "},
      {"CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "UDP page"},
      {"CorvanSrvc-Status.txt", "Service is fine.\tQueue 0"},
      {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=2.3.4.5 G=1 "},
      {"CorvanSrvc-Version.txt", "2.3.4.5"},
      {"CORVANSRVC-MSG.TXT", "CorvanSrvc service stopped."},
  };
  for (const auto& e : expected) EXPECT_EQ(folder.read(e.file), e.content) << e.file;

  LoadSettings();
  EXPECT_EQ(Lib::gVEKSettings.WWWHostActive, "127.0.0.1");
  EXPECT_EQ(Lib::gCorvanSettings.UDPListenPort, 15167);
  // The service keeps what the control panel set.
  EXPECT_EQ(Lib::gVEKSettings.WWWHost, "www.tarnex.example");
}

TEST_F(ServiceSimTest, ActiveHostDefaultsToWWWHostAndFollowsTheScenario) {
  Lib::gVEKSettings.WWWHost = "corvantest";
  Lib::gVEKSettings.URI = "/vek/rezedozo.dll";
  Lib::gCorvanSettings.UDPListenPort = 0;
  Lib::gCorvanSettings.EnablePrinting = 1;
  Lib::gCorvanSettings.MainUnit = "STT";
  Lib::SaveCorvanSettings();

  SimProcess service(kService, Args({"--step", "300 host corvantwo"}));
  ASSERT_TRUE(service.waitForOutput("ready")) << service.err();
  LoadSettings();
  EXPECT_EQ(Lib::gVEKSettings.WWWHostActive, "corvantest");
  ASSERT_TRUE(service.waitForOutput("recorded WWWHostActive=corvantwo"));
  LoadSettings();
  EXPECT_EQ(Lib::gVEKSettings.WWWHostActive, "corvantwo");
  EXPECT_EQ(Lib::gCorvanSettings.MainUnit, "STT");
  EXPECT_EQ(Lib::gCorvanSettings.UDPListenPort, 0);
  EXPECT_EQ(service.stop(), 0);
}

TEST_F(ServiceSimTest, EveryMessageCreatesTheMessageFileAnew) {
  // The control panel reacts to the message file only when it is added.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  // Deletions too: inotify merges an event into an identical one queued just before it.
  ASSERT_GE(::inotify_add_watch(watch, folder.path().c_str(), IN_CREATE | IN_DELETE), 0);
  RunScenario({"--step", "0 msg CorvanSrvc connected.", "--step", "30 msg CorvanSrvc: Disconnected from corvantest",
               "--step", "60 exit"});
  int created = 0;
  alignas(inotify_event) char buffer[65536];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if ((event->mask & IN_CREATE) && event->len && std::string(event->name) == "CORVANSRVC-MSG.TXT") ++created;
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  EXPECT_EQ(created, 3);  // two messages and the one on stopping
  EXPECT_EQ(folder.read("CORVANSRVC-MSG.TXT"), "CorvanSrvc service stopped.");
}

TEST_F(ServiceSimTest, DataSourceStripHasTheColourOfTheFeedAndDecodesWithLibjpeg) {
  const struct {
    const char* feed;
    std::array<int, 3> colour;
  } cases[] = {
      {"com", {0, 160, 0}},       // green
      {"tcp", {255, 140, 0}},     // orange
      {"udp", {0, 90, 255}},      // blue
      {"udptcp", {255, 220, 0}},  // yellow
      {"none", {220, 0, 0}},      // red
      {"log", {0, 128, 128}},     // teal
  };
  for (const auto& c : cases) {
    const std::string before = brix32::FormatDateTime("yyyymmdd", brix32::Now());
    RunScenario({"--step", std::string("0 feed ") + c.feed, "--step", "0 exit"});
    const std::string after = brix32::FormatDateTime("yyyymmdd", brix32::Now());
    std::string name = "CORVANSRVC-DATASOURCE-" + after + ".jpg";
    if (!folder.exists(name)) name = "CORVANSRVC-DATASOURCE-" + before + ".jpg";
    ASSERT_TRUE(folder.exists(name)) << c.feed;
    const tPicture strip = DecodeJpeg(folder.read(name));
    ASSERT_GT(strip.width, 20);
    ASSERT_GT(strip.height, 4);
    ExpectColourNear(strip.at(strip.width / 2, strip.height / 2), c.colour, c.feed);
  }
}

TEST_F(ServiceSimTest, GoingGraphShowsTheCountsAsBarsNewestAtTheRight) {
  RunScenario({"--step", "0 going 10", "--step", "10 going 0", "--step", "20 going 5", "--step", "30 exit"});
  const tPicture graph = DecodeJpeg(folder.read("CORVANSRVC-GOING.JPG"));
  ASSERT_EQ(graph.width, 240);
  ASSERT_EQ(graph.height, 80);
  // 48 bars of 5 pixels over a baseline near the bottom; 10 is the full height.
  const int bottom = graph.height - 3;
  const auto column = [&](int barsFromRight) { return graph.width - 5 * barsFromRight + 2; };
  const std::array<int, 3> red{200, 0, 0}, white{255, 255, 255};
  ExpectColourNear(graph.at(column(3), bottom - 5), red, "count 10, low");
  ExpectColourNear(graph.at(column(3), 8), red, "count 10, near the top");
  ExpectColourNear(graph.at(column(2), bottom - 5), white, "count 0");
  ExpectColourNear(graph.at(column(1), bottom - 5), red, "count 5, low");
  ExpectColourNear(graph.at(column(1), 12), white, "count 5, above its bar");
  ExpectColourNear(graph.at(column(4), bottom - 5), white, "before the first count");
}

TEST_F(ServiceSimTest, TestPagesAreLoggedAndShownAsTheUdpHeartbeat) {
  SimProcess service(kService, Args({}));
  ASSERT_TRUE(service.waitForOutput("ready")) << service.err();
  const std::string page = "0000001 14:05 03-10-13 *CFSRES INC:S9000 <&>\xE9 STT20 ";
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(15167);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::sendto(fd, page.data(), page.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(page.size()));
  ::close(fd);
  ASSERT_TRUE(service.waitForOutput("wrote CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT")) << service.out();
  EXPECT_EQ(service.stop(), 0);
  EXPECT_NE(service.out().find("stopping on SIGTERM"), std::string::npos) << service.out();

  EXPECT_EQ(folder.read("CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT"), page);
  const std::string log = folder.read("CorvanSrvc-TestPages.log");
  EXPECT_NE(log.find(" 127.0.0.1:"), std::string::npos) << log;
  EXPECT_EQ(log.substr(log.size() - page.size() - 2), page + "\r\n");
  EXPECT_NE(log.find(" TEST PAGE " + page), std::string::npos) << log;
  EXPECT_EQ(folder.read("CORVANSRVC-MSG.TXT"), "CorvanSrvc service stopped.");
}

TEST_F(ServiceSimTest, DemoModeKeepsEveryWatchedFileComingUntilStopped) {
  SimProcess service(kService, Args({"--demo", "--interval", "100", "--seed", "3"}));
  // Serial pages come on odd page ticks, UDP pages on even ones: by the UDP one every
  // kind of file has been written at least once.
  ASSERT_TRUE(service.waitForOutput("wrote CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT")) << service.err();
  EXPECT_EQ(service.stop(), 0);
  for (const char* file : {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "CORVANSRVC-SERIAL-HEARTBEAT.TXT",
                           "CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "CorvanSrvc-Status.txt", "CorvanSrvc-Version.txt"})
    EXPECT_FALSE(folder.read(file).empty()) << file;
  EXPECT_NE(service.out().find("wrote CORVANSRVC-DATASOURCE-"), std::string::npos);
  const tPicture graph = DecodeJpeg(folder.read("CORVANSRVC-GOING.JPG"));
  EXPECT_EQ(graph.width, 240);
  EXPECT_EQ(folder.read("CORVANSRVC-MSG.TXT"), "CorvanSrvc service stopped.");
}

TEST_F(ServiceSimTest, BoundToAllAddressesItReceivesTheBroadcastTestPage) {
  SimProcess service(kService, Args({"--bind", "0.0.0.0"}));
  ASSERT_TRUE(service.waitForOutput("listening for pages on udp 0.0.0.0:15167")) << service.err();
  const std::string page = "0000001 14:05 03-10-13 *CFSRES INC:S9000 TEST ONLY ";
  ASSERT_EQ(brix32::BroadcastUDPPacket(page, 15167), 0);
  ASSERT_TRUE(service.waitForOutput("test page from")) << service.out();
  EXPECT_EQ(service.stop(), 0);
  EXPECT_NE(folder.read("CorvanSrvc-TestPages.log").find(" TEST PAGE " + page + "\r\n"), std::string::npos);
}

TEST_F(ServiceSimTest, UdpListenPortBecomesMinusOneWhenThePortIsTaken) {
  const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(15167);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  RunScenario({"--step", "0 exit"});
  ::close(holder);
  LoadSettings();
  EXPECT_EQ(Lib::gCorvanSettings.UDPListenPort, -1);

  // Once it failed, the service leaves the port alone until the setting is mended.
  std::string out;
  ASSERT_EQ(RunToExit(kService, Args({"--step", "0 exit"}), nullptr, &out), 0);
  EXPECT_NE(out.find("not listening for pages (UDPListenPort -1)"), std::string::npos) << out;
}

TEST_F(ServiceSimTest, RefusesBadArgumentsWithoutTouchingTheFolder) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--folder", folder.file("missing")}, "no folder"},
      {{"--folder", folder.path(), "--bind", "localhost"}, "dotted IPv4"},
      {{"--folder", folder.path(), "--version", "3.1.0"}, "four whole numbers"},
      {{"--folder", folder.path(), "--step", "5 launch rockets"}, "unknown command \"launch\""},
      {{"--folder", folder.path(), "--step", "soon msg hello"}, "time in milliseconds"},
      {{"--folder", folder.path(), "--step", "0 going -1"}, "count 0..9999"},
      {{"--folder", folder.path(), "--step", "0 feed pink"}, "com, tcp, udp"},
      {{"--folder", folder.path(), "--step", "0 msg bad \\q escape"}, "unknown escape"},
      {{"--folder", folder.path(), "--step", "0 exit now"}, "exit takes no text"},
      {{"--folder", folder.path(), "--scenario", folder.file("none.txt")}, "no file"},
      {{"--folder", folder.path(), "--interval"}, "--interval needs a value"},
      {{"--folder", folder.path(), "--frobnicate"}, "unknown option --frobnicate"},
      {{"stray"}, "unexpected argument \"stray\""},
      {{}, "--folder is required"},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(RunToExit(kService, c.args, &err), 2) << c.message;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
  EXPECT_TRUE(Entries(folder.path()).empty());
}

TEST_F(ServiceSimTest, HelpPrintsTheUsageAndStartsNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, Args({"--help", "--step", "0 msg hello"})}) {
    std::string out, err;
    EXPECT_EQ(RunToExit(kService, args, &err, &out), 0) << err;
    EXPECT_TRUE(out.starts_with("usage: corvansrvc.exe --folder DIR [options]\n")) << out;
    EXPECT_EQ(err, "");
  }
  EXPECT_TRUE(Entries(folder.path()).empty());
}
