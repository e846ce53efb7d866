#pragma once
// The application and its main window over a Qt widget. Qt has no separate application
// window: hiding or restoring "the application" acts on the main window.
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "Application.h"

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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> mainWindow_;
  std::function<void()> onMinimize_;
  std::function<void()> onRestore_;
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
