#include "pager/TarnexFetch.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "FixedClock.h"
#include "Hermetic.h"
#include "ProcessState.h"
#include "ScratchFolder.h"
#include "TcpListen.h"
#include "UdpListener.h"
#include "pager/VEKUnits.h"
#include "settings/CorvanSettings.h"
#include "support/Diagnostics.h"
#include "support/Hooks.h"

using namespace VEKLib;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

int ListenOn15170(int backlog) { return corvantest::ListenOnLoopback(15170, backlog); }

bool Readable(int fd, std::chrono::milliseconds wait) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(wait.count())) > 0;
}

// The vendor's host on loopback for one connection: it reads the request line, sends the
// chunks of its answer with `pause` between them, and then either closes at once or holds
// the connection until the client closes it (at most 10 s).
class FetchHost {
 public:
  enum Then { kClose, kHold };

  FetchHost(std::vector<std::string> chunks, Then then, std::chrono::milliseconds pause = std::chrono::milliseconds(0))
      : listener_(ListenOn15170(4)) {
    thread_ = std::thread([this, chunks = std::move(chunks), then, pause] { Serve(chunks, then, pause); });
  }
  FetchHost(std::string answer, Then then) : FetchHost(std::vector<std::string>{std::move(answer)}, then) {}
  ~FetchHost() {
    finish();
    ::close(listener_);
  }
  FetchHost(const FetchHost&) = delete;
  FetchHost& operator=(const FetchHost&) = delete;

  void finish() {
    if (thread_.joinable()) thread_.join();
  }
  const std::string& request() {
    finish();
    return request_;
  }
  bool clientClosed() {
    finish();
    return clientClosed_;
  }
  // The client went away before the whole answer had been sent.
  bool cutShort() {
    finish();
    return cutShort_;
  }
  // The client left, whether before or after the whole answer had been sent: which of the
  // two depends on how the two threads were scheduled.
  bool clientGone() {
    finish();
    return clientClosed_ || cutShort_;
  }

 private:
  void Serve(const std::vector<std::string>& chunks, Then then, std::chrono::milliseconds pause) {
    if (!Readable(listener_, 10s)) return;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    char buffer[4096];
    while (request_.find('\n') == std::string::npos && Readable(fd, 5s)) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request_.append(buffer, static_cast<std::size_t>(n));
    }
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(pause);
      if (::send(fd, chunks[i].data(), chunks[i].size(), MSG_NOSIGNAL) < 0) {
        cutShort_ = true;  // the client has gone
        break;
      }
    }
    if (then == kHold && !cutShort_) {
      while (Readable(fd, 10s)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
          // A client that closes with part of the answer unread resets the connection.
          clientClosed_ = n == 0 || errno == ECONNRESET;
          break;
        }
        request_.append(buffer, static_cast<std::size_t>(n));
      }
    }
    ::close(fd);
  }

  int listener_;
  std::thread thread_;
  std::string request_;
  bool clientClosed_ = false;
  bool cutShort_ = false;
};

class Fetch : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    brix32::gGlobalSettings.SelfName = "CorvanControl";
    brix32::gGlobalSettings.HostName = "PC01";
    brix32::gGlobalSettings.Path = scratch.folder().path();
    Lib::gVEKSettings.WWWHost = "127.0.0.1";
  }

  std::vector<std::string> syslog(std::size_t count) {
    std::vector<std::string> lines;
    for (const auto& d : listener.receive(count, 300ms)) lines.push_back(d.bytes);
    return lines;
  }

  corvantest::ProcessStateGuard processState;
  corvantest::InScratchFolder scratch;
  corvantest::UdpListener listener{514};
};

const std::string kConnectedSyslog[] = {
    "<5>CorvanControl:00001 VEKLib.GetFileFromTarnex:270 downloading "
    "\"https://127.0.0.1/vek/VEKUnits.xml\" CF=\"Caller:7\" H=\"PC01\" (ID=51124)",
    "<7>CorvanControl:00002 VEKLib.GetFileFromTarnex:270 sFile=\"VEKUnits.xml\" H=\"PC01\" "
    "(ID=71124)",
};

}  // namespace

