#include "Service.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <random>

#include "Pictures.h"
#include "SimCommon.h"
#include "settings/CorvanSettings.h"
#include "support/Counterparts.h"
#include "support/DateTime.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"

namespace servicesim {
namespace {

using Clock = std::chrono::steady_clock;
using simcommon::Say;
namespace C = Counterparts;

std::string ByteCount(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

class Service {
 public:
  explicit Service(const tServiceOptions& o) : o_(o), random_(o.Seed) {}
  ~Service() {
    if (udpFd_ >= 0) ::close(udpFd_);
  }

  int Run(int signalFd);

 private:
  std::string PathOf(std::string_view name) const {
    return o_.Folder + brix32::ResolveNameIgnoringCase(o_.Folder, std::string(name));
  }

  // Rewritten in place, as the service does with its heartbeats and text files.
  void Rewrite(std::string_view name, const std::string& text) {
    const std::string path = PathOf(name);
    bool ok;
    if (text.empty()) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      ok = fd >= 0 && ::close(fd) == 0;
    } else {
      ok = brix32::WriteTextFile(text, path, false) == 0;
    }
    Report(name, text.size(), ok);
  }

  // The control panel reacts to the message file only when it is added: never rewrite it.
  void NewMessage(const std::string& text) {
    ::unlink(PathOf(C::kMessageFile).c_str());
    Rewrite(C::kMessageFile, text);
  }

  // Pictures are replaced whole, so that a reader never decodes half of one.
  void Picture(const std::string& name, const std::string& jpeg) {
    Report(name, jpeg.size(), brix32::WriteTextFileAtomic(jpeg, PathOf(name)) == 0);
  }

  void Report(std::string_view name, std::size_t size, bool ok) {
    if (ok)
      Say("wrote " + std::string(name) + " (" + ByteCount(size) + ")");
    else
      simcommon::Complain("cannot write " + o_.Folder + std::string(name) + ": " + std::strerror(errno));
  }

  // A new sample on the graph, and the feed heartbeat that reports it unless a page
  // takes the heartbeat's place this time.
  void Going(int count, bool heartbeat = true) {
    going_.push_back(count);
    while (going_.size() > kGraphSamples) going_.pop_front();
    if (heartbeat)
      Rewrite(C::kTarnexHeartbeatFile, std::string(C::kGoingInfoMarker) + o_.Version +
                                           std::string(C::kGoingCountMarker) + std::to_string(count) + " ");
    Picture(std::string(C::kGoingPictureFile), GoingGraphPicture(going_));
  }

  void Feed(tFeed feed) {
    const std::string name = std::string(C::kDataSourcePicturePrefix) +
                             brix32::FormatDateTime("yyyymmdd", brix32::Now()) +
                             std::string(C::kDataSourcePictureSuffix);
    Picture(name, DataSourcePicture(feed));
  }

  bool LoadSettings();
  void RecordActiveHost(const std::string& host);
  void OpenUdpPort();
  void ReceiveDatagram();
  // False when the step asks to stop.
  bool Perform(const tStep& step);
  void DemoTick();
  std::string DemoPage();

  const tServiceOptions& o_;
  int udpFd_ = -1;
  std::deque<int> going_;
  std::mt19937 random_;
  long demoTick_ = 0;
  int demoGoing_ = 2;
  std::size_t pagesReceived_ = 0;
};

bool Service::LoadSettings() {
  brix32::gGlobalSettings.Path = o_.Folder;
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) brix32::gGlobalSettings.HostName = host;
  Lib::gCorvanSettings.CorvanSrvcSettingsFilePath = PathOf(C::kSettingsFileName);
  const std::int32_t rc = Lib::GetCorvanSettings("corvansrvc.LoadSettings:100");
  if (rc < 0 || !Lib::gCorvanSettings.Loaded) {
    simcommon::Complain("cannot read or create " + Lib::gCorvanSettings.CorvanSrvcSettingsFilePath);
    return false;
  }
  Say(std::string(rc == 1 ? "created " : "read ") + Lib::gCorvanSettings.CorvanSrvcSettingsFilePath);
  return true;
}

void Service::RecordActiveHost(const std::string& host) {
  Lib::gVEKSettings.WWWHostActive = host;
  Lib::SaveCorvanSettings();
  Say("recorded WWWHostActive=" + host + " UDPListenPort=" + std::to_string(Lib::gCorvanSettings.UDPListenPort) +
      " in " + Lib::gCorvanSettings.CorvanSrvcSettingsFilePath);
}

void Service::OpenUdpPort() {
  const std::int32_t port = Lib::gCorvanSettings.UDPListenPort;
  const std::string where = o_.BindText + ":" + std::to_string(port);
  if (port <= 0) {
    Say("not listening for pages (UDPListenPort " + std::to_string(port) + ")");
    return;
  }
  udpFd_ = port > 65535 ? -1 : simcommon::BindSocket(SOCK_DGRAM, o_.Bind, static_cast<std::uint16_t>(port));
  if (udpFd_ < 0) {
    Say("cannot bind udp " + where + " (" + std::strerror(errno) + "): UDPListenPort becomes -1");
    Lib::gCorvanSettings.UDPListenPort = -1;
    return;
  }
  Say("listening for pages on udp " + where + ", logging them to " + o_.PageLog);
}

void Service::ReceiveDatagram() {
  char buffer[65536];
  sockaddr_in peer{};
  socklen_t peerSize = sizeof peer;
  const ssize_t n = ::recvfrom(udpFd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &peerSize);
  if (n < 0) return;
  const std::string text(buffer, static_cast<std::size_t>(n));
  const bool testPage = text.rfind("0000001 ", 0) == 0;
  const std::string source = simcommon::AddressText(peer);
  ++pagesReceived_;
  Say(std::string(testPage ? "test page" : "packet") + " from " + source + " (" + ByteCount(text.size()) + ")");
  // One log record per datagram: when, from where, and the bytes as they came.
  const std::string record = brix32::FormatDateTime("dd/mm/yy hh:nn:ss.zzz", brix32::Now()) + " " + source +
                             (testPage ? " TEST PAGE " : " PACKET ") + text + "\r\n";
  if (brix32::WriteTextFile(record, o_.PageLog, true) != 0) simcommon::Complain("cannot append to " + o_.PageLog);
  Rewrite(C::kUdpListenHeartbeatFile, text);
}

bool Service::Perform(const tStep& step) {
  const std::string& c = step.Command;
  if (c == "tarnex")
    Rewrite(C::kTarnexHeartbeatFile, step.Text);
  else if (c == "serial")
    Rewrite(C::kSerialHeartbeatFile, step.Text);
  else if (c == "udp")
    Rewrite(C::kUdpListenHeartbeatFile, step.Text);
  else if (c == "msg")
    NewMessage(step.Text);
  else if (c == "status")
    Rewrite(C::kStatusFile, step.Text);
  else if (c == "going")
    Going(std::stoi(step.Text));
  else if (c == "feed")
    Feed(*ParseFeed(step.Text));
  else if (c == "host")
    RecordActiveHost(step.Text);
  else if (c == "exit")
    return false;
  return true;
}

std::string Service::DemoPage() {
  static const char* const kKinds[] = {"TREE DOWN", "BUILDING DAMAGE", "FLOODING", "RESCUE"};
  static const char* const kPlaces[] = {"3 NORTH ESP GLENELG NORTH", "12 MAIN RD BELAIR", "4 BEACH RD CHRISTIES BEACH",
                                        "77 GREENHILL RD BURNSIDE"};
  std::uniform_int_distribution<int> pick(0, 3), incident(1000, 9999), grid(10, 20);
  const std::string unit = Lib::MainUnitCode().empty() ? "STT" : Lib::MainUnitCode();
  return "*CFSRES INC:S" + std::to_string(incident(random_)) + " " +
         brix32::FormatDateTime("dd/mm/yy hh:nn", brix32::Now()) + " RESPOND " + kKinds[pick(random_)] + " P2 " +
         kPlaces[pick(random_)] + " MAP:ADL 128 D" + std::to_string(grid(random_)) + ", SIMULATED PAGE " + unit;
}

// A lively service for the demo: going counts every tick, a page now and then, a feed
// change and a short disconnection from time to time. The same seed gives the same run.
void Service::DemoTick() {
  static constexpr tFeed kFeedCycle[] = {tFeed::Tcp, tFeed::UdpTcp, tFeed::Com, tFeed::Udp, tFeed::Log, tFeed::None};
  const std::string host = Lib::gVEKSettings.WWWHostActive;
  const long t = demoTick_++;
  if (t == 0) NewMessage("CorvanSrvc connected to " + host + ".");
  if (t % 20 == 19) NewMessage("CorvanSrvc: Disconnected from " + host + ".");
  if (t % 20 == 0 && t > 0) NewMessage("CorvanSrvc reconnected to " + host + ".");
  if (t % 8 == 0) Feed(kFeedCycle[(t / 8) % std::size(kFeedCycle)]);
  std::uniform_int_distribution<int> step(-1, 1);
  demoGoing_ = std::clamp(demoGoing_ + step(random_), 0, 12);
  Going(demoGoing_, t % 3 != 2);
  if (t % 3 == 1) Rewrite(t % 2 ? C::kSerialHeartbeatFile : C::kUdpListenHeartbeatFile, DemoPage());
  if (t % 3 == 2) Rewrite(C::kTarnexHeartbeatFile, DemoPage());
  Rewrite(C::kStatusFile, "Simulated service: " + std::to_string(t + 1) + " heartbeats, " +
                              std::to_string(pagesReceived_) + " packets received.");
}

int Service::Run(int signalFd) {
  Rewrite(C::kVersionFile, o_.Version);
  if (!LoadSettings()) return simcommon::kExitCannotStart;
  OpenUdpPort();
  RecordActiveHost(o_.ActiveHost.empty() ? Lib::gVEKSettings.WWWHost : o_.ActiveHost);
  Say("ready");

  const auto start = Clock::now();
  std::size_t next = 0;
  auto nextDemo = start;
  bool running = true;
  std::string stopReason = "the scenario's exit";
  while (running) {
    auto due = Clock::time_point::max();
    if (next < o_.Steps.size()) due = start + std::chrono::milliseconds(o_.Steps[next].AtMs);
    if (o_.Demo) due = std::min(due, nextDemo);
    int timeout = -1;
    if (due != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
      timeout = static_cast<int>(std::clamp<long long>(left, 0, 60000));
    }
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {udpFd_, POLLIN, 0}};
    const int n = ::poll(fds, udpFd_ >= 0 ? 2 : 1, timeout);
    if (n < 0 && errno != EINTR) break;
    if (n > 0 && (fds[0].revents & POLLIN)) {
      stopReason = simcommon::ReadStopSignal(signalFd);
      break;
    }
    if (n > 0 && udpFd_ >= 0 && (fds[1].revents & POLLIN)) ReceiveDatagram();
    const auto now = Clock::now();
    while (running && next < o_.Steps.size() && start + std::chrono::milliseconds(o_.Steps[next].AtMs) <= now)
      running = Perform(o_.Steps[next++]);
    if (running && o_.Demo && nextDemo <= now) {
      DemoTick();
      nextDemo += std::chrono::milliseconds(o_.IntervalMs);
    }
  }
  Say("stopping on " + stopReason);
  NewMessage("CorvanSrvc service stopped.");
  Say("stopped");
  return simcommon::kExitStopped;
}

}  // namespace

int RunService(const tServiceOptions& options, int signalFd) {
  Service service(options);
  return service.Run(signalFd);
}

}  // namespace servicesim
