#include "ctl/CtlOutput.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace corvanctl {

namespace {
std::string Hex2(const char* Format, unsigned char c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, Format, static_cast<unsigned>(c));
  return buffer;
}

// The escapes both formats write alike: backslash, CR, LF and TAB; nullptr for others.
const char* CommonEscape(unsigned char c) {
  switch (c) {
    case '\\':
      return "\\\\";
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\t':
      return "\\t";
    default:
      return nullptr;
  }
}

}  // namespace

std::string EscapeValue(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (const char ch : Text) {
    const auto c = static_cast<unsigned char>(ch);
    if (const char* escape = CommonEscape(c))
      out += escape;
    else if (c < 32 || c == 127)
      out += Hex2("\\x%02X", c);
    else
      out += ch;
  }
  return out;
}

std::string JsonString(std::string_view Text) {
  std::string out = "\"";
  for (const char ch : Text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"')
      out += "\\\"";
    else if (const char* escape = CommonEscape(c))
      out += escape;
    else if (c < 32 || c >= 127)
      out += Hex2("\\u%04x", c);
    else
      out += ch;
  }
  return out + "\"";
}

std::string BoolText(bool Value) { return Value ? "True" : "False"; }

std::string DateTimeText(brix32::TDateTime Value) { return brix32::FormatDateTime("dd/mm/yyyy hh:nn:ss", Value); }

std::string FloatText(double Value) {
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, Value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string IsoTimeText(std::int64_t Seconds, int Milliseconds) {
  const auto t = static_cast<time_t>(Seconds);
  tm local{};
  if (!::localtime_r(&t, &local)) return std::to_string(Seconds);
  char buffer[64];
  std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
  if (Milliseconds >= 0)
    n += static_cast<std::size_t>(std::snprintf(buffer + n, sizeof buffer - n, ".%03d", Milliseconds % 1000));
  const long offset = local.tm_gmtoff / 60;
  const long minutes = offset < 0 ? -offset : offset;
  std::snprintf(buffer + n, sizeof buffer - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return buffer;
}

void tRecordOutput::Text(std::string Name, std::string_view Value) {
  items_.push_back({std::move(Name), std::string(Value), tKind::Text});
}

void tRecordOutput::Number(std::string Name, std::int64_t Value) {
  items_.push_back({std::move(Name), std::to_string(Value), tKind::Number});
}

void tRecordOutput::Null(std::string Name) { items_.push_back({std::move(Name), {}, tKind::Null}); }

void tRecordOutput::Flag(std::string Name, bool Value) {
  items_.push_back({std::move(Name), BoolText(Value), tKind::Flag});
}

void tRecordOutput::WriteLines(std::ostream& Out) const {
  for (const tItem& item : items_) Out << item.Name << '=' << EscapeValue(item.Value) << '\n';
}

void tRecordOutput::WriteJson(std::ostream& Out) const { WriteJson(Out, "{\n  ", ",\n  ", ": ", "\n}\n"); }

void tRecordOutput::WriteJsonLine(std::ostream& Out) const { WriteJson(Out, "{", ",", ":", "}\n"); }

void tRecordOutput::Append(const tRecordOutput& Other) {
  items_.insert(items_.end(), Other.items_.begin(), Other.items_.end());
}

void tRecordOutput::WriteJson(std::ostream& Out, const char* First, const char* Next, const char* Colon,
                              const char* End) const {
  const char* separator = First;
  for (const tItem& item : items_) {
    Out << separator << JsonString(item.Name) << Colon;
    switch (item.Kind) {
      case tKind::Text:
        Out << JsonString(item.Value);
        break;
      case tKind::Number:
        Out << item.Value;
        break;
      case tKind::Null:
        Out << "null";
        break;
      case tKind::Flag:
        Out << (item.Value == "True" ? "true" : "false");
        break;
    }
    separator = Next;
  }
  if (items_.empty()) Out << '{';
  Out << End;
}

}  // namespace corvanctl
