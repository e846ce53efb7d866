#pragma once
// How corvanctl writes values: "Name=value" lines that stay one line each, and JSON.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/DateTime.h"

namespace corvanctl {

// A value on one line: "\" becomes "\\", CR "\r", LF "\n", TAB "\t", any other control
// character "\xNN". Bytes above 127 stay as they are (the files are 8-bit text).
std::string EscapeValue(std::string_view Text);

// A JSON string literal; bytes above 127 are read as Latin-1 and written as \u00NN so
// that the output is plain ASCII whatever the 8-bit text held.
std::string JsonString(std::string_view Text);

std::string BoolText(bool Value);                   // "True" / "False"
std::string DateTimeText(brix32::TDateTime Value);  // "dd/mm/yyyy hh:nn:ss"
std::string FloatText(double Value);                // shortest form that reads back, "." decimal
// ISO 8601 local time with its offset from UTC, "2026-12-10T02:11:16+10:30"; with
// Milliseconds (0..999) given, "2026-12-10T02:11:16.042+10:30".
std::string IsoTimeText(std::int64_t Seconds, int Milliseconds = -1);

// Ordered Name=value pairs, printed as lines or as one JSON object.
class tRecordOutput {
 public:
  void Text(std::string Name, std::string_view Value);
  void Number(std::string Name, std::int64_t Value);
  void Null(std::string Name);  // a value that is not known: empty, or null in JSON
  void Flag(std::string Name, bool Value);

  void WriteLines(std::ostream& Out) const;
  void WriteJson(std::ostream& Out) const;
  // One JSON object on one line, as in JSON Lines.
  void WriteJsonLine(std::ostream& Out) const;
  // The pairs of Other after these.
  void Append(const tRecordOutput& Other);

 private:
  enum class tKind { Text, Number, Null, Flag };
  struct tItem {
    std::string Name;
    std::string Value;
    tKind Kind;
  };
  void WriteJson(std::ostream& Out, const char* First, const char* Next, const char* Colon, const char* End) const;

  std::vector<tItem> items_;
};

}  // namespace corvanctl
