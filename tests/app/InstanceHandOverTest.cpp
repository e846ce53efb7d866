// The hand-over between a running panel and a later start: the request, a socket a
// crashed copy left, things that are not requests, and another user.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

#include "ChildProcesses.h"
#include "TempFolder.h"
#include "app/InstanceHandOver.h"
#include "support/UniqueFd.h"

using MainForm::TInstanceHandOver;

namespace {

class InstanceHandOverTest : public ::testing::Test {
 protected:
  // Runs the event loop until `done` or a generous limit.
  bool Serve(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QTimer tick;
    tick.start(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
  }

  // A later start asking, from another thread while this one serves; its answer.
  bool AskWhileServing(int timeoutMs = 10000) {
    auto asked = std::async(std::launch::async, [&] { return TInstanceHandOver::AskToShow(socket, timeoutMs); });
    Serve([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return asked.get();
  }

  static brix32::UniqueFd Connect(const std::string& path) {
    brix32::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return {};
    return fd;
  }

  // Connects and sends `bytes` as a client that is not the program would.
  static brix32::UniqueFd Send(const std::string& path, const std::string& bytes) {
    brix32::UniqueFd fd = Connect(path);
    if (!fd || ::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) return {};
    return fd;
  }

  // Whether the other end closed the connection (after `fd` sent what it had); a close
  // with bytes left unread comes as a reset.
  static bool Closed(int fd) {
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
  }

  int argc = 1;
  char name[16] = "handover";
  char* argv[2] = {name, nullptr};
  QCoreApplication app{argc, argv};
  corvantest::TempFolder runtime;
  std::string socket = TInstanceHandOver::SocketPathFor(runtime.file("corvancontrol"));
  int shown = 0;
  TInstanceHandOver first{[this] { ++shown; }};
};

}  // namespace

TEST_F(InstanceHandOverTest, ALaterStartIsHeardAndAnswered) {
  ASSERT_TRUE(first.Listen(socket));
  EXPECT_EQ(socket, runtime.file("corvancontrol.socket"));
  struct stat st {};
  ASSERT_EQ(::stat(socket.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(AskWhileServing());
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(AskWhileServing());
  EXPECT_EQ(shown, 2);
}

TEST_F(InstanceHandOverTest, WithNobodyListeningTheAskGivesUpAtItsDeadline) {
  EXPECT_FALSE(TInstanceHandOver::AskToShow(socket, 200));
  // A copy that starts listening while the later one waits is still reached.
  auto asked = std::async(std::launch::async, [&] { return TInstanceHandOver::AskToShow(socket, 10000); });
  ASSERT_TRUE(first.Listen(socket));
  Serve([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  EXPECT_TRUE(asked.get());
  EXPECT_EQ(shown, 1);
}

TEST_F(InstanceHandOverTest, TheSocketOfACrashedCopyIsReplacedAndNothingElseIs) {
  {
    // Bound and never removed, as a copy that crashed leaves it.
    brix32::UniqueFd left(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socket.c_str());
    ASSERT_EQ(::bind(left.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  }
  ASSERT_TRUE(first.Listen(socket));
  EXPECT_TRUE(AskWhileServing());
  EXPECT_EQ(shown, 1);

  runtime.write("other.socket", "not a socket");
  TInstanceHandOver second([] {});
  EXPECT_FALSE(second.Listen(runtime.file("other.socket")));
  EXPECT_EQ(runtime.read("other.socket"), "not a socket");
}

TEST_F(InstanceHandOverTest, WhatIsNotARequestShowsNothing) {
  ASSERT_TRUE(first.Listen(socket));
  for (const std::string& bytes : {std::string("hello\n"), std::string("show"), std::string(64, 'x')}) {
    SCOPED_TRACE(bytes);
    const brix32::UniqueFd client = Send(socket, bytes);
    ASSERT_TRUE(client);
    // Closed by the panel: at once for a wrong line, after a while for an unfinished one.
    auto closed = std::async(std::launch::async, [&] { return Closed(client.get()); });
    EXPECT_TRUE(Serve([&] { return closed.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_TRUE(closed.get());
  }
  EXPECT_EQ(shown, 0);
}

TEST_F(InstanceHandOverTest, AnotherUserIsNotHeard) {
  // Reachable by everyone, as a socket in a shared folder would be: the credentials of
  // the peer are what keeps the request out.
  ::chmod(runtime.path().c_str(), 0755);
  ASSERT_TRUE(first.Listen(socket));
  ::chmod(socket.c_str(), 0666);
  auto asked = std::async(std::launch::async, [&] {
    return corvantest::RunAsNobody([&] {
      const brix32::UniqueFd client = Connect(socket);
      if (!client) return 1;
      // The panel may turn the connection away before the request is even sent.
      if (::send(client.get(), "show\n", 5, MSG_NOSIGNAL) < 0) return errno == EPIPE || errno == ECONNRESET ? 0 : 1;
      return Closed(client.get()) ? 0 : 1;
    });
  });
  Serve([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  EXPECT_EQ(asked.get(), 0) << "the request was not turned away";
  EXPECT_EQ(shown, 0);
  // And the later start does not talk to another user's panel either.
  EXPECT_EQ(corvantest::RunAsNobody([&] { return TInstanceHandOver::AskToShow(socket, 200) ? 1 : 0; }), 0);
}
