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

// Texts are bytes: one byte per character into and out of the widgets, never converted.
inline QString Q(std::string_view s) {
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string S(const QString& s) { return s.toLatin1().toStdString(); }

// A push button that Enter never presses unless it is the dialog's default.
QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption);

// The rows above, a gap, then `Left` at the left end and Cancel and OK at the right; the
// dialog takes the size its rows need.
void LayOutDialog(QDialog* Dialog, QGridLayout* Rows, QPushButton* Left, QPushButton* Cancel,
                  QPushButton* OK);

// The small "?" button at the end of a row; it shows the row's explanation.
QPushButton* MakeHelpButton(QWidget* Parent, const char* Name);

// A maximum length that limits typing only, as the edit boxes of the settings always
// did: a longer value put in by the program is kept whole (Qt's own limit would cut it)
// and can be shortened, never lengthened, by the user.
class TLimitedEdit : public QLineEdit {
 public:
  TLimitedEdit(QWidget* Parent, int Limit);
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
