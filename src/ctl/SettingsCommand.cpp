// settings and settings set: the settings file through the settings library, changed by
// the rules of the setup dialogs.
#include <functional>
#include <optional>
#include <ostream>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "settings/CorvanSettings.h"
#include "settings/SettingsFields.h"
#include "settings/StorableSettings.h"
#include "setup/SetupRules.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"

namespace corvanctl {

namespace {

using Lib::gCorvanSettings;
using Lib::gVEKSettings;

struct tSetting {
  std::string Name;
  std::function<std::string()> Get;
  // Stores a value given on the command line; empty when the setting is not written here.
  std::function<void(const std::string&)> Set;
  const char* ReadOnlyReason = nullptr;
};

bool ReadBool(std::string_view Name, const std::string& Value) {
  const std::string v = brix32::UpperCase(Value);
  if (v == "TRUE") return true;
  if (v == "FALSE") return false;
  throw EUsage(std::string(Name) + " takes True or False, not '" + EscapeValue(Value) + "'");
}

// A value given on the command line as the file would hold it: checked by the setup
// dialogs' rule for the setting where they have one, else by the setting's kind.
std::string Checked(const Lib::tSettingsField& Field, const std::string& Value) {
  const std::string_view name = Field.Name;
  if (name == "MainUnit") return brix32::UpperCase(Value);
  if (name == "UDPListenPort") {
    // The setup dialog has only "listen on the usual port" or "do not bind".
    const std::optional<std::int32_t> port = brix32::ReadDecimal(Value);
    if (!port || (*port != Counterparts::kTestPagePort && *port != 0))
      throw EUsage("UDPListenPort takes 15167 (listen) or 0 (do not bind), not '" + EscapeValue(Value) + "'");
    return std::to_string(*port);
  }
  if (name == "DaysOfLogFilesRetained") {
    const std::optional<std::int32_t> days = brix32::ReadDecimal(Value);
    if (!days || *days < 0)
      throw EUsage("DaysOfLogFilesRetained takes a whole number of days, not '" + EscapeValue(Value) + "'");
    return std::to_string(*days);
  }
  switch (Field.Kind) {
    case Lib::tSettingKind::Text:
      return Value;
    case Lib::tSettingKind::Flag:
      return BoolText(ReadBool(name, Value));
    case Lib::tSettingKind::Number: {
      const std::optional<std::int32_t> number = brix32::ReadDecimal(Value);
      if (!number) throw EUsage(std::string(name) + " takes a whole number, not '" + EscapeValue(Value) + "'");
      return std::to_string(*number);
    }
    case Lib::tSettingKind::Printing: {
      const bool on = ReadBool(name, Value);
      const std::int32_t stored = SetupForm::EnablePrintingFromBox(Field.Text() != "Disabled", on);
      if (stored == 2)
        throw EFailure(std::string(name) +
                       " is Disabled: the service has no default printer, and only "
                       "the service changes that");
      return std::string(Lib::EnablePrintingText(stored));
    }
  }
  return Value;
}

// In the order the settings file holds them.
const std::vector<tSetting>& Settings() {
  static const std::vector<tSetting> settings = [] {
    std::vector<tSetting> list;
    for (const Lib::tSettingsField& field : Lib::SettingsFields()) {
      tSetting setting{std::string(field.Name), [&field] { return field.Text(); }, nullptr};
      if (!field.Written)
        setting.ReadOnlyReason = "is read from the settings file but never written to it";
      else if (field.Name == "WWWHostActive")
        setting.ReadOnlyReason = "is where the service records the host it is connected to";
      else
        setting.Set = [&field](const std::string& value) { field.Read(Checked(field, value)); };
      list.push_back(std::move(setting));
    }
    return list;
  }();
  return settings;
}

const tSetting& FindSetting(const std::string& Name) {
  for (const tSetting& s : Settings())
    if (Name == s.Name) return s;
  throw EUsage("unknown setting '" + EscapeValue(Name) + "'");
}

// Every setting's value, in the order of Settings().
std::vector<std::string> Values() {
  std::vector<std::string> values;
  for (const tSetting& s : Settings()) values.push_back(s.Get());
  return values;
}

void Print(tContext& Ctx) {
  tRecordOutput out;
  for (const tSetting& s : Settings()) out.Text(s.Name, s.Get());
  out.WriteLines(Ctx.Out);
}

using tChanges = std::vector<std::pair<const tSetting*, std::string>>;

bool Named(const tChanges& Changes, std::string_view Name) {
  for (const auto& [setting, value] : Changes)
    if (Name == setting->Name) return true;
  return false;
}

// The value given last for Name.
std::string Typed(const tChanges& Changes, std::string_view Name) {
  std::string last;
  for (const auto& [setting, value] : Changes)
    if (Name == setting->Name) last = value;
  return last;
}

// Applies the changes and the setup dialogs' rules that tie settings together to the
// records; returns what the rules did on their own, to be said once the file is written.
std::vector<std::string> Apply(const tChanges& Changes) {
  for (const auto& [setting, value] : Changes) setting->Set(value);
  std::vector<std::string> notes;
  auto& c = gCorvanSettings;
  if ((Named(Changes, "MainUnit") || Named(Changes, "ProcessVEKUnits")) && c.ProcessVEKUnits.empty()) {
    // Without a filter the service prints for the main unit, as it was typed.
    c.ProcessVEKUnits = SetupForm::UnitFilterShown(
        c.ProcessVEKUnits, Named(Changes, "MainUnit") ? Typed(Changes, "MainUnit") : c.MainUnit);
    if (!c.ProcessVEKUnits.empty())
      notes.push_back("ProcessVEKUnits is empty: set to the main unit " + EscapeValue(c.ProcessVEKUnits));
  }
  if (!c.SerialComms.empty() && c.ProcessTarnexTCPFeed) {
    if (Named(Changes, "ProcessTarnexTCPFeed"))
      throw EUsage("ProcessTarnexTCPFeed cannot be True while SerialComms is set");
    if (Named(Changes, "SerialComms")) {
      c.ProcessTarnexTCPFeed = false;
      notes.push_back("SerialComms is set: ProcessTarnexTCPFeed becomes False");
    }
  }
  return notes;
}

// A value the file would not give back as it was given (a line end, a tag, an empty
// address) is refused; the settings named on the command line are blamed first.
void RequireStorable(const tChanges& Changes) {
  const std::vector<Lib::tUnstorableSetting> unstorable = Lib::UnstorableSettings();
  std::vector<const Lib::tUnstorableSetting*> blamed;
  for (const auto& change : Changes)
    for (const Lib::tUnstorableSetting& u : unstorable)
      if (u.Name == change.first->Name) blamed.push_back(&u);
  for (const Lib::tUnstorableSetting& u : unstorable)
    if (FindSetting(u.Name).Set) blamed.push_back(&u);
  if (blamed.empty()) return;
  const Lib::tUnstorableSetting& u = *blamed.front();
  throw EUsage(u.Name + ": '" + EscapeValue(u.Value) +
               "' cannot be stored in the settings file (it would read back as '" + EscapeValue(u.ReadBack) + "')");
}

int Set(tContext& Ctx) {
  const std::vector<std::string>& args = Ctx.Args.Positional;
  if (args.size() < 3 || (args.size() - 1) % 2 != 0) throw EUsage("settings set takes pairs of NAME VALUE");

  // Every name and value is checked before anything is loaded or written.
  tChanges changes;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const tSetting& setting = FindSetting(args[i]);
    if (!setting.Set) throw EUsage(std::string(setting.Name) + " " + setting.ReadOnlyReason);
    changes.emplace_back(&setting, args[i + 1]);
  }

