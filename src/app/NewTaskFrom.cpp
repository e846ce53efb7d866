#include "app/NewTaskFrom.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace NewTaskFrom {

TfrmNewTask* frmNewTask = nullptr;

namespace {

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
  auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
  button->setObjectName(QString::fromLatin1(Name));
  button->setGeometry(Geometry);
  // Not pressed by Enter: that key makes a new line of the page.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

TfrmNewTask::TfrmNewTask() : QDialog(nullptr) {
  setObjectName(QStringLiteral("frmNewTask"));
  setWindowTitle(QStringLiteral("frmNewTask"));
  // A tool window whose only border icon is the help button.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);
  setFont(QFont(QStringLiteral("Sans Serif"), 8));
  setFixedSize(396, 111);
  // Modal to no window of ours, as the setup dialog: a click on the icon cancels it.
  setWindowModality(Qt::WindowModal);

  memText = new QPlainTextEdit(this);
  memText->setObjectName(QStringLiteral("memText"));
  memText->setGeometry(12, 8, 373, 69);
  Button2 = MakeButton(this, "Button2", "Cancel", QRect(284, 84, 49, 21));
  Button1 = MakeButton(this, "Button1", "OK", QRect(340, 84, 45, 21));
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TfrmNewTask::SetTaskText(const QString& Text) {
  // Wrapping at word boundaries searches the rest of a word for a place to break at every
  // line it lays out, so one run without a blank costs time that grows with its square
  // (a 1 MB file without one kept the dialog from opening for 32 s). A run longer than a
  // line is broken anywhere all the same; a text holding one is wrapped anywhere
  // throughout, and a page of words keeps its word wrap.
  constexpr qsizetype kLongestWord = 80;
  qsizetype run = 0;
  bool longRun = false;
  for (const QChar c : Text) {
    run = c.isSpace() ? 0 : run + 1;
    if (run > kLongestWord) {
      longRun = true;
      break;
    }
  }
  memText->setWordWrapMode(longRun ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
  memText->setPlainText(Text);
}

void TfrmNewTask::Button1Click() { accept(); }

void TfrmNewTask::Button2Click() { reject(); }

void TfrmNewTask::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Event->ignore();
      return;
    default:
      QDialog::keyPressEvent(Event);
  }
}

void TfrmNewTask::showEvent(QShowEvent* Event) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  QDialog::showEvent(Event);
}

}  // namespace NewTaskFrom
