#include "app/DocumentOpener.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "support/ChildProcess.h"
#include "support/DisplayFile.h"

namespace MainForm {
namespace {

// glibc 2.36 declares pidfd_open without C linkage; the system call itself is plain.
int PidFdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

}  // namespace

TDocumentOpener::TDocumentOpener(QObject* Parent, TProblemHandler OnProblem)
    : QObject(Parent), onProblem_(std::move(OnProblem)) {}

TDocumentOpener::~TDocumentOpener() {
  // Viewers still open outlive the window; their openers are collected when they end.
  for (auto& [pid, running] : running_) {
    ::close(running.PidFd);
    brix32::ReapInBackground(pid);
  }
}

void TDocumentOpener::Open(const std::string& Name) {
  const pid_t pid = brix32::DisplayFile(Name);
  if (pid < 0) {
    onProblem_(brix32::DisplayFileProblem(Name, -1));
    return;
  }
  // A process's descriptor becomes readable when it ends.
  const int pidFd = PidFdOpen(pid);
  if (pidFd < 0) {
    brix32::ReapInBackground(pid);  // an old kernel: opened, but the outcome is not known
    return;
  }
  auto* ended = new QSocketNotifier(pidFd, QSocketNotifier::Read, this);
  connect(ended, &QSocketNotifier::activated, this, [this, pid] { Collect(pid); });
  running_[pid] = {Name, pidFd, ended};
}

void TDocumentOpener::Collect(pid_t Pid) {
  auto it = running_.find(Pid);
  if (it == running_.end()) return;
  int status = 0;
  if (::waitpid(Pid, &status, WNOHANG) != Pid) return;  // not ended after all
  const TRunning running = it->second;
  running_.erase(it);
  running.Ended->setEnabled(false);
  running.Ended->deleteLater();
  ::close(running.PidFd);
  const std::string problem = brix32::DisplayFileProblem(running.Name, status);
  if (!problem.empty()) onProblem_(problem);
}

}  // namespace MainForm
