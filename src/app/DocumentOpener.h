#pragma once
// Opens links and task sheets with the desktop's program and says so when that fails.
// The opener (xdg-open) is watched on the UI thread until it ends, however long the
// viewer it started stays open; the window's handlers never wait for it.
#include <sys/types.h>

#include <QObject>
#include <functional>
#include <map>
#include <string>

class QSocketNotifier;

namespace MainForm {

class TDocumentOpener : public QObject {
 public:
  using TProblemHandler = std::function<void(const std::string& Problem)>;

  // `OnProblem` gets the message for an address or file that could not be opened.
  TDocumentOpener(QObject* Parent, TProblemHandler OnProblem);
  ~TDocumentOpener() override;
  TDocumentOpener(const TDocumentOpener&) = delete;
  TDocumentOpener& operator=(const TDocumentOpener&) = delete;

  void Open(const std::string& Name);

 private:
  struct TRunning {
    std::string Name;
    int PidFd = -1;
    QSocketNotifier* Ended = nullptr;
  };
  void Collect(pid_t Pid);

  TProblemHandler onProblem_;
  std::map<pid_t, TRunning> running_;
};

}  // namespace MainForm
