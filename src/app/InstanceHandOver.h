#pragma once
// A second start brings the running panel forward: the copy holding the single-instance
// lock listens on a local socket beside the lock file, and a later copy asks it to show
// its window, as a click on the notification-area icon would, before it ends. Only the
// same user is heard: the peer's credentials are checked on both ends.
#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "support/UniqueFd.h"

class QSocketNotifier;
class QTimer;

namespace MainForm {

class TInstanceHandOver : public QObject {
 public:
  explicit TInstanceHandOver(std::function<void()> OnShow);
  ~TInstanceHandOver() override;
  TInstanceHandOver(const TInstanceHandOver&) = delete;
  TInstanceHandOver& operator=(const TInstanceHandOver&) = delete;

  // The first copy: listens at `SocketPath`, replacing a socket a crashed copy left
  // behind. False when it cannot; the program then runs on without.
  bool Listen(const std::string& SocketPath);

  // A later copy: asks the one listening at `SocketPath` to show its window and waits
  // for its answer. While that copy is still starting there is no socket yet, so the
  // request is tried again until `TimeoutMs` have passed. True once it has answered.
  static bool AskToShow(const std::string& SocketPath, int TimeoutMs);

  // The socket beside the single-instance lock file `LockFile`.
  static std::string SocketPathFor(const std::string& LockFile) { return LockFile + ".socket"; }

 private:
  struct TClient;
  void Accept();
  void Read(int Fd);
  void Drop(int Fd);

  std::function<void()> onShow_;
  brix32::UniqueFd listener_;
  std::string path_;
  QSocketNotifier* incoming_ = nullptr;
  std::map<int, std::unique_ptr<TClient>> clients_;
};

}  // namespace MainForm
