#pragma once
// TfrmNewTask, the task entry dialog: the operator types or edits a page. Created once at
// program start and reused; the text stays in it between uses.
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

namespace NewTaskFrom {

class TfrmNewTask : public QDialog {
 public:
  TfrmNewTask();

  QPlainTextEdit* memText = nullptr;
  QPushButton* Button2 = nullptr;  // Cancel
  QPushButton* Button1 = nullptr;  // OK

  void Button1Click();
  void Button2Click();

  // Puts a task file's text into memText, wrapped so that it is laid out at once.
  void SetTaskText(const QString& Text);

 protected:
  // Enter belongs to the text, and Escape must not throw a typed page away: only the
  // two buttons close the dialog.
  void keyPressEvent(QKeyEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
};

// The one instance, set by the program entry.
extern TfrmNewTask* frmNewTask;

}  // namespace NewTaskFrom
