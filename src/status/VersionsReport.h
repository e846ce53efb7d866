#pragma once
// The versions report of the About command: the installed versions of the panel, the
// service and SheetPress against the versions the vendor's web host publishes.
#include <stdexcept>
#include <string>
#include <string_view>

#include "support/UpdateCheck.h"

namespace MainForm {

// A version file that does not hold four whole numbers joined by "." ends the report.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A version file's text without the blanks and line ends that may follow the version
// (characters 0 to 32 at its end): they are not part of it.
std::string VersionText(std::string_view FileText);

// The service's and SheetPress's version files: the text before the first "." is the
// major number, the next two pieces minor and release, the rest the build number. A
// missing file reads as 0.0.0.0; a piece that is not a whole number throws EConvertError.
// Blanks and line ends after the version are not part of it.
brix32::tFileVersion ReadVersionFile(const std::string& Folder, std::string_view Name);

struct tInstalledVersions {
  brix32::tFileVersion Control;
  brix32::tFileVersion Service;
  brix32::tFileVersion SheetPress;
};

struct tPublishedVersions {
  brix32::tFileUpdate Control;
  brix32::tFileUpdate Service;
  brix32::tFileUpdate SheetPress;
};

// The service's and SheetPress's version files in Folder, and the version note of
// ControlProgram (empty: this program's own file). May throw EConvertError.
tInstalledVersions ReadInstalledVersions(const std::string& Folder, const std::string& ControlProgram);

// Asks Host for the three published versions, panel, service, SheetPress, one after the
// other over plain http; each call blocks until answered or timed out.
tPublishedVersions GetPublishedVersions(const tInstalledVersions& Installed, std::string_view Host);

// The message text: one line per program with "At latest version" or the update mark,
// and the downloads address of Host when any update is available.
std::string VersionsReportText(const tInstalledVersions& Installed, const tPublishedVersions& Published,
                               std::string_view Host);

}  // namespace MainForm
