#pragma once
// The application and its main window as the tray icon drives them: hiding into the
// notification area on minimize, coming back on restore, and the pop-up menu.
#include <functional>
#include <string>

namespace platform {

class Application {
 public:
  virtual ~Application();

  virtual std::string Title() const = 0;

  // Handlers run after the application was minimized or restored; empty clears them.
  virtual void SetOnMinimize(std::function<void()> handler) = 0;
  virtual void SetOnRestore(std::function<void()> handler) = 0;

  virtual bool Minimized() const = 0;
  virtual bool MainFormVisible() const = 0;
  // Whether the application shows its main window by itself (start-up may switch it off).
  virtual bool ShowMainForm() const = 0;

  virtual void HideApplication() = 0;
  virtual void HideMainForm() = 0;
  virtual void RestoreApplication() = 0;
  virtual void MakeMainFormVisible() = 0;
  virtual void BringToForeground() = 0;
  virtual void FocusMainForm() = 0;
};

// A menu that can pop up at a screen position.
class PopupMenu {
 public:
  virtual ~PopupMenu();
  virtual void Popup(int X, int Y) = 0;
};

}  // namespace platform
