#include "watcher/ServiceWatcher.h"

#include <sys/stat.h>

#include <exception>
#include <optional>
#include <utility>

#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"
#include "support/ServiceFileRead.h"

namespace MainForm {

namespace {

tWriteStamp StampOf(const std::string& FileName) {
  struct stat st {};
  if (::lstat(FileName.c_str(), &st) != 0) return {};
  return {st.st_ino, std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

TServiceWatcher::TServiceWatcher(TServiceSink& Sink, tWatchOptions Options, std::unique_ptr<TWatchTimers> Timers)
    : sink_(Sink),
      options_(std::move(Options)),
      timers_(Timers ? std::move(Timers) : std::make_unique<TQtWatchTimers>(kSlots)) {
  timers_->OnDue = [this](std::size_t Slot) { Due(Slot); };
  // Files created, removed, renamed and written; folders do not count.
  using enum components::TNotifyFilter;
  using enum components::TAction;
  monitor_.FilterNotification = components::TFilter{nfFILE_NAME, nfLAST_WRITE, nfCREATION};
  monitor_.FilterAction =
      components::TActionFilter{faADDED, faREMOVED, faMODIFIED, faRENAMED_OLD_NAME, faRENAMED_NEW_NAME};
  monitor_.WatchSubtree = false;
  monitor_.OnChange = [this](components::TDirMonitor* Sender, components::TAction Action, const std::string& FileName) {
    DirMonitorChange(Sender, Action, FileName);
  };
}

TServiceWatcher::~TServiceWatcher() = default;

template <class Event>
void TServiceWatcher::Emit(void (TServiceSink::*Handler)(const Event&), const Event& Value) {
  try {
    (sink_.*Handler)(Value);
  } catch (const std::exception&) {
  }
}

void TServiceWatcher::Start(const std::string& Folder) {
  Stop();
  folder_ = Folder;
  monitor_.Directory = Folder;
  monitor_.SetActive(true);
}

void TServiceWatcher::Stop() {
  monitor_.SetActive(false);
  for (std::size_t slot = 0; slot < kSlots; ++slot) timers_->Stop(slot);
  for (tPendingRead& read : reads_) read = {};
  waiting_ = {};
}

bool TServiceWatcher::Idle() const {
  for (const tPendingRead& read : reads_)
    if (read.Pending) return false;
  return !waiting_.Waiting;
}

void TServiceWatcher::DirMonitorChange(components::TDirMonitor* /*Sender*/, components::TAction Action,
                                       const std::string& FileName) {
  // An error here drops this notification only; nothing may reach the monitor's loop.
  try {
    Notified(Action, FileName);
  } catch (const std::exception&) {
  }
}

void TServiceWatcher::Notified(components::TAction Action, const std::string& FileName) {
  const tServiceFile file = ServiceFileOf(FileName, Action == components::faADDED);
  if (file == tServiceFile::None) return;
  const tSlot slot = file == tServiceFile::TarnexHeartbeat      ? kTarnex
                     : file == tServiceFile::SerialHeartbeat    ? kSerial
                     : file == tServiceFile::UdpListenHeartbeat ? kUdp
                     : file == tServiceFile::Message            ? kMessage
                                                                : kSettings;
  const std::uint64_t number = ++notifications_;
  if (slot <= kUdp) lastHeartbeatNotification_ = number;
  tPendingRead& read = reads_[slot];
  // A notified file is read by the name it was notified with.
  read.FileName = FileName;
  read.LastNotification = number;
  if (read.Pending) return;  // the read already waiting covers this change too
  const TWatchTimers::tTime due = timers_->Now() + std::chrono::milliseconds(ReadDelayMs(file));
  timers_->Start(slot, due);
  read.Pending = true;
  read.Due = due;
}

void TServiceWatcher::Due(std::size_t Slot) {
  // An error here ends this read only: the watcher goes on with the next notification.
  try {
    switch (Slot) {
      case kTarnex:
      case kSerial:
      case kUdp:
        ReadHeartbeat(static_cast<tSlot>(Slot));
        break;
      case kMessage:
        // Behind a message that waits for its status, this one waits its turn.
        if (!waiting_.Waiting) ReadMessage();
        break;
      case kSettings:
        ReadSettings();
        break;
      case kDecision:
        DecideMessage();
        break;
      default:
        break;
    }
  } catch (const std::exception&) {
  }
}

void TServiceWatcher::ReadHeartbeat(tSlot Slot) {
  const tPendingRead read = std::exchange(reads_[Slot], {});
  const std::string file = folder_ + read.FileName;
  tHeartbeat event;
  event.Feed = Slot == kTarnex ? tFeed::VendorTcp : Slot == kSerial ? tFeed::Serial : tFeed::Udp;
  event.Stamp = StampOf(file);
  event.Text = brix32::ReadHeartbeat(file);
  if (event.Feed == tFeed::VendorTcp) event.GoingCount = GoingCount(event.Text);
  event.Latest = read.LastNotification == lastHeartbeatNotification_;
  Emit(&TServiceSink::OnHeartbeat, event);
}

void TServiceWatcher::ReadMessage() {
  const tPendingRead read = std::exchange(reads_[kMessage], {});
  timers_->Stop(kMessage);  // read after a decision: its timer has had its turn, or need not come
  const std::string text = brix32::ReadServiceText(folder_ + read.FileName);
  if (MessageSaysStopped(text)) {
    // The service is on its way out: give it time to end before the status is decided.
    waiting_ = {true, text, read.Due + std::chrono::milliseconds(kStoppedMessageDelayMs)};
    if (waiting_.Due > timers_->Now()) {
      timers_->Start(kDecision, waiting_.Due);
      return;
    }
  } else {
    waiting_ = {true, text, read.Due};
  }
  DecideMessage();
}

void TServiceWatcher::DecideMessage() {
  const tWaitingMessage message = std::exchange(waiting_, {});
  // Decided now, from the folder as it is now: the message file included.
  const tServiceVerdict verdict = GetServiceVerdict(folder_);
  tServiceMessage event;
  event.Text = message.Text;
  event.Status = verdict.Status;
  event.PrintingReady = verdict.PrintingReady;
  event.Alarm = MessageIsAlarm(message.Text);
  Emit(&TServiceSink::OnMessage, event);
  // A message that came meanwhile, and whose own wait is over, is read now.
  if (reads_[kMessage].Pending && reads_[kMessage].Due <= timers_->Now()) ReadMessage();
}

void TServiceWatcher::ReadSettings() {
  reads_[kSettings] = {};
  const std::string before = Lib::gVEKSettings.WWWHostActive;
  const tWriteStamp stamp = StampOf(Lib::CorvanSettingsFile());
  Lib::LoadCorvanSettings(options_.SettingsCaller, options_.CreateMissingSettings);
  const std::string host = Lib::gVEKSettings.WWWHostActive;
  Emit(&TServiceSink::OnSettingsChanged, tSettingsChange{host, stamp});
  if (host != before) Emit(&TServiceSink::OnHostChanged, tHostChange{host, before});
}

}  // namespace MainForm
