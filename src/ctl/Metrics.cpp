// corvanctl metrics: the Prometheus text exposition format, for the node exporter's
// textfile collector.
#include <cerrno>
#include <cstring>
#include <sstream>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "ctl/Monitoring.h"
#include "settings/CorvanSettings.h"
#include "support/FileUtils.h"

namespace corvanctl {

namespace {

// A label value: printable ASCII, with "\" and the double quote escaped. The service's
// files are 8-bit text, which the format (UTF-8) could not take as it is.
std::string LabelValue(std::string_view Text) {
  std::string out;
  for (const char c : Text.substr(0, 64)) {
    if (c == '\\' || c == '"') out += '\\';
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return out;
}

std::string SecondsText(std::int64_t Ms) { return FloatText(static_cast<double>(Ms) / 1000.0); }

class tExposition {
 public:
  // Each family once, with its help and type; then its samples.
  void Family(const char* Name, const char* Help) {
    out_ << "# HELP " << Name << ' ' << Help << "\n# TYPE " << Name << " gauge\n";
  }
  void Sample(const char* Name, const std::string& Labels, const std::string& Value) {
    out_ << Name << (Labels.empty() ? "" : "{" + Labels + "}") << ' ' << Value << '\n';
  }
  void Gauge(const char* Name, const char* Help, std::int64_t Value) {
    Family(Name, Help);
    Sample(Name, "", std::to_string(Value));
  }
  std::string Text() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

std::string FeedLabels(MainForm::tFeed Feed) { return "feed=\"" + std::string(MainForm::FeedLabel(Feed)) + "\""; }

}  // namespace

std::string RenderMetrics(const tStationLook& Look) {
  tExposition m;
  m.Gauge("corvan_service_installed", "Whether corvansrvc.exe is in the program folder (1) or not (0).",
          Look.State.ServiceProgramExists);
  m.Gauge("corvan_service_up", "Whether a Corvan service process is running (1) or not (0).",
          Look.State.ProcessCount > 0);
  m.Gauge("corvan_service_processes", "Running Corvan service processes (corvansrvc.exe).", Look.State.ProcessCount);
  m.Gauge("corvan_printing_enabled", "Whether the settings enable printing (1) or not (0).",
          Look.State.EnablePrinting == 1);
  m.Gauge("corvan_printing_ready",
          "Whether task sheets will print: printing on, one service process, no disconnection.", Look.PrintingReady);

  if (!Look.Feeds.empty()) {
    m.Family("corvan_feed_last_data_timestamp_seconds",
             "Unix time of the last data of each feed the settings expect (its heartbeat file's modification time).");
    for (const tFeedLook& feed : Look.Feeds)
      if (feed.Age.Known)
        m.Sample("corvan_feed_last_data_timestamp_seconds", FeedLabels(feed.Feed), SecondsText(feed.Age.LastDataMs));
    m.Family("corvan_feed_age_seconds", "Seconds since the last data of each feed the settings expect.");
    for (const tFeedLook& feed : Look.Feeds)
      if (feed.Age.Known) m.Sample("corvan_feed_age_seconds", FeedLabels(feed.Feed), SecondsText(feed.Age.AgeMs));
    m.Family("corvan_feed_limit_seconds",
             "The control panel's alarm limit for each expected feed's age (0: no alarm).");
    for (const tFeedLook& feed : Look.Feeds)
      m.Sample("corvan_feed_limit_seconds", FeedLabels(feed.Feed), std::to_string(feed.LimitMinutes * 60));
  }
  if (Look.GoingCount >= 0)
    m.Gauge("corvan_going_rfas", "Requests for assistance going, as the last vendor feed heartbeat says.",
            Look.GoingCount);
  m.Gauge("corvan_task_sheet_files", "Task sheet files (Task*.PDF) in the program folder.", Look.Counts.TaskSheets);
  m.Gauge("corvan_debug_files", "Debug files (D!*) in the program folder.", Look.Counts.DebugFiles);
  m.Gauge("corvan_exception_report_files", "Exception reports (E!*) in the program folder.",
          Look.Counts.ExceptionReports);
  m.Family("corvan_build_info", "The versions of the control panel and of the service (empty: not known).");
  m.Sample("corvan_build_info",
           "control_version=\"" + LabelValue(Look.ControlVersion) + "\",service_version=\"" +
               LabelValue(Look.ServiceVersion.value_or("")) + "\"",
           "1");
  return m.Text();
}

std::string MetricsReport(const std::string& Folder) { return RenderMetrics(LookAtStation(Folder)); }

int MetricsCommand(tContext& Ctx) {
  if (!Ctx.Args.Positional.empty()) throw EUsage("metrics takes no arguments ('" + Ctx.Args.Positional.front() + "')");
  LoadSettings(Ctx, std::string("corvanctl.Metrics:") + "100");
  const tStationLook look = LookAtStation(Ctx.Folder);
  SayLimitProblems(Ctx, look);
  const std::string text = RenderMetrics(look);
  const auto output = Ctx.Args.Options.find("--output");
  if (output == Ctx.Args.Options.end()) {
    Ctx.Out << text;
    return kExitOK;
  }
  // Whole or not at all: the collector may read the file at any moment.
  const std::string file = UserPath(Ctx, output->second);
  if (brix32::WriteTextFileAtomic(text, file) != 0)
    throw EFailure("cannot write " + file + ": " + std::strerror(errno));
  return kExitOK;
}

}  // namespace corvanctl
