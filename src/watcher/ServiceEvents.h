#pragma once
// What the service's files say, as the watcher hands it on: one record for each kind of
// event, and the sink that takes them. The panel shows them, corvanctl watch prints them.
#include <cstdint>
#include <string>

#include "status/StatusRules.h"

namespace MainForm {

// What tells one write of a file from the next.
struct tWriteStamp {
  std::uint64_t Inode = 0;
  std::int64_t ModifiedNs = 0;
  bool operator==(const tWriteStamp&) const = default;
};

// A heartbeat file, read after its wait.
struct tHeartbeat {
  tFeed Feed = tFeed::VendorTcp;
  std::string Text;              // the file's text as read (empty when it could not be)
  std::int32_t GoingCount = -1;  // the TCP heartbeat's count of going RFAs; -1 none
  tWriteStamp Stamp;             // the write that was read
  // No heartbeat of another feed was notified after the changes this read covers. The
  // waits differ per feed, so an older packet can be read after a newer one: it is no
  // longer the service's last packet.
  bool Latest = true;
};

// The data-packet box's text for a heartbeat: "COM:" or "UDP:" before the serial and UDP
// ones.
std::string ShownText(const tHeartbeat& Heartbeat);

// A message file created anew, and what was decided after it.
struct tServiceMessage {
  std::string Text;
  tGetStatus Status;           // decided after the message (two seconds later for "stopped")
  bool PrintingReady = false;  // the notification-area icon, decided with the status
  bool Alarm = false;          // "stopped" or "Disconnect": the error balloon
};

// The settings file changed and was read again.
struct tSettingsChange {
  std::string WWWHostActive;  // the vendor host the service uses, as the file says now
  tWriteStamp Stamp;          // the write that was read
};

// That read found another active host than the one held before it.
struct tHostChange {
  std::string WWWHostActive;
  std::string Previous;
};

// Takes the watcher's events, on the watcher's thread, in the order the watcher learnt
// them. Must outlive the watcher, and must not destroy it from inside an event.
class TServiceSink {
 public:
  virtual ~TServiceSink() = default;
  virtual void OnHeartbeat(const tHeartbeat& Event) = 0;
  virtual void OnMessage(const tServiceMessage& Event) = 0;
  virtual void OnSettingsChanged(const tSettingsChange& Event) = 0;
  virtual void OnHostChanged(const tHostChange& Event) = 0;
};

}  // namespace MainForm
