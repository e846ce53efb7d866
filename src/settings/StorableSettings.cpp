#include "settings/StorableSettings.h"

#include "settings/CorvanSettings.h"
#include "settings/SettingsFields.h"
#include "support/Diagnostics.h"

namespace Lib {
namespace {

// The records the file is written from, put back as they were when it goes.
class tKeptRecords {
 public:
  tKeptRecords() : corvan_(gCorvanSettings), vek_(gVEKSettings), log_(brix32::gGlobalSettings.Log) {}
  ~tKeptRecords() {
    gCorvanSettings = corvan_;
    gVEKSettings = vek_;
    brix32::gGlobalSettings.Log = log_;
  }
  tKeptRecords(const tKeptRecords&) = delete;
  tKeptRecords& operator=(const tKeptRecords&) = delete;

 private:
  const tCorvanSettings corvan_;
  const tVEKSettings vek_;
  const brix32::tLog log_;
};

}  // namespace

std::vector<tSettingText> SettingTexts() {
  std::vector<tSettingText> texts;
  for (const tSettingsField& field : SettingsFields())
    if (field.Written) texts.push_back({std::string(field.Name), field.Text()});
  return texts;
}

std::vector<tSettingText> ReadSettingTexts(std::string_view FileText) {
  const tKeptRecords kept;
  gCorvanSettings = {};
  gVEKSettings = {};
  brix32::gGlobalSettings.Log = {};
  ReadCorvanSettingsText(FileText);
  return SettingTexts();
}

std::vector<tUnstorableSetting> UnstorableSettings(const std::function<void()>& Change) {
  const tKeptRecords kept;
  if (Change) Change();
  const std::vector<tSettingText> values = SettingTexts();
  // Into empty records, so that a setting whose line another value took over shows.
  const std::vector<tSettingText> readBack = ReadSettingTexts(BuildCorvanSettingsText());
  std::vector<tUnstorableSetting> unstorable;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (readBack[i].Value != values[i].Value)
      unstorable.push_back({values[i].Name, values[i].Value, readBack[i].Value});
  return unstorable;
}

}  // namespace Lib
