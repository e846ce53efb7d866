#include "platform/fakes/FakeNotificationArea.h"

namespace platform {

bool FakeNotificationArea::Shell_NotifyIcon(std::uint32_t dwMessage, const NOTIFYICONDATA& data) {
  Calls.push_back({dwMessage, data});
  return true;
}

void FakeApplication::HideApplication() { Log.push_back("HideApplication"); }
void FakeApplication::HideMainForm() {
  IsMainFormVisible = false;
  Log.push_back("HideMainForm");
}
void FakeApplication::RestoreApplication() {
  IsMinimized = false;
  Log.push_back("RestoreApplication");
}
void FakeApplication::MakeMainFormVisible() {
  IsMainFormVisible = true;
  Log.push_back("MakeMainFormVisible");
}
void FakeApplication::BringToForeground() { Log.push_back("BringToForeground"); }
void FakeApplication::FocusMainForm() { Log.push_back("FocusMainForm"); }

void FakeApplication::Minimize() {
  IsMinimized = true;
  if (OnMinimize) OnMinimize();
}

void FakeApplication::Restore() {
  if (OnRestore) OnRestore();
}

void FakePopupMenu::Popup(int X, int Y) { journal_.push_back("Popup " + std::to_string(X) + "," + std::to_string(Y)); }

}  // namespace platform
