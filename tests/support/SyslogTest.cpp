#include <gtest/gtest.h>
#include <unistd.h>

#include "Hermetic.h"
#include "ProcessState.h"
#include "UdpListener.h"
#include "support/Diagnostics.h"
#include "support/Syslog.h"

using namespace brix32;
using corvantest::UdpListener;

namespace {

class SyslogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CORVAN_REQUIRE_HERMETIC_NETWORK();
    gGlobalSettings.SelfName = "CorvanControl";
    gGlobalSettings.HostName = "PC01";
    ::sethostname("corvantest", 10);
  }
  void TearDown() override { ::sethostname("corvantest", 10); }

  corvantest::ProcessStateGuard processState;
};

}  // namespace

TEST(SyslogLine, Format) {
  const corvantest::ProcessStateGuard processState;
  gGlobalSettings.SelfName = "CorvanControl";
  gGlobalSettings.HostName = "PC01";
  struct Case {
    std::int32_t id;
    const char* msg;
    std::int16_t seq;
    const char* expected;
  } cases[] = {
      {57002, "TfrmMain.FormCreate:100 v1.2.3.4 started. gGlobalSettings.Path=C:\\Corvan\\", 1,
       "<5>CorvanControl:00001 TfrmMain.FormCreate:100 v1.2.3.4 started. "
       "gGlobalSettings.Path=C:\\Corvan\\ H=\"PC01\" (ID=57002)"},
      {5003, "x", 32767, "<0>CorvanControl:32767 x H=\"PC01\" (ID=05003)"},
      {0, "", 0, "<0>CorvanControl:00000  H=\"PC01\" (ID=00000)"},
      {71124, "m", 12, "<7>CorvanControl:00012 m H=\"PC01\" (ID=71124)"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSyslogLine({c.id, c.msg}, c.seq), c.expected);
  gGlobalSettings.HostName.clear();
  EXPECT_EQ(FormatSyslogLine({1090, "u"}, 3), "<0>CorvanControl:00003 u H=\"\" (ID=01090)");
}

TEST_F(SyslogTest, PostBroadcastsOnPort514WithRisingSequence) {
  UdpListener listener(514);
  PostSyslogMsg({57002, "started."});
  PostSyslogMsg({5003, "again"});
  const auto got = listener.receive(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].bytes, "<5>CorvanControl:00001 started. H=\"PC01\" (ID=57002)");
  EXPECT_EQ(got[0].source, "10.99.0.1");
  EXPECT_EQ(got[1].bytes, "<0>CorvanControl:00002 again H=\"PC01\" (ID=05003)");
}

TEST_F(SyslogTest, SequenceWrapsAfter32767) {
  UdpListener listener(514);
  gGlobalSettings.SyslogCounter = 32766;
  PostSyslogMsg({57002, "a"});
  PostSyslogMsg({57002, "b"});
  const auto got = listener.receive(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].bytes.substr(0, 23), "<5>CorvanControl:32767 ");
  EXPECT_EQ(got[1].bytes.substr(0, 23), "<5>CorvanControl:00000 ");
}

TEST_F(SyslogTest, OneDatagramPerLocalAddress) {
  ASSERT_EQ(::sethostname("corvantwo", 9), 0);
  UdpListener listener(15167);
  EXPECT_EQ(BroadcastUDPPacket(std::string("page\0text\xff", 10), 15167), 0);
  const auto got = listener.receive(3);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].source, "10.99.0.1");
  EXPECT_EQ(got[1].source, "10.99.0.2");
  for (const auto& d : got) EXPECT_EQ(d.bytes, std::string("page\0text\xff", 10));
}

TEST_F(SyslogTest, PortZeroSendsNothing) {
  UdpListener listener(514);
  EXPECT_EQ(BroadcastUDPPacket("x", 0), 0);
  EXPECT_EQ(BroadcastUDPPacket("x", -5), 0);
  EXPECT_TRUE(listener.receive(1, std::chrono::milliseconds(200)).empty());
}

TEST_F(SyslogTest, UnresolvableHostNameGivesMinusTwoAndDropsSyslog) {
  ASSERT_EQ(::sethostname("corvannowhere", 13), 0);
  UdpListener listener(514);
  EXPECT_EQ(BroadcastUDPPacket("x", 514), -2);
  PostSyslogMsg({57002, "lost"});
  EXPECT_EQ(gGlobalSettings.SyslogCounter, 1);
  EXPECT_TRUE(listener.receive(1, std::chrono::milliseconds(200)).empty());
}
