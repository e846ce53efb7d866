#include "setup/SetupForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <stdexcept>
#include <utility>

#include "platform/qt/QtText.h"
#include "settings/CorvanSettings.h"
#include "setup/SetupAdvancedForm.h"
#include "setup/SetupRules.h"
#include "setup/SetupWidgets.h"
#include "support/DefaultPrinter.h"

namespace SetupForm {

using platform::Q;
using platform::S;

TfrmSetup* frmSetup = nullptr;

TfrmSetup::TfrmSetup(platform::Dialogs& Dialogs) : QDialog(nullptr), dialogs_(Dialogs) {
  SetupWidgets::SetUpDialogWindow(this, "frmSetup", "Corvan Service - Setup");

  chkPrintTestPageAtStartup = new QCheckBox(QStringLiteral("Print DummyPage.TXT on service start."), this);
  chkPrintTestPageAtStartup->setObjectName(QStringLiteral("chkPrintTestPageAtStartup"));
  chkPrintTestPageAtStartup->setToolTip(
      QStringLiteral("If enabled the dummy tasking sheet (DummyPage.TXT) will be printed each time the "
                     "CorvanSrvc service starts."));
  cmdHelpPrintTestPage = SetupWidgets::MakeHelpButton(this, "cmdHelpPrintTestPage");

  chkEnablePrinting = new QCheckBox(Q(EnablePrintingCaption(false)), this);
  chkEnablePrinting->setObjectName(QStringLiteral("chkEnablePrinting"));
  // Room for the longer caption from the start, so that the dialog keeps its size.
  chkEnablePrinting->setMinimumWidth(chkEnablePrinting->sizeHint().width());
  chkEnablePrinting->setText(Q(EnablePrintingCaption(true)));
  chkEnablePrinting->setToolTip(
      QStringLiteral("Enables tasking sheets printing. If this is disabled, check the VEK Corvan Service "
                     "default printer settings."));
  lblDefaultPrinter = new QLabel(this);
  lblDefaultPrinter->setObjectName(QStringLiteral("lblDefaultPrinter"));
  lblDefaultPrinter->setMinimumWidth(120);
  cmdHelpEnablePrinting = SetupWidgets::MakeHelpButton(this, "cmdHelpEnablePrinting");

  lblMainUnit = new QLabel(QStringLiteral("Main unit"), this);
  lblMainUnit->setObjectName(QStringLiteral("lblMainUnit"));
  lblMainUnit->setToolTip(
      QStringLiteral("This is the 3 character unit code that is displayed in the maps on the task sheets."));
  txtMainUnit = new SetupWidgets::TSettingEdit(this);
  txtMainUnit->setObjectName(QStringLiteral("txtMainUnit"));
  txtMainUnit->setFixedWidth(48);
  cmdHelpMainUnit = SetupWidgets::MakeHelpButton(this, "cmdHelpMainUnit");

  cmdAdvanced = SetupWidgets::MakeButton(this, "cmdAdvanced", "Advanced...");
  cmdCancel = SetupWidgets::MakeButton(this, "cmdCancel", "Cancel");
  cmdOK = SetupWidgets::MakeButton(this, "cmdOK", "OK");

  auto* rows = new QGridLayout;
  rows->setColumnStretch(1, 1);
  rows->addWidget(chkPrintTestPageAtStartup, 0, 0, 1, 2);
  rows->addWidget(cmdHelpPrintTestPage, 0, 2);
  rows->addWidget(chkEnablePrinting, 1, 0);
  rows->addWidget(lblDefaultPrinter, 1, 1);
  rows->addWidget(cmdHelpEnablePrinting, 1, 2);
  auto* unit = new QHBoxLayout;
  unit->addWidget(lblMainUnit);
  unit->addWidget(txtMainUnit);
  unit->addStretch(1);
  rows->addLayout(unit, 2, 0, 1, 2);
  rows->addWidget(cmdHelpMainUnit, 2, 2);

  SetupWidgets::LayOutDialog(this, rows, cmdAdvanced, cmdCancel, cmdOK);
  SetupWidgets::ShowLabelsAsPlainText(this);

  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cmdAdvanced, &QPushButton::clicked, this, [this] { cmdAdvancedClick(); });
  connect(chkEnablePrinting, &QCheckBox::toggled, this, [this] { chkEnablePrintingClick(); });
  connect(cmdHelpPrintTestPage, &QPushButton::clicked, this, [this] { HelpClick(chkPrintTestPageAtStartup); });
  connect(cmdHelpEnablePrinting, &QPushButton::clicked, this, [this] { HelpClick(chkEnablePrinting); });
  connect(cmdHelpMainUnit, &QPushButton::clicked, this, [this] { HelpClick(lblMainUnit); });
}

