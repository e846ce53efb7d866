#pragma once
// For tests of widgets (Qt headers): drives a modal dialog from inside its own loop.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace corvantest {

// Runs `step` once a modal dialog is open, from inside its loop, with that dialog.
inline void WhenModal(std::function<void(QWidget*)> step) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, step = std::move(step)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    poll->stop();
    poll->deleteLater();
    step(modal);
  });
  poll->start(10);
}

}  // namespace corvantest
