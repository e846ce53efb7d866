#include "support/DefaultPrinter.h"

#include <cups/cups.h>

#include <exception>
#include <memory>

#include "support/Hooks.h"

namespace brix32 {
namespace {

// Long enough for a remote server that accepts and then stalls, short enough for a dialog.
constexpr int kConnectTimeoutMs = 2000;

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};

bool MeansNoPrinters(ipp_status_t status) {
  return status <= IPP_STATUS_OK_EVENTS_COMPLETE || status == IPP_STATUS_ERROR_NOT_FOUND ||
         status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
}

}  // namespace

std::string GetDefaultPrinterName() {
  std::string message;
  std::string name;
  try {
    // Connecting first keeps "no server" quick and silent: the library's own connection
    // would fall back to browsing the network for printers.
    std::unique_ptr<http_t, HttpClose> http(
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectTimeoutMs, nullptr));
    if (!http) return "";
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(http.get(), &dests);
    if (count <= 0) {
      cupsFreeDests(count, dests);
      if (!MeansNoPrinters(cupsLastError())) message = cupsLastErrorString();
    } else {
      // cupsGetDests2 has already applied the user's lpoptions default.
      if (const cups_dest_t* d = cupsGetDest(nullptr, nullptr, count, dests))
        name = d->name;
      else
        message = "There is no default printer.";
      cupsFreeDests(count, dests);
    }
  } catch (const std::exception&) {
    return "";
  }
  if (!message.empty()) ShowMessageBox(message);
  return name;
}

}  // namespace brix32
