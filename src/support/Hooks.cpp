#include "support/Hooks.h"

namespace brix32 {
namespace {
std::function<void(int, int)> gBeep;
std::function<void(const std::string&)> gMessageBox;
std::function<void()> gProcessMessages;
}  // namespace

void Beep(int frequencyHz, int durationMs) {
  if (gBeep) gBeep(frequencyHz, durationMs);
}
void SetBeepHandler(std::function<void(int, int)> handler) { gBeep = std::move(handler); }

void ShowMessageBox(const std::string& text) {
  if (gMessageBox) gMessageBox(text);
}
void SetMessageBoxHandler(std::function<void(const std::string&)> handler) { gMessageBox = std::move(handler); }

void ProcessMessages() {
  if (gProcessMessages) gProcessMessages();
}
void SetProcessMessagesHandler(std::function<void()> handler) { gProcessMessages = std::move(handler); }

}  // namespace brix32
