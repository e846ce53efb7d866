#include "status/VersionsReport.h"

#include "status/ServiceState.h"
#include "status/StatusRules.h"
#include "support/Counterparts.h"
#include "support/NumberText.h"
#include "support/ServiceFileRead.h"

namespace MainForm {

using namespace Counterparts;

namespace {

std::int32_t WholeNumber(const std::string& Text) {
  const std::optional<std::int32_t> value = brix32::ReadDecimal(Text);
  if (!value) throw EConvertError("'" + Text + "' is not a valid integer value");
  return *value;
}

std::string JoinVersion(const brix32::tFileVersion& v) {
  return std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Release) + "." +
         std::to_string(v.Build);
}

// The piece before the next "." (all of the rest when none follows); Text moves past it.
std::string NextPiece(std::string& Text) {
  const std::size_t dot = Text.find('.');
  std::string piece = Text.substr(0, dot);
  Text = dot == std::string::npos ? std::string() : Text.substr(dot + 1);
  return piece;
}

std::string VersionLine(std::string_view Title, const brix32::tFileVersion& Installed,
                        const brix32::tFileUpdate& Published, std::string_view UpdateMark) {
  return std::string(Title) + Installed.VersionStr + " " +
         (Published.UpdateRequired ? std::string(UpdateMark) : std::string(" - At latest version")) + "\n";
}

}  // namespace

std::string VersionText(std::string_view FileText) {
  std::size_t end = FileText.size();
  while (end > 0 && static_cast<unsigned char>(FileText[end - 1]) <= 32) --end;
  return std::string(FileText.substr(0, end));
}

brix32::tFileVersion ReadVersionFile(const std::string& Folder, std::string_view Name) {
  brix32::tFileVersion version;
  if (ServiceFileExists(Folder, Name)) {
    std::string rest = VersionText(brix32::ReadServiceText(ServiceFile(Folder, Name)));
    version.Major = WholeNumber(NextPiece(rest));
    version.Minor = WholeNumber(NextPiece(rest));
    version.Release = WholeNumber(NextPiece(rest));
    version.Build = WholeNumber(rest);  // everything after the third "."
  }
  version.VersionStr = JoinVersion(version);
  return version;
}

tInstalledVersions ReadInstalledVersions(const std::string& Folder, const std::string& ControlProgram) {
  tInstalledVersions installed;
  installed.Service = ReadVersionFile(Folder, kVersionFile);
  installed.SheetPress = ReadVersionFile(Folder, kSheetPressVersionFile);
  installed.Control = brix32::GetExeVersion(ControlProgram);
  return installed;
}

tPublishedVersions GetPublishedVersions(const tInstalledVersions& Installed, std::string_view Host) {
  const std::string base = "http://" + std::string(Host);
  tPublishedVersions published;
  published.Control = brix32::GetUpdateVersion(base + std::string(kControlVersionPath), Installed.Control);
  published.Service = brix32::GetUpdateVersion(base + std::string(kServiceVersionPath), Installed.Service);
  published.SheetPress = brix32::GetUpdateVersion(base + std::string(kSheetPressVersionPath), Installed.SheetPress);
  return published;
}

std::string VersionsReportText(const tInstalledVersions& Installed, const tPublishedVersions& Published,
                               std::string_view Host) {
  std::string text = "Current Corvan Service Binary Versions:\n\n";
  text += VersionLine(" - CorvanControl.EXE version: ", Installed.Control, Published.Control,
                      " - An update is available *");
  text +=
      VersionLine(" - CorvanSrvc.EXE version: ", Installed.Service, Published.Service, " - An update is available *");
  // The vendor's text for SheetPress has no "is".
  text += VersionLine(" - SheetPress.EXE version: ", Installed.SheetPress, Published.SheetPress,
                      " - An update available *");
  text += "\n";
  if (Published.Control.UpdateRequired || Published.Service.UpdateRequired || Published.SheetPress.UpdateRequired)
    text += "* Program updates for these files are available for download at " + DownloadAddress(Host) + ".";
  return text;
}

}  // namespace MainForm
