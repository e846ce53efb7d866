#include "app/LinkLabel.h"

#include <QEvent>

#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"

namespace MainForm {

using platform::Q;

QString ElideLink(const QString& Link, const QFontMetrics& Metrics, int Width) {
  if (Metrics.horizontalAdvance(Link) <= Width) return Link;
  const qsizetype slash = Link.lastIndexOf(QLatin1Char('/'));
  const QString tail = slash > 0 ? Link.mid(slash) : QString();
  // The start ends in the ellipsis; it must keep the scheme and some of the host, or it
  // would say nothing about where the link goes.
  const QString start = Metrics.elidedText(Link.left(slash), Qt::ElideRight, Width - Metrics.horizontalAdvance(tail));
  const qsizetype scheme = Link.indexOf(QLatin1String("://"));
  const qsizetype needed = (scheme < 0 ? 0 : scheme + 3) + 2;
  if (tail.isEmpty() || start.size() < needed) return Metrics.elidedText(Link, Qt::ElideMiddle, Width);
  return start + tail;
}

TLinkLabel::TLinkLabel(QWidget* Parent) : QLabel(Parent) {
  // The address comes from the settings: shown as written, never as markup.
  setTextFormat(Qt::PlainText);
}

void TLinkLabel::SetLink(const std::string& Link) {
  link_ = Link;
  setToolTip(platform::PlainTextToolTip(Q(Link)));
  ShowElided();
}

void TLinkLabel::resizeEvent(QResizeEvent* Event) {
  QLabel::resizeEvent(Event);
  ShowElided();
}

void TLinkLabel::changeEvent(QEvent* Event) {
  QLabel::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) ShowElided();
}

void TLinkLabel::ShowElided() { setText(ElideLink(Q(link_), fontMetrics(), contentsRect().width())); }

}  // namespace MainForm
