#pragma once
// How the watch folds a line that repeats: one write of a file comes with several
// notifications (created, written, closed), and a service may write the same heartbeat
// many times a second. A text read again within a second of its last reading is folded
// instead of printed; the writes folded (told apart by the file's inode and modification
// time) are counted and said at least every few seconds, so that a heartbeat that keeps
// coming never looks like one that stopped.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "watcher/ServiceEvents.h"

namespace corvanctl {

using MainForm::tWriteStamp;

class tRepeatFolding {
 public:
  using tClock = std::chrono::steady_clock;
  // A reading this close to the one before it, with the same text, is folded.
  static constexpr std::chrono::milliseconds kFoldWithin{1000};
  // Folded writes are said at the latest this long after the last line or count.
  static constexpr std::chrono::milliseconds kSayEvery{3000};

  struct tVerdict {
    // Folded writes to say now, before the text's line when it is shown.
    std::int32_t Folded = 0;
    bool Show = false;
  };

  // One reading of the file.
  tVerdict Seen(const std::string& Text, tWriteStamp Stamp, tClock::time_point Now);
  // The folded writes whose time to be said has come (0: none).
  std::int32_t Due(tClock::time_point Now);
  // When Due will have something to say; nothing when no write is folded.
  std::optional<tClock::time_point> NextDue() const;
  // Every folded write not said yet, due or not (at the end of the watch).
  std::int32_t TakeFolded();

 private:
  bool seen_ = false;
  std::string text_;
  tWriteStamp stamp_;
  tClock::time_point lastReading_{};
  tClock::time_point lastSaid_{};
  std::int32_t folded_ = 0;
};

}  // namespace corvanctl
