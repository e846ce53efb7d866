// The Qt dialogs as the operator meets them, offscreen: the one line the input box
// answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <functional>

#include "QtDialogs.h"
#include "TestApplication.h"
#include "WhenModal.h"

using namespace platform;
using corvantest::WhenModal;

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
