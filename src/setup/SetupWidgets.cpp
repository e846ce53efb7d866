#include "setup/SetupWidgets.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <limits>

namespace SetupWidgets {

void SetUpDialogWindow(QDialog* Dialog, const char* Name, const char* Title) {
  Dialog->setObjectName(QString::fromLatin1(Name));
  Dialog->setWindowTitle(QString::fromLatin1(Title));
  Dialog->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  Dialog->setFont(QFont(QStringLiteral("Sans Serif"), 8));
  Dialog->setWindowModality(Qt::WindowModal);
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption) {
  auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
  button->setObjectName(QString::fromLatin1(Name));
  button->setAutoDefault(false);  // Enter in a field means OK, never "explain this"
  return button;
}

void LayOutDialog(QDialog* Dialog, QGridLayout* Rows, QPushButton* Left, QPushButton* Cancel, QPushButton* OK) {
  OK->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Left);
  buttons->addStretch(1);
  buttons->addWidget(Cancel);
  buttons->addWidget(OK);
  auto* form = new QVBoxLayout(Dialog);
  form->addLayout(Rows);
  form->addSpacing(8);
  form->addLayout(buttons);
  form->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowLabelsAsPlainText(QWidget* Window) {
  for (QLabel* label : Window->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

QPushButton* MakeHelpButton(QWidget* Parent, const char* Name) {
  QPushButton* button = MakeButton(Parent, Name, "?");
  button->setFixedWidth(22);
  return button;
}

namespace {

// Line breaks out of whatever reaches the edit; the rest as it came.
class TNoLineBreaks : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& Input, int& Pos) const override {
    for (qsizetype i = Input.size(); i-- > 0;) {
      if (Input[i] != QLatin1Char('\r') && Input[i] != QLatin1Char('\n')) continue;
      Input.remove(i, 1);
      if (i < Pos) --Pos;
    }
    return Acceptable;
  }
};

constexpr int kNoLimit = std::numeric_limits<int>::max();

}  // namespace

TSettingEdit::TSettingEdit(QWidget* Parent, int TypingLimit)
    : QLineEdit(Parent), limit_(TypingLimit > 0 ? TypingLimit : kNoLimit) {
  setMaxLength(limit_);
  setValidator(new TNoLineBreaks(this));
  // Each edit can only keep or lower the bound, down to the limit itself.
  connect(this, &QLineEdit::textEdited, this,
          [this](const QString& text) { setMaxLength(std::max(limit_, static_cast<int>(text.size()))); });
}

void TSettingEdit::SetValue(const QString& Text) {
  setMaxLength(std::max(limit_, static_cast<int>(Text.size())));
  setText(Text);
}

}  // namespace SetupWidgets
