#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/QtText.h"

namespace platform {
namespace {

// Over the dialog that asks, or else the window in front.
QWidget* Parent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

// Modal to the window it belongs to only: a click on the notification-area icon (a
// window of this application too) still gets through, and may cancel it.
int ShowModal(QDialog& Dialog) {
  Dialog.setWindowModality(Qt::WindowModal);
  return Dialog.exec();
}

// Messages carry text from files, settings and errors: shown as written, never as markup.
int ShowPlain(QMessageBox& Box) {
  Box.setTextFormat(Qt::PlainText);
  return ShowModal(Box);
}

}  // namespace

QStringList QtNameFilters(const std::string& Filter) {
  QStringList result;
  const QStringList parts = Q(Filter).split('|');
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString text = parts[i];
    QString patterns = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
    patterns.replace(';', ' ');
    result << text + " (" + patterns + ")";
  }
  return result;
}

void QtDialogs::ShowMessage(const std::string& Text) {
  QMessageBox box(QMessageBox::NoIcon, Q(title_), Q(Text), QMessageBox::Ok, Parent());
  ShowPlain(box);
}

tModalResult QtDialogs::MessageDlg(const std::string& Text, tMsgDlgType DlgType, const tMsgDlgButtons& Buttons) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption = Q(title_);
  switch (DlgType) {
    case tMsgDlgType::mtWarning:
      icon = QMessageBox::Warning;
      caption = "Warning";
      break;
    case tMsgDlgType::mtError:
      icon = QMessageBox::Critical;
      caption = "Error";
      break;
    case tMsgDlgType::mtInformation:
      icon = QMessageBox::Information;
      caption = "Information";
      break;
    case tMsgDlgType::mtConfirmation:
      icon = QMessageBox::Question;
      caption = "Confirmation";
      break;
    case tMsgDlgType::mtCustom:
      break;
  }
  QMessageBox box(icon, caption, Q(Text), QMessageBox::NoButton, Parent());
  for (const tMsgDlgBtn b : Buttons) {
    switch (b) {
      case tMsgDlgBtn::mbYes:
        box.addButton(QMessageBox::Yes);
        break;
      case tMsgDlgBtn::mbNo:
        box.addButton(QMessageBox::No);
        break;
      case tMsgDlgBtn::mbOK:
        box.addButton(QMessageBox::Ok);
        break;
      case tMsgDlgBtn::mbCancel:
        box.addButton(QMessageBox::Cancel);
        break;
    }
  }
  if (Buttons.empty()) box.addButton(QMessageBox::Ok);
  switch (ShowPlain(box)) {
    case QMessageBox::Yes:
      return tModalResult::mrYes;
    case QMessageBox::No:
      return tModalResult::mrNo;
    case QMessageBox::Ok:
      return tModalResult::mrOk;
    default:
      return tModalResult::mrCancel;
  }
}

std::string QtDialogs::InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) {
  QInputDialog dialog(Parent());
  dialog.setWindowTitle(Q(Caption));
  dialog.setLabelText(Q(Prompt));
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(Q(Default));
  if (ShowModal(dialog) != QDialog::Accepted) return Default;
  // One line: a pasted line break would end up inside a line of the settings file.
  QString line = dialog.textValue();
  line.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  return S(line);
}

std::optional<std::vector<std::string>> QtDialogs::OpenFiles(const tOpenDialogParams& Params) {
  QFileDialog dialog(Parent(), Q(Params.Title), Q(Params.InitialDir));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(Params.AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (!Params.Filter.empty()) dialog.setNameFilters(QtNameFilters(Params.Filter));
  if (ShowModal(dialog) != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> files;
  for (const QString& f : dialog.selectedFiles()) files.push_back(S(f));
  return files;
}

std::optional<std::string> QtDialogs::SaveFile(const tSaveDialogParams& Params) {
  QFileDialog dialog(Parent(), Q(Params.Title), Q(Params.InitialDir));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The program asks about overwriting itself, in its own words.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!Params.Filter.empty()) {
    const QStringList filters = QtNameFilters(Params.Filter);
    dialog.setNameFilters(filters);
    if (Params.FilterIndex >= 1 && Params.FilterIndex <= filters.size())
      dialog.selectNameFilter(filters[Params.FilterIndex - 1]);
  }
  dialog.setDefaultSuffix(Q(Params.DefaultExt));
  if (!Params.FileName.empty()) dialog.selectFile(Q(Params.FileName));
  if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return S(dialog.selectedFiles().front());
}

std::optional<std::string> QtDialogs::SelectDirectory(const std::string& Caption, const std::string& InitialDir) {
  QFileDialog dialog(Parent(), Q(Caption), Q(InitialDir));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return S(dialog.selectedFiles().front());
}

void QtDialogs::ShowException(const std::string& Message) {
  QMessageBox box(QMessageBox::Critical, Q(title_), Q(Message), QMessageBox::Ok, Parent());
  ShowPlain(box);
}

void QtDialogs::SetCursor(tCursor Cursor) {
  const bool busy = Cursor == tCursor::crHourGlass;
  if (busy == busy_) return;  // the override cursor is a stack; keep it balanced
  busy_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace platform
