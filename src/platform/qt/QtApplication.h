#pragma once
// The application and its main window over a Qt widget. Qt has no separate application
// window: hiding or restoring "the application" acts on the main window. It also turns
// the system's requests to end (SIGTERM, SIGINT) into a handler on the UI thread.
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <memory>

#include "platform/Application.h"

namespace platform {

class QtApplication : public QObject, public Application {
 public:
  explicit QtApplication(QWidget* mainWindow);
  ~QtApplication() override;

  std::string Title() const override;
  // The application's title: the notification area's tip and balloons, the plain
  // messages, and the name the desktop lists the application under (its notification
  // item's title). Never added to window titles: each window shows its own caption.
  void SetTitle(const std::string& Title);
  void SetOnMinimize(std::function<void()> handler) override { onMinimize_ = std::move(handler); }
  void SetOnRestore(std::function<void()> handler) override { onRestore_ = std::move(handler); }
  bool Minimized() const override;
  bool MainFormVisible() const override;
  bool ShowMainForm() const override { return showMainForm_; }
  void HideApplication() override;
  void HideMainForm() override;
  void RestoreApplication() override;
  void MakeMainFormVisible() override;
  void BringToForeground() override;
  void FocusMainForm() override;

  // Start-up switches this off when the window is to start hidden.
  void SetShowMainForm(bool value) { showMainForm_ = value; }

  // SIGTERM and SIGINT run `handler` on the UI thread once the event being handled is
  // done, instead of ending the process wherever it happens to be (a file half written,
  // the icon left behind). Empty: the signals end the process again, as by default.
  void SetOnEndRequest(std::function<void()> handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> mainWindow_;
  std::function<void()> onMinimize_;
  std::function<void()> onRestore_;
  std::function<void()> onEndRequest_;
  std::unique_ptr<QSocketNotifier> endSignals_;
  bool showMainForm_ = true;
};

class QtPopupMenu : public PopupMenu {
 public:
  explicit QtPopupMenu(QMenu* menu) : menu_(menu) {}
  void Popup(int X, int Y) override;

 private:
  QPointer<QMenu> menu_;
};

}  // namespace platform
