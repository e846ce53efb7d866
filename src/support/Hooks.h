#pragma once
// What the library needs from the user interface, without depending on one: the system
// beep and "let pending messages be handled". The application installs Qt's; without a
// user interface both do nothing.
#include <functional>

namespace brix32 {

void Beep(int frequencyHz, int durationMs);
void SetBeepHandler(std::function<void(int frequencyHz, int durationMs)> handler);

void ProcessMessages();
void SetProcessMessagesHandler(std::function<void()> handler);

}  // namespace brix32
