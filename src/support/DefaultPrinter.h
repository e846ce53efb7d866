#pragma once
#include <string>

namespace brix32 {

// The name of the default CUPS destination (the user's lpoptions choice, else the
// server's). Empty when there is no print server or it has no printers. When the server
// has printers but the lookup fails or none is the default, the reason is shown in a
// message box (ShowMessageBox) and the name is empty. Never writes a report.
std::string GetDefaultPrinterName();

}  // namespace brix32
