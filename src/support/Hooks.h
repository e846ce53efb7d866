#pragma once
// What the library needs from the user interface, without depending on one: the system
// beep, a message box and "let pending messages be handled". The application installs
// Qt's; without a user interface they do nothing.
#include <functional>
#include <string>

namespace brix32 {

void Beep(int frequencyHz, int durationMs);
void SetBeepHandler(std::function<void(int frequencyHz, int durationMs)> handler);

// A message box with an OK button, for the few errors the library shows to the user.
void ShowMessageBox(const std::string& text);
void SetMessageBoxHandler(std::function<void(const std::string& text)> handler);

void ProcessMessages();
void SetProcessMessagesHandler(std::function<void()> handler);

}  // namespace brix32
