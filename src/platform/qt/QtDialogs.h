#pragma once
// The dialogs port over Qt Widgets: QMessageBox, QInputDialog, QFileDialog and the
// override cursor. Each dialog is modal and runs its own event loop, so timers and
// directory notifications go on being handled while it is open.
#include <QString>
#include <QStringList>

#include "platform/Dialogs.h"

namespace platform {

class QtDialogs : public Dialogs {
 public:
  // Title of plain messages and error boxes (the application's title).
  void SetApplicationTitle(const std::string& Title) { title_ = Title; }

  void ShowMessage(const std::string& Text) override;
  tModalResult MessageDlg(const std::string& Text, tMsgDlgType DlgType, const tMsgDlgButtons& Buttons) override;
  std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) override;
  std::optional<std::vector<std::string>> OpenFiles(const tOpenDialogParams& Params) override;
  std::optional<std::string> SaveFile(const tSaveDialogParams& Params) override;
  std::optional<std::string> SelectDirectory(const std::string& Caption, const std::string& InitialDir) override;
  void ShowException(const std::string& Message) override;
  void SetCursor(tCursor Cursor) override;

 private:
  std::string title_;
  bool busy_ = false;
};

// "Text|pat;pat|Text|pat" as Qt's name filters: one "Text (pat pat)" per pair. An odd
// last text without patterns becomes a filter for everything.
QStringList QtNameFilters(const std::string& Filter);

}  // namespace platform
