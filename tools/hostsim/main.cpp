// Simulator of the vendor's web host: published version files, the downloads page and
// callout reports over HTTP, the file exchange on TCP 15170, and the phone-home
// receiver on UDP 15171. Binds only to the address it is given (loopback by default).
#include <httplib.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "FileExchange.h"
#include "PhoneHomeLog.h"
#include "SimCommon.h"
#include "WebSite.h"
#include "support/Counterparts.h"

namespace {

using simcommon::Say;
using simcommon::UsageError;

constexpr const char* kUsage = R"(usage: hostsim [options]
  --bind ADDR                 IPv4 address to listen on (default 127.0.0.1)
  --http-port N               HTTP port (default 80)
  --control-version A.B.C.D   published CorvanControl version (absent: 404)
  --service-version A.B.C.D   published CorvanSrvc version (absent: 404)
  --sheetpress-version A.B.C.D  published SheetPress version (absent: 404)
  --files DIR                 files served on the file exchange and under /downloads/
  --fetch-port N              file exchange TCP port (default 15170)
  --phonehome-port N          phone-home UDP port (default 15171)
  --phonehome-log FILE        where phone-home reports are appended (default hostsim-phonehome.log))";

struct tOptions {
  in_addr Bind{};
  std::string BindText = "127.0.0.1";
  std::uint16_t HttpPort = Counterparts::kHttpPort;
  std::uint16_t FetchPort = Counterparts::kFileFetchPort;
  std::uint16_t PhoneHomePort = Counterparts::kPhoneHomePort;
  hostsim::tPublishedVersions Versions;
  std::string FilesFolder;  // with a trailing "/", or empty
  std::string PhoneHomeLog = "hostsim-phonehome.log";
};

tOptions ParseOptions(int argc, char** argv) {
  tOptions o;
  simcommon::ArgReader args(argc, argv);
  auto port = [&](const std::string& option) {
    const std::string text = args.value(option);
    const auto value = simcommon::ParsePort(text);
    if (!value) throw UsageError(option + " must be a port number 1..65535, not \"" + text + "\"");
    return *value;
  };
  auto version = [&](const std::string& option) {
    const std::string text = args.value(option);
    if (!simcommon::IsFourPartVersion(text))
      throw UsageError(option + " must be four whole numbers joined by \".\", not \"" + text + "\"");
    return text;
  };
  while (!args.done()) {
    const std::string option = args.option();
    if (option == "--bind") {
      o.BindText = args.value(option);
    } else if (option == "--http-port") {
      o.HttpPort = port(option);
    } else if (option == "--fetch-port") {
      o.FetchPort = port(option);
    } else if (option == "--phonehome-port") {
      o.PhoneHomePort = port(option);
    } else if (option == "--control-version") {
      o.Versions.Control = version(option);
    } else if (option == "--service-version") {
      o.Versions.Service = version(option);
    } else if (option == "--sheetpress-version") {
      o.Versions.SheetPress = version(option);
    } else if (option == "--files") {
      o.FilesFolder = args.value(option);
      struct stat st {};
      if (::stat(o.FilesFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw UsageError("--files: no folder \"" + o.FilesFolder + "\"");
      if (o.FilesFolder.back() != '/') o.FilesFolder += '/';
    } else if (option == "--phonehome-log") {
      o.PhoneHomeLog = args.value(option);
      if (o.PhoneHomeLog.empty()) throw UsageError("--phonehome-log needs a file name");
    } else {
      throw UsageError("unknown option " + option);
    }
  }
  const auto bind = simcommon::ParseIPv4(o.BindText);
  if (!bind) throw UsageError("--bind must be a dotted IPv4 address, not \"" + o.BindText + "\"");
  o.Bind = *bind;
  return o;
}

int Run(const tOptions& o, int signalFd) {
  const std::string where = o.BindText + ":";
  auto cannot = [&](const std::string& what) {
    simcommon::Complain("cannot bind " + what + ": " + std::strerror(errno));
    return simcommon::kExitCannotStart;
  };
  httplib::Server http;
  // Not httplib's default, which adds SO_REUSEPORT: a second host would then share the
  // port silently instead of failing to start.
  http.set_socket_options([](socket_t fd) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  });
  hostsim::AddRoutes(http, o.Versions, o.FilesFolder);
  if (!http.bind_to_port(o.BindText.c_str(), o.HttpPort)) return cannot("HTTP " + where + std::to_string(o.HttpPort));
  const int fetchFd = simcommon::BindSocket(SOCK_STREAM, o.Bind, o.FetchPort);
  if (fetchFd < 0) return cannot("TCP " + where + std::to_string(o.FetchPort));
  const int phoneFd = simcommon::BindSocket(SOCK_DGRAM, o.Bind, o.PhoneHomePort);
  if (phoneFd < 0) return cannot("UDP " + where + std::to_string(o.PhoneHomePort));
  const int stopFd = ::eventfd(0, EFD_CLOEXEC);

  Say("HTTP on http://" + where + std::to_string(o.HttpPort) + "/ publishing CorvanControl " +
      (o.Versions.Control.empty() ? "-" : o.Versions.Control) + ", CorvanSrvc " +
      (o.Versions.Service.empty() ? "-" : o.Versions.Service) + ", SheetPress " +
      (o.Versions.SheetPress.empty() ? "-" : o.Versions.SheetPress));
  Say("file exchange on tcp " + where + std::to_string(o.FetchPort) + " serving " +
      (o.FilesFolder.empty() ? "no files" : o.FilesFolder));
  Say("phone-home reports on udp " + where + std::to_string(o.PhoneHomePort) + " appended to " + o.PhoneHomeLog);

  std::atomic<bool> webEnded = false;
  std::thread web([&] {
    http.listen_after_bind();
    webEnded = true;
  });
  // stop() is lost on a server whose loop has not begun yet.
  while (!http.is_running() && !webEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread fetch([&] { hostsim::ServeFileExchange(fetchFd, stopFd, o.FilesFolder); });
  std::thread phone([&] { hostsim::ReceivePhoneHome(phoneFd, stopFd, o.PhoneHomeLog); });
  Say("ready");

  const std::string signal = simcommon::ReadStopSignal(signalFd);
  Say("stopping on " + signal);
  http.stop();
  const std::uint64_t one = 1;
  if (::write(stopFd, &one, sizeof one) != sizeof one) Say("cannot wake the workers");
  web.join();
  fetch.join();
  phone.join();
  ::close(fetchFd);
  ::close(phoneFd);
  ::close(stopFd);
  Say("stopped");
  return simcommon::kExitStopped;
}

}  // namespace

int main(int argc, char** argv) {
  simcommon::SetProgramName("hostsim");
  if (simcommon::HelpAsked(argc, argv)) return simcommon::PrintUsage(kUsage);
  // Before any thread starts, so that every thread leaves the stop signals to main.
  const int signalFd = simcommon::OpenStopSignalFd();
  try {
    return Run(ParseOptions(argc, argv), signalFd);
  } catch (const UsageError& e) {
    simcommon::Complain(e.what());
    simcommon::Complain(kUsage);
    return simcommon::kExitBadArguments;
  }
}
