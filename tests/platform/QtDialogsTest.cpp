// The Qt dialogs as the operator meets them, offscreen: what a message box shows, and the
// one line the input box answers.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <functional>

#include "FifoProbe.h"
#include "ShownText.h"
#include "TempFolder.h"
#include "TestApplication.h"
#include "WhenModal.h"
#include "platform/qt/QtDialogs.h"

using namespace platform;
using corvantest::WhenModal;

TEST(QtDialogs, MessagesShowTheirTextAsWritten) {
  platformtest::EnsureApplication();
  corvantest::TempFolder dir;
  // Rendered as markup, the picture would be read from a pipe that never ends.
  corvantest::FifoProbe fifo(dir.file("FIFO"));
  const std::string text = "<img src='" + dir.file("FIFO") + "'><h1>Saved</h1> to <a href='x'>TASK-1.TXT</a>";
  QtDialogs dialogs;
  const std::function<void()> kinds[] = {
      [&] { dialogs.ShowMessage(text); },
      [&] { dialogs.MessageDlg(text, tMsgDlgType::mtWarning, {tMsgDlgBtn::mbOK}); },
      [&] { dialogs.ShowException(text); },
  };
  for (const auto& show : kinds) {
    std::string shown = "(no message box)";
    WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      shown = corvantest::ShownText(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")));
      box->buttons().front()->click();
    });
    show();
    EXPECT_EQ(shown, text);
  }
  EXPECT_FALSE(fifo.Opened()) << "a picture named in a message was loaded";
}

TEST(QtDialogs, TheInputBoxAnswersOneLine) {
  platformtest::EnsureApplication();
  QtDialogs dialogs;
  WhenModal([](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr);
    auto* field = input->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QGuiApplication::clipboard()->setText(QStringLiteral("stt\r\n<!--"));
    field->paste();
    input->accept();
  });
  EXPECT_EQ(dialogs.InputBox("Fresh install...", "Set your unit.", ""), "stt<!--");
}
