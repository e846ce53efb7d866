#pragma once
// TfrmNewTask, the task entry dialog: the operator types or edits a page. Created once at
// program start and reused.
#include <QDialog>

namespace NewTaskFrom {

class TfrmNewTask : public QDialog {
 public:
  TfrmNewTask();
};

// The one instance, set by the program entry.
extern TfrmNewTask* frmNewTask;

}  // namespace NewTaskFrom
