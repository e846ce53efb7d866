// Any bytes as the settings file: the reader must not crash, must leave the fall-backs in
// place, and whatever it read must survive a write and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/CorvanSettings.h"
#include "settings/SettingsFields.h"
#include "support/Diagnostics.h"

namespace {

void ResetRecords() {
  Lib::gCorvanSettings = Lib::tCorvanSettings{};
  Lib::gVEKSettings = Lib::tVEKSettings{};
  brix32::gGlobalSettings = brix32::tGlobalSettings{};
  // No self name: no exception report, so nothing can be broadcast. No version file.
  brix32::gGlobalSettings.Path = "/nonexistent-corvan-fuzz/";
}

// Every written setting as the file writes it.
std::vector<std::string> WrittenValues() {
  std::vector<std::string> values;
  for (const Lib::tSettingsField& field : Lib::SettingsFields())
    if (field.Written) values.push_back(field.Text());
  return values;
}

// Values are written without escaping, so only texts free of tags and line ends can
// come back unchanged.
bool Writable(std::string_view s) { return s.find_first_of("<\r\n") == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ResetRecords();
  Lib::ReadCorvanSettingsText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!Lib::gCorvanSettings.Loaded || Lib::gCorvanSettings.UDPAddr.empty() || Lib::gVEKSettings.URI.empty())
    std::abort();
  if (Lib::gCorvanSettings.EnablePrinting < 0 || Lib::gCorvanSettings.EnablePrinting > 2) std::abort();

  for (const Lib::tSettingsField& field : Lib::SettingsFields())
    if (field.Written && field.Kind == Lib::tSettingKind::Text && !Writable(field.Text())) return 0;

  const std::vector<std::string> first = WrittenValues();
  const std::string text = Lib::BuildCorvanSettingsText();
  ResetRecords();
  Lib::ReadCorvanSettingsText(text);
  if (WrittenValues() != first) std::abort();
  return 0;
}
