#include "app/InstanceHandOver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "support/FdWait.h"

namespace MainForm {
namespace {

constexpr char kShow[] = "show\n";
constexpr char kShown[] = "shown\n";
// A request is one short line; a client that sends nothing is dropped after this long.
constexpr std::size_t kRequestMax = 16;
constexpr int kClientTimeoutMs = 2000;
constexpr std::size_t kClientsMax = 4;

std::optional<sockaddr_un> Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

bool SameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

using Clock = std::chrono::steady_clock;

// A connection to the first copy, checked to belong to this user; empty while there is
// nobody (yet) to talk to.
brix32::UniqueFd Connect(const sockaddr_un& address, Clock::time_point deadline) {
  brix32::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) return {};
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EAGAIN && errno != EINPROGRESS) return {};
    // The first copy's queue is full for now.
    int error = 0;
    socklen_t size = sizeof error;
    if (!brix32::WaitForFd(fd.get(), POLLOUT, deadline) ||
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
      return {};
  }
  if (!SameUser(fd.get())) return {};
  return fd;
}

}  // namespace

struct TInstanceHandOver::TClient {
  brix32::UniqueFd Fd;
  QSocketNotifier* Readable = nullptr;
  QTimer* Expiry = nullptr;
  std::string Request;
};

TInstanceHandOver::TInstanceHandOver(std::function<void()> OnShow) : onShow_(std::move(OnShow)) {}

TInstanceHandOver::~TInstanceHandOver() {
  clients_.clear();
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool TInstanceHandOver::Listen(const std::string& SocketPath) {
  const std::optional<sockaddr_un> address = Address(SocketPath);
  if (!address || listener_) return false;
  brix32::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd) return false;
  // Whoever holds the lock owns the name: a socket left there is a crashed copy's.
  // Anything else in its place is left alone.
  struct stat st {};
  if (::lstat(SocketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(SocketPath.c_str());
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) return false;
  path_ = SocketPath;
  ::chmod(SocketPath.c_str(), 0600);
  if (::listen(fd.get(), static_cast<int>(kClientsMax)) != 0) return false;
  listener_ = std::move(fd);
  incoming_ = new QSocketNotifier(listener_.get(), QSocketNotifier::Read, this);
  connect(incoming_, &QSocketNotifier::activated, this, [this] { Accept(); });
  return true;
}

void TInstanceHandOver::Accept() {
  for (;;) {
    brix32::UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd) return;
    if (!SameUser(fd.get()) || clients_.size() >= kClientsMax) continue;  // closed unheard
    const int key = fd.get();
    auto client = std::make_unique<TClient>();
    client->Fd = std::move(fd);
    client->Readable = new QSocketNotifier(key, QSocketNotifier::Read, this);
    connect(client->Readable, &QSocketNotifier::activated, this, [this, key] { Read(key); });
    client->Expiry = new QTimer(this);
    client->Expiry->setSingleShot(true);
    connect(client->Expiry, &QTimer::timeout, this, [this, key] { Drop(key); });
    client->Expiry->start(kClientTimeoutMs);
    clients_[key] = std::move(client);
  }
}

void TInstanceHandOver::Read(int Fd) {
  auto it = clients_.find(Fd);
  if (it == clients_.end()) return;
  TClient& client = *it->second;
  char buffer[kRequestMax];
  const ssize_t n = ::recv(Fd, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) return Drop(Fd);
  client.Request.append(buffer, static_cast<std::size_t>(n));
  if (client.Request.find('\n') == std::string::npos) {
    if (client.Request.size() > kRequestMax) Drop(Fd);
    return;
  }
  const bool show = client.Request == kShow;
  if (show) {
    // The answer only says it was heard; the second copy does not wait for more.
    [[maybe_unused]] const ssize_t sent = ::send(Fd, kShown, sizeof kShown - 1, MSG_NOSIGNAL);
  }
  Drop(Fd);
  if (show && onShow_) onShow_();
}

void TInstanceHandOver::Drop(int Fd) {
  auto it = clients_.find(Fd);
  if (it == clients_.end()) return;
  std::unique_ptr<TClient> client = std::move(it->second);
  clients_.erase(it);
  // Both may be the sender of the signal being handled: deleted once it returns.
  client->Readable->setEnabled(false);
  client->Readable->deleteLater();
  client->Expiry->stop();
  client->Expiry->deleteLater();
}

bool TInstanceHandOver::AskToShow(const std::string& SocketPath, int TimeoutMs) {
  const std::optional<sockaddr_un> address = Address(SocketPath);
  if (!address) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(TimeoutMs);
  brix32::UniqueFd fd;
  while (!(fd = Connect(*address, deadline)) && brix32::MsUntil(deadline) > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!fd) return false;
  if (::send(fd.get(), kShow, sizeof kShow - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof kShow - 1)) return false;
  std::string answer;
  while (answer.find('\n') == std::string::npos && brix32::WaitForFd(fd.get(), POLLIN, deadline)) {
    char buffer[kRequestMax];
    const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  return answer == kShown;
}

}  // namespace MainForm
