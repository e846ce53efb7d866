#pragma once
// A window's control by its object name, which is the program's name for it: tests reach
// the controls the way a user's tools (and findChild) do, not through the window's
// members. (Qt headers: include it only from tests of widgets.)
#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace corvantest {

// Throws, failing the test, when the window has no such control of that type. The type is
// checked with dynamic_cast: the program's own control classes have no meta-object of
// their own, which qobject_cast would need.
template <class T>
T* Control(const QObject& Window, const char* Name) {
  T* control = dynamic_cast<T*>(Window.findChild<QObject*>(QString::fromLatin1(Name)));
  if (!control) throw std::logic_error(Window.objectName().toStdString() + " has no control " + Name + " of that type");
  return control;
}

}  // namespace corvantest
