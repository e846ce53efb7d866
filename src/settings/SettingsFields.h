#pragma once
// Every setting of the settings file, once: its element, what kind of value it holds and
// where the records keep it, its default, where the loader tests for it, and the comment
// the file writes before it. The loader, the writer, `corvanctl settings` and the tests
// all go through this list, so a new setting is one more entry (and its record field).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Lib {

enum class tSettingKind {
  Text,      // stored as it stands between the tags
  Flag,      // written "True" or "False"; read True when it begins with T, Y or E
  Number,    // written in decimal; a value that is no whole number reads as the default
  Printing,  // EnablePrinting: "False", "True" or "Disabled" for 0, 1 and 2
};

struct tSettingsField {
  std::string_view Name;  // also its element: <Name>value</Name>
  tSettingKind Kind;
  // The record field that holds it: a string for Text, a bool for a Flag, a number for
  // Number and Printing.
  std::variant<std::string*, bool*, std::int32_t*> Value;
  // Where the loader tests a line for this element, lowest first: only the first element
  // found on a line is read. The service reads the file in the same order, so a line
  // holding two elements must give what it gives the service.
  int ReadOrder = 0;
  // What a missing file sets, as the file writes it; none: the value is kept.
  std::optional<std::string> Default{};
  // An empty value read takes the default: the service cannot work without one.
  bool NeverEmpty = false;
  // False for an element that is read but never written back.
  bool Written = true;
  // The comment lines the file writes before the element; a field without them follows
  // the one before directly.
  std::vector<std::string> Comment{};

  // The value as the file writes it (and corvanctl prints it).
  std::string Text() const;
  // Stores a value as the loader reads it from the file.
  void Read(std::string_view value) const;
};

// In the order the file holds them; the settings it never writes come last.
const std::vector<tSettingsField>& SettingsFields();

}  // namespace Lib
