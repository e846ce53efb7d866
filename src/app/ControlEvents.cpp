#include "app/ControlEvents.h"

#include <QEvent>
#include <QMouseEvent>

namespace MainForm {
namespace {

// Lives as the control's child, so it goes with the control.
class TMouseFilter : public QObject {
 public:
  TMouseFilter(QWidget* Control, QEvent::Type Type, std::function<void()> Handler)
      : QObject(Control), type_(Type), handler_(std::move(Handler)) {
    Control->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != type_) return QObject::eventFilter(Watched, Event);
    const auto* mouse = static_cast<QMouseEvent*>(Event);
    if (mouse->button() != Qt::LeftButton) return false;
    // A click is a release over the control, as a button counts it.
    if (type_ == QEvent::MouseButtonRelease) {
      const auto* control = static_cast<QWidget*>(Watched);
      if (!control->rect().contains(mouse->position().toPoint())) return false;
    }
    handler_();
    return true;
  }

 private:
  QEvent::Type type_;
  std::function<void()> handler_;
};

}  // namespace

void OnClick(QWidget* Control, std::function<void()> Handler) {
  new TMouseFilter(Control, QEvent::MouseButtonRelease, std::move(Handler));
}

void OnDblClick(QWidget* Control, std::function<void()> Handler) {
  new TMouseFilter(Control, QEvent::MouseButtonDblClick, std::move(Handler));
}

}  // namespace MainForm
