#pragma once
// The vendor host's web pages: the published version files, the downloads page and the
// units' callout reports.
#include <string>

namespace httplib {
class Server;
}

namespace hostsim {

struct tPublishedVersions {
  // Empty: that file is not published (404), as when the vendor has withdrawn it.
  std::string Control;
  std::string Service;
  std::string SheetPress;
};

// The published version document for one program ("1.0.0.1").
std::string VersionDocument(const std::string& program, const std::string& version);

// Installs the routes. `filesFolder` (may be empty) also serves "/downloads/<file>".
void AddRoutes(httplib::Server& server, const tPublishedVersions& versions, const std::string& filesFolder);

}  // namespace hostsim
