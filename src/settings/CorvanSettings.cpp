#include "settings/CorvanSettings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "settings/SettingsFields.h"
#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/FileUtils.h"
#include "support/ServiceFileRead.h"
#include "support/Syslog.h"
#include "support/TemporaryFiles.h"
#include "support/TextUtils.h"

namespace Lib {

tCorvanSettings gCorvanSettings;
tVEKSettings gVEKSettings;

namespace {

using brix32::gGlobalSettings;

std::function<std::string(const std::string&)>& SettingsFileReader() {
  static std::function<std::string(const std::string&)> reader;
  return reader;
}

// Anything but a folder counts as present, as it does for the service.
bool SettingsFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// "path" cannot be written: <the system's reason>
[[noreturn]] void ThrowFileError(const char* What, const std::string& path, int error) {
  const std::string message = "\"" + path + "\" cannot be " + What;
  if (error != 0) throw std::system_error(error, std::generic_category(), message);
  throw std::runtime_error(message);
}

// Only a regular file is read, never blocking and within a bound: a FIFO or a device in
// its place would block or never end. A file that exists but cannot be read is an error,
// not an empty file: what it holds is unknown, and it must not be replaced. Nothing when
// the file is gone (removed since it was seen).
std::optional<std::string> ReadSettingsFile(const std::string& path) {
  if (const auto& reader = SettingsFileReader()) return reader(path);
  brix32::tBoundedRead read = brix32::ReadBoundedFile(path, brix32::kFileToBinLimit);
  if (read.Ok()) return std::move(read.Data);
  if (read.Status == brix32::tReadStatus::Missing) return std::nullopt;
  throw std::runtime_error("\"" + path + "\" " + brix32::ReadProblemText(read));
}

// An entry that a save would replace must be one the loader can read: a file that cannot
// be read (no permission, a FIFO, a dangling link) is kept. A folder makes the rename fail.
void RequireReplaceable(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  std::optional<std::string> text;
  try {
    text = ReadSettingsFile(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(e.what()) + "; the file is kept as it is");
  }
  if (!text && ::lstat(path.c_str(), &st) == 0)
    throw std::runtime_error("\"" + path + "\" is a link to nothing; the file is kept as it is");
}

// An element the loader looks for: a setting's, or a name older files give one.
struct tElement {
  int ReadOrder;
  std::string Open, Close;
  std::function<void(std::string_view)> Store;
};

// The older combined "host/path" form. A value without "/" is taken as a host alone; the
// URI then falls back to the default after the last line.
void StoreHostAndPath(std::string_view value) {
  const std::size_t slash = value.find('/');
  gVEKSettings.WWWHost = value.substr(0, slash);
  gVEKSettings.URI = slash == std::string_view::npos ? std::string_view() : value.substr(slash);
}

// Every element in the order a line is tested for them. The older names are read where
// the service tests for them, among the settings' read orders (SettingsFields.cpp); a
// save writes the present names only.
const std::vector<tElement>& Elements() {
  static const std::vector<tElement> elements = [] {
    std::vector<tElement> list;
    const auto add = [&list](int readOrder, std::string_view name, std::function<void(std::string_view)> store) {
      const std::string tag(name);
      list.push_back({readOrder, "<" + tag + ">", "</" + tag + ">", std::move(store)});
    };
    for (const tSettingsField& field : SettingsFields())
      add(field.ReadOrder, field.Name, [&field](std::string_view value) { field.Read(value); });
    add(11, "VEKUnits", [](std::string_view value) { gCorvanSettings.ProcessVEKUnits.assign(value); });
    add(16, "URL", StoreHostAndPath);
    std::stable_sort(list.begin(), list.end(),
                     [](const tElement& a, const tElement& b) { return a.ReadOrder < b.ReadOrder; });
    return list;
  }();
  return elements;
}

void ReadLine(std::string_view line, bool& inComment) {
  if (brix32::Trim(line).starts_with("<!--")) inComment = true;
  if (!inComment) {
    for (const tElement& element : Elements()) {
      if (line.find(element.Open) == std::string_view::npos) continue;
      element.Store(brix32::Between(line, element.Open, element.Close));
      break;
    }
  }
  if (line.find("-->") != std::string_view::npos) inComment = false;
}

// What a missing file gets; the settings without a default keep their values.
void SetDefaults() {
  for (const tSettingsField& field : SettingsFields())
    if (field.Default) field.Read(*field.Default);
}

std::string ServiceVersionText() {
  const std::string& folder = gGlobalSettings.Path;
  const std::string name = brix32::ResolveNameIgnoringCase(folder, std::string(Counterparts::kVersionFile));
  return brix32::ReadServiceText(folder + name);
}

}  // namespace

std::string MainUnitCode() {
  return gCorvanSettings.MainUnit.size() == 3 ? brix32::UpperCase(gCorvanSettings.MainUnit) : std::string();
}

void SetSettingsFileReader(std::function<std::string(const std::string& FileName)> Reader) {
  SettingsFileReader() = std::move(Reader);
}

void ReadCorvanSettingsText(std::string_view Text) {
  bool inComment = false;
  // CR LF, a lone LF and a lone CR each end a line; a last line needs no line end.
  while (!Text.empty()) {
    const std::size_t end = Text.find_first_of("\r\n");
    ReadLine(Text.substr(0, end), inComment);
    if (end == std::string_view::npos) break;
    const std::size_t next = Text[end] == '\r' && end + 1 < Text.size() && Text[end + 1] == '\n' ? end + 2 : end + 1;
    Text.remove_prefix(next);
  }
  for (const tSettingsField& field : SettingsFields())
    if (field.NeverEmpty && field.Text().empty()) field.Read(*field.Default);
  gCorvanSettings.Loaded = true;
}

std::string BuildCorvanSettingsText() {
  std::string t;
  t.reserve(4096);
  const auto line = [&t](auto&&... pieces) {
    (t.append(pieces), ...);
    t.append("\r\n");
  };
  line("<xml>");
  line(" <!--");
  line("   Updated: ", brix32::FormatDateTime("dd/mm/yy hh:nn:ss", brix32::Now()));
  line("   Control Version: ", gGlobalSettings.Version);
  line("   Service Version: ", ServiceVersionText());
  line("   Host: ", gGlobalSettings.HostName);
  line("   Refer: ReadMe.txt");
  line("   Note: Any manual changes to this file will require a restart of");
  line("   the CorvanSrvc service.");
  line(" -->");
  line("");
  line(" <GlobalSettings>");
  bool first = true;
  for (const tSettingsField& field : SettingsFields()) {
    if (!field.Written) continue;
    // Each comment but the first stands apart from the elements before it.
    if (!field.Comment.empty()) {
      if (!first) line("");
      line("  <!--");
      for (const std::string& comment : field.Comment) line(comment);
      line("  -->");
    }
    first = false;
    line("  <", field.Name, ">", field.Text(), "</", field.Name, ">");
  }
  line(" </GlobalSettings>");
  line("</xml>");
  return t;
}

std::string CorvanSettingsFile() {
  const std::string& path = gCorvanSettings.CorvanSrvcSettingsFilePath;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + brix32::ResolveNameIgnoringCase(folder, path.substr(folder.size()));
}

tSettingsResult WriteCorvanSettings(bool bCreateOnly) {
  brix32::Operation op("Lib.SaveCorvanSettings");
  op.Ex.Notes = "gCorvanSettings.CorvanSrvcSettingsFilePath=" + gCorvanSettings.CorvanSrvcSettingsFilePath;
  tSettingsResult result;
  const bool ok = op.Run([&] {
    const std::string path = CorvanSettingsFile();
    op.Log.Trace = 110;
    const std::string text = BuildCorvanSettingsText();
    op.Log.Trace = 150;
    // What an earlier save killed in the middle left behind.
    brix32::RemoveLeftoverTemporaries(path);
    if (bCreateOnly) {
      op.Log.Trace = 200;
      errno = 0;
      const std::int32_t created = brix32::CreateTextFileExclusive(text, path);
      if (created == 1 && SettingsFileExists(path)) {
        result.Result = 1;
        return;
      }
      if (created == 1) {  // a folder, a link to nothing
        struct stat st {};
        ThrowFileError("created", path, ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? EISDIR : EEXIST);
      }
      if (created != 0) ThrowFileError("created", path, errno);
    } else {
      op.Log.Trace = 190;
      RequireReplaceable(path);
      op.Log.Trace = 200;
      errno = 0;
      if (brix32::WriteTextFileAtomic(text, path) != 0) ThrowFileError("written", path, errno);
    }
    result.Result = 0;
  });
  if (!ok) result.Error = op.Ex.Message;
  return result;
}

void SaveCorvanSettings() { WriteCorvanSettings(false); }

tSettingsResult LoadCorvanSettings(std::string_view CallingFunction, bool bCreateMissing) {
  brix32::Operation op("Lib.GetCorvanSettings");
  op.Ex.CallingFunction.assign(CallingFunction);
  op.Ex.Notes = "gCorvanSettings.CorvanSrvcSettingsFilePath=" + gCorvanSettings.CorvanSrvcSettingsFilePath;
  tSettingsResult result;
  const bool ok = op.Run([&] {
    const std::string path = CorvanSettingsFile();
    op.Log.Trace = 110;
    gCorvanSettings.Loaded = false;
    std::int32_t rc = 0;
    std::int32_t created = -1;
    // A file removed between the look and the read is looked for again.
    for (int attempt = 1;; ++attempt) {
      op.Log.Trace = 200;
      if (!SettingsFileExists(path)) {
        op.Log.Trace = 210;
        SetDefaults();
        rc = 1;
        if (bCreateMissing) {
          op.Log.Trace = 220;
          // Never over a file the service wrote since the look: that one is read instead.
          created = WriteCorvanSettings(true).Result;
          if (created == 1) rc = 0;
        }
      }
      op.Log.Trace = 300;
      if (!SettingsFileExists(path)) break;
      if (const std::optional<std::string> text = ReadSettingsFile(path)) {
        op.Log.Trace = 400;
        ReadCorvanSettingsText(*text);
        break;
      }
      if (attempt == 3) ThrowFileError("read", path, ENOENT);
    }
    // The file just created holds these values already; a create that failed is tried
    // once more.
    if (rc == 1 && bCreateMissing && created < 0) {
      op.Log.Trace = 500;
      WriteCorvanSettings(true);
    }
    result.Result = rc;
  });
  if (!ok) {
    result.Error = op.Ex.Message;
    brix32::PostSyslogMsg({0, "Lib.GetCorvanSettings:Exception! ExceptionRec.FileName=" + op.ReportFileName});
  }
  return result;
}

std::int32_t GetCorvanSettings(std::string_view CallingFunction) {
  return LoadCorvanSettings(CallingFunction, true).Result;
}

}  // namespace Lib
