// units fetch: the units file from the vendor's host, simulated on loopback, and hosts
// that stop half-way.
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "CtlFixture.h"
#include "TcpListen.h"
#include "settings/CorvanSettings.h"

using namespace corvantest;

namespace {

// One connection on 127.0.0.1:15170: reads the request line, sends Answer and closes.
class OneShotHost {
 public:
  explicit OneShotHost(std::string Answer) : listener_(ListenOnLoopback(15170, 1)) {
    thread_ = std::thread([this, answer = std::move(Answer)] {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 10000) != 1) return;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      char buffer[256];
      std::string request;
      pollfd c{fd, POLLIN, 0};
      while (request.find('\n') == std::string::npos && ::poll(&c, 1, 5000) == 1) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
      ::close(fd);
    });
  }
  ~OneShotHost() {
    thread_.join();
    ::close(listener_);
  }
  OneShotHost(const OneShotHost&) = delete;
  OneShotHost& operator=(const OneShotHost&) = delete;

 private:
  int listener_;
  std::thread thread_;
};

class CtlUnitsFetchTest : public CtlTest {
 protected:
  void SetUp() override {
    CtlTest::SetUp();
    EditSettings([] { Lib::gVEKSettings.WWWHost = "127.0.0.1"; });
  }

  // Names in the folder that begin with the units file's name: the file and any
  // temporary left beside it.
  std::vector<std::string> UnitsEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      if (entry.path().filename().string().starts_with("VEKUnits.xml"))
        names.push_back(entry.path().filename().string());
    return names;
  }

  static constexpr const char* kOldUnits = "<VEKUnits>\r\n<VEKUnit>\r\n<UnitCode>OLD</UnitCode>\r\n</VEKUnit>\r\n";
};

}  // namespace

TEST_F(CtlUnitsFetchTest, StoresTheHostsFileWholeInPlaceOfTheOldOne) {
  TempFolder served;
  served.write("VEKUnits.xml", ReadTestData("tools/VEKUnits.xml"));
  dir.write("VEKUnits.xml", kOldUnits);
  ASSERT_EQ(::chmod(dir.file("VEKUnits.xml").c_str(), 0640), 0);
  {
    SimProcess host(kHostSim, {"--files", served.path()});
    ASSERT_TRUE(host.waitForOutput("ready")) << host.err();
    const CtlResult r = Ctl({"units", "fetch"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "RC.AsInt=0\nRC.AsStr=OK\n");
    EXPECT_EQ(r.err, "corvanctl: " + dir.file("VEKUnits.xml") + " written (" +
                         std::to_string(ReadTestData("tools/VEKUnits.xml").size()) + " bytes)\n");
  }
  EXPECT_EQ(dir.read("VEKUnits.xml"), ReadTestData("tools/VEKUnits.xml"));
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("VEKUnits.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file's mode is kept";
  EXPECT_EQ(ValueOf(Ctl({"units"}).out, "RC.AsInt"), "2");
  EXPECT_EQ(UnitsEntries(), std::vector<std::string>{"VEKUnits.xml"});
}

TEST_F(CtlUnitsFetchTest, NothingStoredLeavesTheOldFileAndExitsWithOne) {
  dir.write("VEKUnits.xml", kOldUnits);
  const std::string host = "corvanctl: 127.0.0.1";
  struct Case {
    const char* what;
    std::string answer;  // empty: no host listens
    std::string out;
    std::string err;
  } cases[] = {
      {"the host closes before <EOF>", "Hello\r\n<SOF>\r\n<VEKUnits>\r\n<VEKUnit>\r\n<UnitCode>NEW",
       "RC.AsInt=-10054\nRC.AsStr=Connection reset by peer\n", ""},
      {"the host does not have the file", "Hello\r\nFile not found: VEKUnits.xml\r\n<EOF>\r\n",
       "RC.AsInt=0\nRC.AsStr=OK\n", host + " sent no VEKUnits.xml; the file was not written\n"},
      {"nobody listens", "", "RC.AsInt=-10\nRC.AsStr=Failed to connect to 127.0.0.1:15170\n", ""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<OneShotHost> fake;
    if (!c.answer.empty()) fake = std::make_unique<OneShotHost>(c.answer);
    const CtlResult r = Ctl({"units", "fetch"});
    fake.reset();
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(dir.read("VEKUnits.xml"), kOldUnits) << c.what;
    EXPECT_EQ(UnitsEntries(), std::vector<std::string>{"VEKUnits.xml"}) << c.what;
  }

  EditSettings([] { Lib::gVEKSettings.WWWHost = ""; });
  const CtlResult noHost = Ctl({"units", "fetch"});
  EXPECT_EQ(noHost.status, 1);
  EXPECT_EQ(noHost.out, "RC.AsInt=-2\nRC.AsStr=gVEKSettings.WWWHost not set.\n");
}