SetupAdvancedForm::TfrmSetupAdvanced& TfrmSetup::Advanced() const {
  if (!SetupAdvancedForm::frmSetupAdvanced) throw std::logic_error("the advanced setup dialog has not been created");
  return *SetupAdvancedForm::frmSetupAdvanced;
}

void TfrmSetup::SetPrintingBoxEnabled(bool Enabled) {
  chkEnablePrinting->setEnabled(Enabled);
  chkEnablePrinting->setText(Q(EnablePrintingCaption(Enabled)));
}

void TfrmSetup::FillSetupControls() {
  SetupAdvancedForm::TfrmSetupAdvanced& advanced = Advanced();
  // A reference on purpose: a change of the printing box reloads the file, and what
  // follows copies the reloaded values.
  const Lib::tCorvanSettings& settings = Lib::gCorvanSettings;
  chkPrintTestPageAtStartup->setChecked(settings.PrintTestPageAtStartup);
  // Greyed state before checked state: the box's change handler reads both back into
  // EnablePrinting, and with the old greyed state it would turn a "Disabled" from the
  // service into 0, or keep a box greyed that the service has just made printable.
  const std::int32_t printing = settings.EnablePrinting;
  SetPrintingBoxEnabled(printing != 2);
  chkEnablePrinting->setChecked(printing == 1);
  txtMainUnit->SetValue(Q(settings.MainUnit));
  advanced.FillAdvancedControls();
}

void TfrmSetup::RefreshSetupForm() {
  SetupWidgets::DropErrors([&] {
    SetupAdvancedForm::TfrmSetupAdvanced& advanced = Advanced();
    Lib::GetCorvanSettings("SetupForm.RefreshSetupForm:100");
    Lib::tCorvanSettings& settings = Lib::gCorvanSettings;
    txtMainUnit->SetValue(Q(settings.MainUnit));
    // This is how a click on the box reaches the setting; only OK saves it.
    settings.EnablePrinting =
        EnablePrintingFromBox(chkEnablePrinting->isEnabledTo(this), chkEnablePrinting->isChecked());
    lblDefaultPrinter->setText(settings.EnablePrinting == 1 ? Q(brix32::GetDefaultPrinterName()) : QString());
    advanced.RefreshFromSetupForm(settings);
  });
}

tSetupControlValues TfrmSetup::ControlValues() const {
  tSetupControlValues values;
  values.MainUnit = S(txtMainUnit->text());
  values.PrintTestPageAtStartup = chkPrintTestPageAtStartup->isChecked();
  values.EnablePrintingEnabled = chkEnablePrinting->isEnabledTo(this);
  values.EnablePrintingChecked = chkEnablePrinting->isChecked();
  Advanced().PutControlValues(values);
  return values;
}

void TfrmSetup::ApplySetupControls() {
  ApplySetupValues(ControlValues());
  Lib::SaveCorvanSettings();
}

void TfrmSetup::cmdOKClick() {
  if (const std::optional<std::string> refused = UnstorableSetupValue(ControlValues(), false)) {
    dialogs_.ShowMessage(*refused);
    return;
  }
  accept();
}

void TfrmSetup::cmdAdvancedClick() {
  SetupAdvancedForm::TfrmSetupAdvanced& advanced = Advanced();
  advanced.RefreshAdvancedSetupForm();
  // QDialog::hide() would end this dialog's own modal loop as well; only the window goes.
  QWidget::setVisible(false);
  advancedOpen_ = true;
  const int result = advanced.exec();
  advancedOpen_ = false;
  if (result != QDialog::Accepted) advanced.RefreshAdvancedSetupForm();
  show();
  if (std::exchange(cancelled_, false)) reject();
}

void TfrmSetup::Cancel() {
  if (isVisible())
    reject();
  else if (advancedOpen_)
    cancelled_ = true;
}

void TfrmSetup::chkEnablePrintingClick() { RefreshSetupForm(); }

void TfrmSetup::HelpClick(const QWidget* Control) { dialogs_.ShowMessage(S(Control->toolTip())); }

}  // namespace SetupForm
