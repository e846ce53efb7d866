#pragma once
// TServiceWatcher: the program folder watched for the files the service writes, each
// change turned into a typed event for one sink (the panel, corvanctl watch).
//
// The service may still be writing when a change is reported, so each file is read only
// after its wait: 20 ms for the TCP heartbeat, 80 ms for the serial and UDP heartbeats
// and the message file, counted from the notification. The waits are timers on the event
// loop, never sleeps: the thread goes on with everything else meanwhile. A notification
// for a file whose read is pending joins that read (it reads the whole file). A message
// that says "stopped" has its status decided 2000 ms later still, when the service has
// had time to end. For each file the events come in the order of its notifications: a
// message that arrives while an earlier one waits for its status is read after that.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "components/DirMonitor.h"
#include "watcher/ServiceEvents.h"
#include "watcher/WatchTimers.h"

namespace MainForm {

struct tWatchOptions {
  // Caller text for the exception report of a failed settings read.
  std::string SettingsCaller;
  // A settings file the service removed is created again with the defaults (the panel's
  // rule); otherwise the defaults stay in memory only.
  bool CreateMissingSettings = false;
};

class TServiceWatcher {
 public:
  // Timers: the Qt event loop's unless given.
  TServiceWatcher(TServiceSink& Sink, tWatchOptions Options, std::unique_ptr<TWatchTimers> Timers = nullptr);
  ~TServiceWatcher();
  TServiceWatcher(const TServiceWatcher&) = delete;
  TServiceWatcher& operator=(const TServiceWatcher&) = delete;

  // Watches Folder (ending with "/"). Throws what TDirMonitor::SetActive throws for a
  // folder that cannot be watched; the watcher then stays inactive.
  void Start(const std::string& Folder);
  // Stops watching; reads still pending are dropped.
  void Stop();
  bool Active() const { return monitor_.Active(); }
  const std::string& Folder() const { return folder_; }

  // The directory monitor's change handler: one notification, as the monitor reports it.
  void DirMonitorChange(components::TDirMonitor* Sender, components::TAction Action, const std::string& FileName);

  // Nothing is waiting: no read pending, no message waiting for its status.
  bool Idle() const;

 private:
  // One timer each: the four files read after a wait, the settings (read once the batch
  // of notifications is handled), and the status decided after a "stopped" message.
  enum tSlot : std::size_t { kTarnex, kSerial, kUdp, kMessage, kSettings, kDecision, kSlots };

  struct tPendingRead {
    bool Pending = false;
    std::string FileName;                // as notified last
    TWatchTimers::tTime Due{};           // the first notification it covers, plus the wait
    std::uint64_t LastNotification = 0;  // the number of the last notification it covers
  };
  struct tWaitingMessage {
    bool Waiting = false;
    std::string Text;
    TWatchTimers::tTime Due{};
  };

  void Notified(components::TAction Action, const std::string& FileName);
  void Due(std::size_t Slot);
  void ReadHeartbeat(tSlot Slot);
  void ReadMessage();
  void DecideMessage();
  void ReadSettings();
  // Runs one event into the sink; an error the sink lets out is dropped, as the panel's
  // reaction to a file always dropped it.
  template <class Event>
  void Emit(void (TServiceSink::*Handler)(const Event&), const Event& Value);

  TServiceSink& sink_;
  tWatchOptions options_;
  std::string folder_;
  tPendingRead reads_[kSettings + 1];
  tWaitingMessage waiting_;
  std::uint64_t notifications_ = 0;
  std::uint64_t lastHeartbeatNotification_ = 0;
  // Last, so that they go first: no timer or notification reaches a half-destroyed watcher.
  std::unique_ptr<TWatchTimers> timers_;
  components::TDirMonitor monitor_;
};

}  // namespace MainForm