TEST_F(Fetch, StoresTheLinesBetweenSofAndEof) {
  FetchHost host(
      "Welcome\r\nsending VEKUnits.xml <SOF> now\r\n<VEKUnits>\r\n  <VEKUnit>\n\r\n"
      "<UnitCode>\x01\xff</UnitCode>\r\nend <EOF> here\r\nafter the end\r\n",
      FetchHost::kHold);
  scratch.folder().write("VEKUnits.xml", "the old file, replaced\r\n");
  int events = 0;
  brix32::SetProcessMessagesHandler([&] { ++events; });

  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{0, "OK"}));

  EXPECT_EQ(host.request(), "VEKUnits.xml\r\n");
  EXPECT_TRUE(host.clientClosed());
  EXPECT_EQ(scratch.folder().read("VEKUnits.xml"),
            "<VEKUnits>\r\n  <VEKUnit>\r\n\r\n<UnitCode>\x01\xff</UnitCode>\r\n");
  EXPECT_EQ(scratch.files(), std::vector<std::string>{"VEKUnits.xml"});
  EXPECT_EQ(events, 7);  // one per line up to "<EOF>"
  EXPECT_EQ(syslog(3), std::vector<std::string>(std::begin(kConnectedSyslog), std::end(kConnectedSyslog)));
}

TEST_F(Fetch, AnswersThatRunToEofWithoutContentWriteNothing) {
  const struct {
    const char* answer;
    FetchHost::Then then;
  } cases[] = {
      {"No such file\r\n<EOF>\r\n", FetchHost::kHold},
      {"<SOF>\r\n<EOF>\r\n", FetchHost::kHold},
      {"<SOF>\r\n<EOF>", FetchHost::kClose},  // the last line needs no line end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    scratch.folder().write("Suburbs.xml", "kept");
    FetchHost host(c.answer, c.then);
    EXPECT_EQ(GetFileFromTarnex("Suburbs.xml", "Caller:7"), (tRC{0, "OK"}));
    EXPECT_EQ(host.request(), "Suburbs.xml\r\n");
    EXPECT_EQ(scratch.folder().read("Suburbs.xml"), "kept");
  }
}

TEST_F(Fetch, HostClosingBeforeEofLeavesNoTruncatedFile) {
  for (const char* answer : {"", "Welcome\r\n", "<SOF>\r\n<VEKUnits>\r\n<VEKUnit>\r\n", "<SOF>\r\n<VEKUnit>\r\n<EO"}) {
    SCOPED_TRACE(answer);
    FetchHost host(answer, FetchHost::kClose);
    EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-10054, "Connection reset by peer"}));
    host.finish();
    EXPECT_EQ(scratch.files(), std::vector<std::string>{});
  }
}

TEST_F(Fetch, HostThatGoesQuietIsLeftAfterTheIdleLimit) {
  SetTarnexFetchIdleLimit(300ms);
  FetchHost host("<SOF>\r\n<VEKUnit>\r\n<UnitCode>EAS", FetchHost::kHold);
  const auto start = Clock::now();
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-10060, "Connection timeout"}));
  const auto took = Clock::now() - start;
  EXPECT_TRUE(host.clientClosed());
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 5s);
  EXPECT_EQ(scratch.files(), std::vector<std::string>{});
}

TEST_F(Fetch, SlowHostThatKeepsSendingLinesIsWaitedFor) {
  SetTarnexFetchIdleLimit(300ms);
  FetchHost host({"<SOF>\r\n", "a\r\n", "b\r\n", "c\r\n", "<EOF>\r\n"}, FetchHost::kHold, 150ms);
  EXPECT_EQ(GetFileFromTarnex("slow.txt", "Caller:7"), (tRC{0, "OK"}));
  EXPECT_EQ(scratch.folder().read("slow.txt"), "a\r\nb\r\nc\r\n");
}