  // A missing file is created with the defaults and the changes, but never over one that
  // the service wrote meanwhile: the changes then go to that one.
  for (int attempt = 1;; ++attempt) {
    const Lib::tSettingsResult load = Lib::LoadCorvanSettings(std::string("corvanctl.Settings:") + "100", false);
    if (load.Result < 0) throw EFailure(load.Error + "; nothing was changed");
    const bool missing = load.Result == 1;
    const std::vector<std::string> before = Values();
    std::vector<std::string> notes = Apply(changes);
    RequireStorable(changes);

    const Lib::tSettingsResult saved = Lib::WriteCorvanSettings(missing);
    if (saved.Result < 0) throw EFailure(saved.Error + "; nothing was changed");
    if (saved.Result == 1) {
      if (attempt < 3) continue;
      throw EFailure(Lib::CorvanSettingsFile() + " keeps being created by another program; nothing was changed");
    }
    if (missing)
      notes.insert(
          notes.begin(),
          Lib::CorvanSettingsFile() + " was missing and has been created with the defaults" +
              (Named(changes, "MainUnit") ? "" : "; no unit code is set (corvanctl settings set MainUnit XXX)"));
    for (const std::string& note : notes) Ctx.Err << "corvanctl: " << note << '\n';

    // What changed, one Name=value a line.
    const std::vector<std::string> after = Values();
    tRecordOutput out;
    for (std::size_t i = 0; i < Settings().size(); ++i)
      if (after[i] != before[i]) out.Text(Settings()[i].Name, after[i]);
    out.WriteLines(Ctx.Out);
    return kExitOK;
  }
}

}  // namespace

int SettingsCommand(tContext& Ctx) {
  const std::vector<std::string>& args = Ctx.Args.Positional;
  if (args.empty()) {
    LoadSettings(Ctx, std::string("corvanctl.Settings:") + "100");
    Print(Ctx);
    return kExitOK;
  }
  if (args.front() != "set") throw EUsage("unknown settings action '" + EscapeValue(args.front()) + "'");
  return Set(Ctx);
}

}  // namespace corvanctl
