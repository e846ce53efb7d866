#pragma once
// The process identity and the one error-handling pattern every operation follows: a
// progress number raised before each stage, one handler for standard exceptions that
// writes an exception report, and the operation's own fallback result.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace brix32 {

struct tLog {
  std::string SyslogServer;
  std::int32_t DaysOfLogFilesRetained = 0;
};

struct tGlobalSettings {
  std::string SelfName;
  std::string Version;
  std::string HostName;
  std::string ExceptionFileName;
  tLog Log;
  std::string Path;  // program folder, ends with "/"
  std::int32_t ExceptionFileCount = 0;
  std::string UserName;
  std::string DefaultPrinterName;
  std::int16_t SyslogCounter = 0;
};

extern tGlobalSettings gGlobalSettings;

struct tLogRec {
  std::int32_t Trace = 0;
};

struct tExceptionRec {
  std::string Function;
  std::string ClassName;
  std::string Message;
  std::int32_t Trace = 0;
  std::string SQL;
  std::string CallingFunction;
  std::string Notes;
  std::string FileName;
  bool Beep = false;
  std::int32_t Count = 0;
};

// The dynamic type name of a caught exception, demangled ("std::runtime_error").
std::string ExceptionClassName(const std::exception& e);

// One running operation. Typical use:
//
//   std::string Between(...) {
//     Operation op("brix32.Between");
//     std::string result;
//     op.Run([&] { op.Log.Trace = 110; ...; result = ...; });
//     return result;                       // what was formed so far, after an error
//   }
//
// Run() returns false when the body threw a std::exception; the report has then been
// written and `ReportFileName` holds its name. Anything else thrown passes through.
class Operation {
 public:
  explicit Operation(std::string_view logName, std::int32_t initialTrace = 100);

  template <class Body>
  bool Run(Body&& body) {
    try {
      body();
      return true;
    } catch (const std::exception& e) {
      Report(e);
      return false;
    }
  }

  // Fills the exception record from `e` and the progress number, and writes the report.
  void Report(const std::exception& e) noexcept;

  // "LogName:Trace", the caller context handed to operations that take one.
  std::string Context() const;

  tLogRec Log;
  tExceptionRec Ex;  // CallingFunction, Notes and Beep may be set by the body
  std::string ReportFileName;

 private:
  std::string logName_;
};

}  // namespace brix32