TEST_F(Fetch, HostThatTricklesLinesIsLeftAtTheOverallDeadline) {
  // A line every 50 ms keeps within the idle limit for the 10 s the answer would take.
  SetTarnexFetchIdleLimit(2s);
  SetTarnexFetchTimeLimit(500ms);
  std::vector<std::string> chunks{"<SOF>\r\n"};
  for (int i = 0; i < 200; ++i) chunks.push_back("<VEKUnit>\r\n");
  chunks.push_back("<EOF>\r\n");
  FetchHost host(chunks, FetchHost::kHold, 50ms);
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-10060, "Connection timeout"}));
  EXPECT_TRUE(host.cutShort());
  EXPECT_EQ(scratch.files(), std::vector<std::string>{});
}

TEST_F(Fetch, HostThatStreamsWithoutEofIsCutOffAtTheAnswerLimit) {
  SetTarnexFetchAnswerLimit(4096);
  std::vector<std::string> chunks{"<SOF>\r\n"};
  for (int i = 0; i < 200; ++i) chunks.push_back(std::string(40, 'x') + "\r\n");
  // Line by line, as a host that streams: the client leaves while it still sends.
  FetchHost host(chunks, FetchHost::kHold, 1ms);
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-999, "Exception. Trace=3000"}));
  EXPECT_TRUE(host.clientGone());
  for (const std::string& name : scratch.files()) EXPECT_EQ(name.rfind("E!", 0), 0u) << name;
}

TEST_F(Fetch, RefusedConnection) {
  const auto start = Clock::now();
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-10, "Failed to connect to 127.0.0.1:15170"}));
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(syslog(2), std::vector<std::string>{"<7>CorvanControl:00001 VEKLib.GetFileFromTarnex:255 downloading "
                                                "\"https://127.0.0.1/vek/VEKUnits.xml\" H=\"PC01\" (ID=71124)"});
}

TEST_F(Fetch, HostThatNeverAcceptsIsGivenUpAfterOneSecond) {
  // A listener whose queue is full drops further connection requests unanswered.
  const int full = ListenOn15170(0);
  std::vector<int> fillers;
  for (int i = 0; i < 2; ++i) {
    fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(15170);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  std::this_thread::sleep_for(100ms);

  const auto start = Clock::now();
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7").AsInt, -10);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 900ms);
  EXPECT_LT(took, 3s);
  EXPECT_EQ(syslog(2).size(), 1u);
  for (const int fd : fillers) ::close(fd);
  ::close(full);
}

TEST_F(Fetch, UnresolvableHostIsAConnectionFailure) {
  Lib::gVEKSettings.WWWHost = "tarnex.invalid";
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-10, "Failed to connect to tarnex.invalid:15170"}));
}

TEST_F(Fetch, NoHostSetSendsNothing) {
  Lib::gVEKSettings.WWWHost.clear();
  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-2, "gVEKSettings.WWWHost not set."}));
  EXPECT_TRUE(syslog(1).empty());
}

TEST_F(Fetch, FileThatCannotBeWrittenIsReported) {
  std::filesystem::create_directory(scratch.folder().file("VEKUnits.xml"));
  FetchHost host("<SOF>\r\nline\r\n<EOF>\r\n", FetchHost::kHold);
  corvantest::FixedClock clock(2024, 5, 6, 7, 8, 9, 10);

  EXPECT_EQ(GetFileFromTarnex("VEKUnits.xml", "Caller:7"), (tRC{-999, "Exception. Trace=3000"}));

  const std::string report = "E!CorvanControl-20240506070809010.xml";
  ASSERT_TRUE(scratch.folder().exists(report));
  const std::string text = scratch.folder().read(report);
  EXPECT_NE(text.find("<Function>VEKLib.GetFileFromTarnex:400</Function>"), std::string::npos);
  EXPECT_NE(text.find("<CallingFunction>Caller:7</CallingFunction>"), std::string::npos);
  EXPECT_NE(text.find("<Notes>TCPLient.Host=127.0.0.1, TCPClient.Port=15170, "
                      "sFile=VEKUnits.xml</Notes>"),
            std::string::npos);
  const auto lines = syslog(5);
  ASSERT_EQ(lines.size(), 4u);  // two on connecting, the report's own, and ours
  EXPECT_EQ(lines[3],
            "<7>CorvanControl:00004 VEKLib.GetFileFromTarnex:3000 "
            "ExceptionRec.FileName=" +
                report + " H=\"PC01\" (ID=71124)");
}

