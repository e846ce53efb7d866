#include "support/TextUtils.h"

#include "support/Diagnostics.h"

namespace brix32 {

std::string Between(std::string_view Text, std::string_view StartMarker, std::string_view EndMarker) {
  Operation op("brix32.Between");
  std::string result;
  op.Run([&] {
    const std::size_t start = Text.find(StartMarker);
    if (start == std::string_view::npos) return;
    op.Log.Trace = 110;
    std::string_view rest = Text.substr(start + StartMarker.size());
    if (!EndMarker.empty()) {
      const std::size_t end = rest.find(EndMarker);
      if (end != std::string_view::npos) rest = rest.substr(0, end);
    }
    result.assign(rest);
  });
  return result;
}

std::string CommaToFullStop(std::string_view Text) {
  Operation op("brix32.CommaToFullStop");
  op.Ex.Notes.assign(Text);
  std::string s;
  op.Run([&] {
    s = Trim(Text);
    if (s.empty()) return;
    op.Log.Trace = 110;
    // One pass does what "replace the first ,, until none is left" does.
    std::string collapsed;
    collapsed.reserve(s.size());
    for (const char c : s) {
      if (c == ',' && !collapsed.empty() && collapsed.back() == ',') continue;
      collapsed += c;
    }
    s = std::move(collapsed);
    op.Log.Trace = 120;
    if (s.back() == ',') s.back() = '.';
    if (s.front() == ',') s.erase(0, 1);
    if (s == ".") s.clear();
  });
  return s;
}

std::string BooleanTStr(bool Flag, std::string_view TrueText, std::string_view FalseText) {
  Operation op("brix32.BooleanTStr");
  std::string result = "Exception";
  op.Run([&] { result.assign(Flag ? TrueText : FalseText); });
  return result;
}

std::int32_t BooleanToInt(bool Flag, std::int32_t TrueValue, std::int32_t FalseValue) {
  return Flag ? TrueValue : FalseValue;
}

bool StrToBoolean(std::string_view Text) {
  if (Text.empty()) return false;
  const char c = Text.front();
  return c == 'T' || c == 't' || c == 'Y' || c == 'y' || c == 'E' || c == 'e';
}

std::string ExtractFileName(std::string_view Text) {
  std::string_view rest = Text;
  if (const std::size_t p = rest.rfind('\\'); p != std::string_view::npos) rest.remove_prefix(p + 1);
  if (const std::size_t p = rest.rfind('/'); p != std::string_view::npos) rest.remove_prefix(p + 1);
  return std::string(rest);
}

std::string UpperCase(std::string_view Text) {
  std::string out(Text);
  // Every character is stored, changed or not, so that the loop runs many at a time.
  for (char& c : out) c = static_cast<char>(c - (c >= 'a' && c <= 'z' ? 'a' - 'A' : 0));
  return out;
}

std::string Trim(std::string_view Text) {
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t b = 0, e = Text.size();
  while (b < e && isBlank(Text[b])) ++b;
  while (e > b && isBlank(Text[e - 1])) --e;
  return std::string(Text.substr(b, e - b));
}

}  // namespace brix32
