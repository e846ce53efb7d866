#include "NewTaskFrom.h"

namespace NewTaskFrom {

TfrmNewTask* frmNewTask = nullptr;

TfrmNewTask::TfrmNewTask() : QDialog(nullptr) {
  setObjectName(QStringLiteral("frmNewTask"));
  setWindowTitle(QStringLiteral("frmNewTask"));
  // A tool window whose only border icon is the help button.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);
  setFont(QFont(QStringLiteral("Sans Serif"), 8));
  resize(396, 111);
  setModal(true);
}

}  // namespace NewTaskFrom
