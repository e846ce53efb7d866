#include "watcher/ServiceEvents.h"

namespace MainForm {

std::string ShownText(const tHeartbeat& Heartbeat) {
  return std::string(HeartbeatPrefix(Heartbeat.Feed)) + Heartbeat.Text;
}

}  // namespace MainForm
