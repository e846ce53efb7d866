#pragma once
// Text the program did not write itself (files, settings, the network) is shown as it is
// written, never taken for markup: rendered, a picture it named would be loaded.
#include <QString>
#include <QTextDocument>

namespace platform {

// Tool tips guess their format from the text. Text that would pass for markup goes as
// a paragraph of escaped text that renders exactly as written; other text is left as it
// is, since it is shown plain already.
inline QString PlainTextToolTip(const QString& Text) {
  if (!Qt::mightBeRichText(Text)) return Text;
  return QStringLiteral("<p style='white-space:pre-wrap'>") + Text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace platform
