#include "support/Diagnostics.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "support/ExceptionReport.h"

namespace brix32 {

tGlobalSettings gGlobalSettings;

std::string ExceptionClassName(const std::exception& e) {
  const char* mangled = typeid(e).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

Operation::Operation(std::string_view logName, std::int32_t initialTrace) : logName_(logName) {
  Log.Trace = initialTrace;
  Ex.Beep = true;
}

void Operation::Report(const std::exception& e) noexcept {
  try {
    Ex.Function = logName_;
    Ex.ClassName = ExceptionClassName(e);
    Ex.Message = e.what();
    Ex.Trace = Log.Trace;
    Ex.FileName = gGlobalSettings.ExceptionFileName;
    ReportFileName = SaveExceptionRecAsXML(Ex);
  } catch (...) {
    // Copying texts can only fail for want of memory; the report is then lost.
  }
}

std::string Operation::Context() const { return logName_ + ":" + std::to_string(Log.Trace); }

}  // namespace brix32
