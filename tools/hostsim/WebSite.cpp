#include "WebSite.h"

#include <httplib.h>
#include <sys/stat.h>

#include "FileExchange.h"
#include "SimCommon.h"
#include "support/Counterparts.h"
#include "support/FileUtils.h"
#include "support/TextUtils.h"

namespace hostsim {
namespace {

std::string HtmlPage(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"><title>" + title + "</title></head>\n<body><h1>" +
         title + "</h1>\n" + body + "</body></html>\n";
}

std::string Part(const std::string& version, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) start = version.find('.', start) + 1;
  return version.substr(start, version.find('.', start) - start);
}

// A few made-up callouts; the same unit always gets the same ones.
std::string CalloutReport(const std::string& unit) {
  unsigned seed = 0;
  for (const char c : unit) seed = seed * 31 + static_cast<unsigned char>(c);
  static const char* const kKinds[] = {"TREE DOWN", "STRUCTURE FIRE", "RESCUE", "FLOOD ASSIST", "ROOF DAMAGE"};
  std::string rows = "<table border=\"1\">\n<tr><th>Incident</th><th>Type</th><th>Priority</th></tr>\n";
  const int count = 2 + static_cast<int>(seed % 4);
  for (int i = 0; i < count; ++i) {
    const unsigned n = seed / 7 + static_cast<unsigned>(i) * 977;
    rows += "<tr><td>S" + std::to_string(1000 + n % 9000) + "</td><td>" + kKinds[n % 5] + "</td><td>P" +
            std::to_string(1 + n % 3) + "</td></tr>\n";
  }
  return HtmlPage("Callout report " + unit + " - last 7 days",
                  "<p>Unit " + unit + ": " + std::to_string(count) + " callouts.</p>\n" + rows + "</table>\n");
}

void Publish(httplib::Server& server, std::string_view path, const std::string& program, const std::string& version) {
  server.Get(std::string(path), [program, version](const httplib::Request&, httplib::Response& res) {
    if (version.empty()) {
      res.status = 404;
      res.set_content(HtmlPage("Not Found", "<p>Not published.</p>\n"), "text/html");
      return;
    }
    res.set_content(VersionDocument(program, version), "text/xml");
  });
}

}  // namespace

std::string VersionDocument(const std::string& program, const std::string& version) {
  return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<version>\r\n  <program>" + program +
         "</program>\r\n  <major>" + Part(version, 0) + "</major>\r\n  <minor>" + Part(version, 1) +
         "</minor>\r\n  <release>" + Part(version, 2) + "</release>\r\n  <build>" + Part(version, 3) +
         "</build>\r\n</version>\r\n";
}

void AddRoutes(httplib::Server& server, const tPublishedVersions& versions, const std::string& filesFolder) {
  Publish(server, Counterparts::kControlVersionPath, "CorvanControl", versions.Control);
  Publish(server, Counterparts::kServiceVersionPath, "CorvanSrvc", versions.Service);
  Publish(server, Counterparts::kSheetPressVersionPath, "SheetPress", versions.SheetPress);

  server.Get(std::string(Counterparts::kDownloadsPath), [versions](const httplib::Request&, httplib::Response& res) {
    auto item = [](const std::string& name, std::string_view path, const std::string& version) {
      return "<li>" + name + ": " + (version.empty() ? "not published" : version) + " (<a href=\"" + std::string(path) +
             "\">" + std::string(path) + "</a>)</li>\n";
    };
    res.set_content(
        HtmlPage("Downloads", "<ul>\n" + item("CorvanControl", Counterparts::kControlVersionPath, versions.Control) +
                                  item("CorvanSrvc", Counterparts::kServiceVersionPath, versions.Service) +
                                  item("SheetPress", Counterparts::kSheetPressVersionPath, versions.SheetPress) +
                                  "</ul>\n"),
        "text/html");
  });

  // Other downloads (the units file, for one) come from the files folder.
  server.Get(R"(/downloads/([^/]+))", [filesFolder](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    struct stat st {};
    const std::string path = filesFolder.empty() || !IsServableName(name)
                                 ? std::string()
                                 : filesFolder + brix32::ResolveNameIgnoringCase(filesFolder, name);
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      res.status = 404;
      res.set_content(HtmlPage("Not Found", "<p>No such download.</p>\n"), "text/html");
      return;
    }
    res.set_content(brix32::FileToBin(path), "application/octet-stream");
  });

  server.Get(R"(/vek/CalloutReport-([A-Za-z0-9]{3})-7Day\.html)",
             [](const httplib::Request& req, httplib::Response& res) {
               res.set_content(CalloutReport(brix32::UpperCase(std::string(req.matches[1]))), "text/html");
             });

  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content(HtmlPage(std::to_string(res.status), "<p>Nothing here.</p>\n"), "text/html");
  });
  // Said as the answer is about to go out, not once it has gone: a client's next request
  // can only follow the answer, so the lines keep the order the requests came in (after
  // sending, another thread could already be saying the next one).
  server.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    simcommon::Say("HTTP " + req.method + " " + req.path + " -> " + std::to_string(res.status) + " (User-Agent \"" +
                   req.get_header_value("User-Agent") + "\")");
  });
}

}  // namespace hostsim
