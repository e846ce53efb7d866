#pragma once
// Whether the settings file can hold what the records hold. It is read by searching each
// line for a tag and written without escapes, so a value with a line end, one holding the
// tag of a setting that is looked for first, or an empty URI would come back otherwise;
// saved, it would change settings nobody touched. Both corvanctl and the setup dialogs
// refuse such values by this one rule.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Lib {

// A setting as text, named as the file names its element.
struct tSettingText {
  std::string Name;
  std::string Value;
};

// Every setting the file writes, in the file's order, as the records hold it now and the
// file would write it. (GUID is read from the file but never written: not among them.)
std::vector<tSettingText> SettingTexts();

// The same for a settings file's text, as the loader reads it (into empty records). The
// records are left as they were.
std::vector<tSettingText> ReadSettingTexts(std::string_view FileText);

// A setting that the file written now would give back otherwise.
struct tUnstorableSetting {
  std::string Name;
  std::string Value;     // as the records hold it
  std::string ReadBack;  // as the file would give it back
};

// The settings whose values the file would not give back unchanged, in the file's order,
// with the records as Change (when given) leaves them; empty when the file can hold them
// all. The records are left as they were, whatever happens.
std::vector<tUnstorableSetting> UnstorableSettings(const std::function<void()>& Change = {});

}  // namespace Lib
