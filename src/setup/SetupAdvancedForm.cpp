#include "SetupAdvancedForm.h"

namespace SetupAdvancedForm {

TfrmSetupAdvanced* frmSetupAdvanced = nullptr;

TfrmSetupAdvanced::TfrmSetupAdvanced(platform::Dialogs& Dialogs) : QDialog(nullptr), dialogs_(Dialogs) {
  setObjectName(QStringLiteral("frmSetupAdvanced"));
  setWindowTitle(QStringLiteral("Corvan Service - Setup (Advanced)"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(QFont(QStringLiteral("Sans Serif"), 8));
  setModal(true);
}

}  // namespace SetupAdvancedForm
