#include "SetupForm.h"

namespace SetupForm {

TfrmSetup* frmSetup = nullptr;

TfrmSetup::TfrmSetup(platform::Dialogs& Dialogs) : QDialog(nullptr), dialogs_(Dialogs) {
  setObjectName(QStringLiteral("frmSetup"));
  setWindowTitle(QStringLiteral("Corvan Service - Setup"));
  // Left only through OK or Cancel: no system menu, no close box.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(QFont(QStringLiteral("Sans Serif"), 8));
  setModal(true);
}

}  // namespace SetupForm
