#pragma once
// The callout report link: an address too long for its label loses the middle, never
// the start (scheme and host) nor its last part, which names the unit. The whole address
// is the label's tool tip and what a click opens.
#include <QFontMetrics>
#include <QLabel>
#include <QString>
#include <string>

namespace MainForm {

class TLinkLabel : public QLabel {
 public:
  explicit TLinkLabel(QWidget* Parent);

  void SetLink(const std::string& Link);
  const std::string& Link() const { return link_; }

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void changeEvent(QEvent* Event) override;

 private:
  void ShowElided();

  std::string link_;
};

// `Link` as it fits into `Width` pixels: whole when it fits; else its start, an ellipsis
// and its last path part from the "/" on; Qt's middle elision when not even that fits.
QString ElideLink(const QString& Link, const QFontMetrics& Metrics, int Width);

}  // namespace MainForm
