#pragma once
// What a label, message box or tool tip puts on the screen: its text as written when Qt
// takes it for plain text, else the text its markup renders to. (Qt headers: include it
// only from tests of widgets.)
#include <QLabel>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <string>

#include "platform/qt/QtText.h"

namespace corvantest {

inline std::string ShownText(const QString& text, Qt::TextFormat format = Qt::AutoText) {
  const bool plain = format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text));
  return platform::S(plain ? text : QTextDocumentFragment::fromHtml(text).toPlainText());
}

inline std::string ShownText(const QLabel* label) { return ShownText(label->text(), label->textFormat()); }

}  // namespace corvantest
