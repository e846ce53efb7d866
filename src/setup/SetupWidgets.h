#pragma once
// Small pieces both setup dialogs build their rows from.
#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <exception>
#include <string>
#include <string_view>

namespace SetupWidgets {

// A setup dialog's window, named Name, with the title Title: left only through its buttons
// (no system menu, no close box), and modal to no window of ours: the dialog holds up the
// command that opened it, yet the notification area's icon (a window of this application
// too) can still be clicked, and that click cancels it.
void SetUpDialogWindow(QDialog* Dialog, const char* Name, const char* Title);

// A push button that Enter never presses unless it is the dialog's default.
QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption);

// The rows above, a gap, then `Left` at the left end and Cancel and OK at the right; the
// dialog takes the size its rows need.
void LayOutDialog(QDialog* Dialog, QGridLayout* Rows, QPushButton* Left, QPushButton* Cancel, QPushButton* OK);

// Every label of a window shows its text as written: a printer's name or a folder from
// the settings must never be taken for markup (a picture it named would be loaded).
void ShowLabelsAsPlainText(QWidget* Window);

// The small "?" button at the end of a row; it shows the row's explanation.
QPushButton* MakeHelpButton(QWidget* Parent, const char* Name);

// A one-line edit of a stored setting. A value the program puts in is kept whole (Qt's
// own limit of 32,767 characters would cut a longer one) and given back as it was; what
// the user types, pastes or drops loses its line breaks, which the settings file could not
// give back. A typing limit, where there is one, bounds typing only, as the edit boxes of
// the settings always did: a longer value from the file is kept and can be shortened,
// never lengthened, by the user.
class TSettingEdit : public QLineEdit {
 public:
  explicit TSettingEdit(QWidget* Parent, int TypingLimit = 0);
  // Puts a value in whole, whatever the typing limit.
  void SetValue(const QString& Text);

 private:
  int limit_;
};

// For the few handlers whose failure ends them without a word.
template <class Body>
void DropErrors(Body&& body) {
  try {
    body();
  } catch (const std::exception&) {
  }
}

}  // namespace SetupWidgets
