#pragma once
// Click and double-click handlers for controls that have no such signal (labels,
// panels, pictures, a text box's viewport).
#include <QWidget>
#include <functional>

namespace MainForm {

// A left-button release over the control runs Handler.
void OnClick(QWidget* Control, std::function<void()> Handler);
// A left-button double click on the control runs Handler; the event goes no further.
void OnDblClick(QWidget* Control, std::function<void()> Handler);

}  // namespace MainForm