// The loader asks the host for the units file when it is missing.
TEST_F(Fetch, LoaderFetchesAMissingUnitsFile) {
  FetchHost host("<SOF>\r\n<VEKUnit>\r\n<UnitCode>EAS</UnitCode>\r\n<VEKUnit>\r\n<EOF>\r\n", FetchHost::kHold);
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{2, "Count"}));
  EXPECT_EQ(host.request(), "VEKUnits.xml\r\n");
  ASSERT_EQ(gVEKUnits.size(), 2u);
  EXPECT_EQ(gVEKUnits[0].UnitCode, "EAS");
  const auto lines = syslog(3);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" CF=\"VEKLib.LoadVEKUnitsArrayFromXML:100\""), std::string::npos);
}

TEST_F(Fetch, LoaderReportsAFileTheHostDidNotSend) {
  tVEKUnitRec kept;
  kept.UnitCode = "KEP";
  gVEKUnits = {kept};
  FetchHost host("no such file\r\n<EOF>\r\n", FetchHost::kHold);
  const std::string name = scratch.folder().path() + "VEKUnits.xml";
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{-4, name + " does not exist."}));
  EXPECT_EQ(gVEKUnits, ArrayOfVEKUnits{kept});
}

TEST_F(Fetch, LoaderErrorIsReportedWithTheLastLineAndKeepsWhatWasRead) {
  scratch.folder().write("VEKUnits.xml",
                         "<VEKUnit>\r\n<UnitCode>AAA</UnitCode>\r\n<VEKUnit>\r\n"
                         "<UnitCode>BBB</UnitCode>\r\n<UnitName>B</UnitName>\r\n");
  int line = 0;
  brix32::SetProcessMessagesHandler([&] {
    if (++line == 4) throw std::runtime_error("event handler failed");
  });
  corvantest::FixedClock clock(2024, 5, 6, 7, 8, 9, 10);

  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{-99, "Exception."}));

  ASSERT_EQ(gVEKUnits.size(), 2u);
  EXPECT_EQ(gVEKUnits[0].UnitCode, "AAA");
  EXPECT_EQ(gVEKUnits[1].UnitCode, "BBB");
  EXPECT_EQ(gVEKUnits[1].UnitName, "");
  const std::string text = scratch.folder().read("E!CorvanControl-20240506070809010.xml");
  EXPECT_NE(text.find("<Function>VEKLib.LoadVEKUnitsArrayFromXML:400</Function>"), std::string::npos);
  EXPECT_NE(text.find("<Notes>sLastNode=<UnitCode>BBB</UnitCode></Notes>"), std::string::npos);
  EXPECT_NE(text.find("<e.Message>event handler failed</e.Message>"), std::string::npos);
}

TEST_F(Fetch, LoaderRefusesAUnitsFileBeyondItsLimitWithAReport) {
  // The panel does not look at the loader's result: the report is what tells.
  const std::string name = scratch.folder().path() + "VEKUnits.xml";
  scratch.folder().write("VEKUnits.xml", "<VEKUnit>\r\n");
  std::filesystem::resize_file(name, kUnitsFileLimit + 1);
  corvantest::FixedClock clock(2024, 5, 6, 7, 8, 9, 10);
  const std::string message = name + " is larger than 64 MB, the most a units file may hold.";
  EXPECT_EQ(LoadVEKUnitsArrayFromXML(""), (tRC{-5, message}));
  EXPECT_TRUE(gVEKUnits.empty());
  const std::string text = scratch.folder().read("E!CorvanControl-20240506070809010.xml");
  EXPECT_NE(text.find("<e.Message>" + message + "</e.Message>"), std::string::npos) << text;
}
