// diag: a support bundle of the station, to be mailed to whoever helps.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <set>
#include <sstream>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "ctl/DiagFolder.h"
#include "ctl/DiagSystem.h"
#include "ctl/SupportBundle.h"
#include "support/Counterparts.h"
#include "support/FileUtils.h"
#include "support/HostName.h"
#include "support/TextUtils.h"
#include "support/UniqueFd.h"
#include "support/UpdateCheck.h"
#include "watchdog/PanelSettings.h"

namespace corvanctl {

using namespace Counterparts;

namespace {

constexpr std::uint64_t kMB = 1024 * 1024;
constexpr std::uint64_t kDefaultMaxSizeMB = 64;
constexpr std::uint64_t kLargestMaxSizeMB = 1024;
// No file of the folder takes more than this, nor more than an eighth of the bundle's
// limit, so that the seven weekday logs always leave room for the rest; of a log, the
// last part is taken.
constexpr std::uint64_t kFileLimit = 8 * kMB;
// A log's tail shrinks to what is left of the bundle's limit, but not below this.
constexpr std::uint64_t kSmallestTail = 4096;
// What an entry costs beyond its bytes: its header, an extended header for a long name,
// and the padding of both to whole blocks.
constexpr std::uint64_t kEntryOverhead = 2048;
constexpr std::int64_t kRecentSeconds = 7 * 24 * 60 * 60;
// The versions report asks the vendor's host three times; a host that does not answer
// must not hold the bundle for minutes.
constexpr std::chrono::milliseconds kVersionsTimeout{5000};

// Removes the bundle's temporary when the command is interrupted, so that Ctrl-C leaves
// no part of a file behind. The handler may only call async-signal-safe functions.
char gTemporary[PATH_MAX];

void RemoveTemporaryAndEnd(int Signal) {
  if (gTemporary[0] != '\0') ::unlink(gTemporary);
  ::signal(Signal, SIG_DFL);
  ::raise(Signal);
}

class tRemoveOnSignal {
 public:
  tRemoveOnSignal() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &saved_[i]);
  }
  ~tRemoveOnSignal() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
    gTemporary[0] = '\0';
  }
  tRemoveOnSignal(const tRemoveOnSignal&) = delete;
  tRemoveOnSignal& operator=(const tRemoveOnSignal&) = delete;

  // Makes the file that Create makes: with the signals held back meanwhile, no signal can
  // end the command between the file's creation and the handler knowing its name.
  template <typename Make>
  auto Creating(Make Create) {
    sigset_t held, before;
    sigemptyset(&held);
    for (const int signal : kSignals) sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &before);
    auto made = Create();
    const std::string& name = made->TemporaryName();
    if (*made && name.size() < sizeof gTemporary) std::memcpy(gTemporary, name.c_str(), name.size() + 1);
    const int error = errno;
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return made;
  }

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction saved_[std::size(kSignals)]{};
};

std::string LocalStamp(std::int64_t Now) {
  const auto t = static_cast<time_t>(Now);
  tm local{};
  ::localtime_r(&t, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%d-%H%M%S", &local);
  return buffer;
}

// The host name as a file name may carry it.
std::string SafeName(std::string_view Name) {
  std::string safe;
  for (const char c : Name)
    safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_') ? c : '_';
  return safe.empty() ? "station" : safe;
}

std::uint64_t MaxSizeMB(const tArgs& Args) {
  const auto given = Args.Options.find("--max-size");
  if (given == Args.Options.end()) return kDefaultMaxSizeMB;
  const std::string& text = given->second;
  std::uint64_t value = 0;
  const bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
  if (digits) value = std::stoull(text);
  if (!digits || value < 1 || value > kLargestMaxSizeMB)
    throw EUsage("--max-size takes a whole number of MB from 1 to " + std::to_string(kLargestMaxSizeMB) + ", not '" +
                 text + "'");
  return value;
}

struct tFolderRead {
  bool Ok = false;
  std::string Data;
  std::string Problem;     // why it was not read
  std::uint64_t Size = 0;  // the file's size when it was read
  std::int64_t Modified = 0;
};

// A regular file with one name of the open folder, never through a link: whole when it
// holds at most Limit bytes, else, with Tail, its last Limit bytes.
tFolderRead ReadFromFolder(int FolderFd, const tFolderEntry& Entry, std::uint64_t Limit, bool Tail) {
  tFolderRead r;
  // Looked at before opening: a device is never opened.
  if (S_ISLNK(Entry.Status.st_mode)) {
    r.Problem = "a link to " + Entry.LinkTarget + ", which is never followed";
    return r;
  }
  if (Entry.Status.st_mode == 0) {
    r.Problem = "missing";
    return r;
  }
  if (!S_ISREG(Entry.Status.st_mode)) {
    r.Problem = "not a regular file";
    return r;
  }
  const brix32::UniqueFd fd(
      ::openat(FolderFd, Entry.Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) {
    r.Problem = errno == ELOOP ? "replaced by a link, which is never followed" : std::strerror(errno);
    return r;
  }
  if (!S_ISREG(st.st_mode)) {
    r.Problem = "not a regular file";
    return r;
  }
  // A second name may lie outside the folder.
  if (st.st_nlink > 1) {
    r.Problem = "a file with more than one name";
    return r;
  }
  r.Size = static_cast<std::uint64_t>(st.st_size);
  r.Modified = st.st_mtim.tv_sec;
  if (r.Size > Limit && !Tail) {
    r.Problem = "larger than " + brix32::ByteSizeText(static_cast<std::size_t>(Limit));
    return r;
  }
  const std::uint64_t start = r.Size > Limit ? r.Size - Limit : 0;
  r.Data.resize(static_cast<std::size_t>(std::min(Limit, r.Size)));
  std::size_t got = 0;
  while (got < r.Data.size()) {
    const ssize_t n = ::pread(fd.get(), r.Data.data() + got, r.Data.size() - got, static_cast<off_t>(start + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.Problem = std::strerror(errno);
      return r;
    }
    if (n == 0) break;  // shortened meanwhile
    got += static_cast<std::size_t>(n);
  }
  r.Data.resize(got);
  r.Ok = true;
  return r;
}

// What goes into the bundle as it is written, within the bundle's limit, and what was
// left out and why, for contents.txt. Each file is held only while it is added.
class tBundleContents {
 public:
  // contents.txt counts too: the room for its entry and its last line is set aside.
  tBundleContents(tSupportBundle& Bundle, std::uint64_t Limit)
      : bundle_(Bundle), limit_(Limit), left_(Limit > kContentsReserve ? Limit - kContentsReserve : 0) {}

  // What the next entry may hold at most.
  std::uint64_t Room() const { return left_ > kEntryOverhead ? left_ - kEntryOverhead : 0; }
  std::string LimitText() const {
    return "over the bundle's limit of " + brix32::ByteSizeText(static_cast<std::size_t>(limit_)) + ", --max-size";
  }

  void Add(const std::string& Name, std::string_view Bytes, std::int64_t Modified, const std::string& Note = {}) {
    if (Bytes.size() > Room()) {
      LeaveOut(Name, LimitText());
      ++overLimit_;
      return;
    }
    bundle_.Add(Name, Bytes, Modified);
    left_ -= Bytes.size() + kEntryOverhead;
    ++included_;
    Line("Included", Note.empty() ? Name : Name + " (" + Note + ")");
  }
  void LeaveOut(const std::string& Name, const std::string& Why) {
    Line("LeftOut", Name + " (" + Why + ")");
    ++leftOut_;
  }
  // A Name=value line of contents.txt; beyond the limit, lines are only counted.
  void Line(const std::string& Name, const std::string& Value) {
    const std::string line = Name + "=" + EscapeValue(Value) + "\n";
    if (line.size() > left_) {
      ++unsaid_;
      return;
    }
    left_ -= line.size();
    contents_ += line;
  }

  std::string Contents() const {
    if (unsaid_ == 0) return contents_;
    return contents_ + "Note=" + std::to_string(unsaid_) + " more lines did not fit " +
           LimitText().substr(std::string_view("over ").size()) + "\n";
  }
  std::size_t IncludedCount() const { return included_; }
  std::size_t LeftOutCount() const { return leftOut_; }
  std::size_t OverLimitCount() const { return overLimit_; }

 private:
  // contents.txt's entry and the line that counts what did not fit.
  static constexpr std::uint64_t kContentsReserve = kEntryOverhead + 256;

  tSupportBundle& bundle_;
  std::uint64_t limit_;
  std::uint64_t left_;
  std::string contents_;
  std::size_t included_ = 0;
  std::size_t leftOut_ = 0;
  std::size_t overLimit_ = 0;
  std::size_t unsaid_ = 0;
};

// One report of its own command (status --json, versions), as the command prints it; what
// the command says on standard error becomes a note.
std::string CommandOutput(tContext& Ctx, tBundleContents& Plan, const char* Command, const std::set<std::string>& Flags,
                          int (*Run)(tContext&)) {
  tArgs args;
  args.Command = Command;
  args.Flags = Flags;
  std::ostringstream out, err;
  tContext sub{Ctx.Folder, args, Ctx.In, out, err, Ctx.StartFolder};
  Run(sub);
  std::istringstream said(err.str());
  for (std::string line; std::getline(said, line);) Plan.Line("Note", std::string(Command) + ": " + line);
  return out.str();
}

// The order files of the folder go in when the limit cannot take them all: the logs tell
// most, then the error reports, then the incident files.
int Priority(tFileKind Kind) {
  switch (Kind) {
    case tFileKind::EventLog:
      return 0;
    case tFileKind::ExceptionReport:
      return 1;
    default:
      return 2;
  }
}

bool IsIncidentKind(tFileKind Kind) {
  return Kind == tFileKind::TaskFile || Kind == tFileKind::Page || Kind == tFileKind::Pdf;
}

// Where the bundle goes: standard output, or a file that takes its name only when whole.
class tBundleTarget {
 public:
  tBundleTarget(const std::string& FileName, std::ostream& Out) : name_(FileName), out_(Out) {
    if (ToStandardOutput()) return;
    struct stat st {};
    if (::stat(FileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      throw EFailure("cannot write " + FileName + ": it is a folder; name a file with --output");
    // Only for whoever made it: the bundle tells a lot about the station.
    signals_ = std::make_unique<tRemoveOnSignal>();
    file_ = signals_->Creating([&] { return std::make_unique<brix32::tReplacingFile>(FileName, 0600); });
    if (!*file_) throw EFailure("cannot write " + FileName + ": " + std::strerror(errno));
  }

  bool ToStandardOutput() const { return name_ == "-"; }

  void Write(const void* Bytes, std::size_t Size) {
    if (ToStandardOutput()) {
      out_.write(static_cast<const char*>(Bytes), static_cast<std::streamsize>(Size));
      if (!out_) Fail("the stream failed");
      written_ += Size;
      return;
    }
    const char* p = static_cast<const char*>(Bytes);
    while (Size > 0) {
      const ssize_t n = ::write(file_->Fd(), p, Size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Fail(std::strerror(errno));
      p += n;
      Size -= static_cast<std::size_t>(n);
      written_ += static_cast<std::size_t>(n);
    }
  }

  void Commit() {
    if (ToStandardOutput()) {
      out_.flush();
      return;
    }
    if (file_->Commit() != 0) throw EFailure("cannot write " + name_ + ": " + std::strerror(errno));
  }

  std::uint64_t Written() const { return written_; }
  // Why the bundle could not be written; empty while it could.
  const std::string& Error() const { return error_; }

 private:
  [[noreturn]] void Fail(const std::string& Why) {
    error_ = Why;
    throw std::runtime_error(Why);
  }

  std::string name_;
  std::ostream& out_;
  // The handler outlives the file: an unfinished file is removed before it goes.
  std::unique_ptr<tRemoveOnSignal> signals_;
  std::unique_ptr<brix32::tReplacingFile> file_;
  std::uint64_t written_ = 0;
  std::string error_;
};

// The files the scan chose, as far as the bundle's limit takes them.
void AddFolderFiles(tBundleContents& Plan, int FolderFd, std::vector<tFolderEntry> Wanted, std::uint64_t FileLimit,
                    std::ostream& Err) {
  // Within a kind the newest come first, but the smaller logs before the larger ones: a
  // large log then takes what room is left as its last part, and no small log is lost.
  std::stable_sort(Wanted.begin(), Wanted.end(), [](const tFolderEntry& a, const tFolderEntry& b) {
    if (Priority(a.Kind) != Priority(b.Kind)) return Priority(a.Kind) < Priority(b.Kind);
    return a.Kind == tFileKind::EventLog && a.Status.st_size < b.Status.st_size;
  });
  for (const tFolderEntry& e : Wanted) {
    const std::string name = "folder/" + e.Name;
    const bool log = e.Kind == tFileKind::EventLog;
    const std::uint64_t room = std::min(FileLimit, Plan.Room());
    if (log && room < kSmallestTail) {
      Plan.LeaveOut(name, Plan.LimitText());
      continue;
    }
    const tFolderRead read = ReadFromFolder(FolderFd, e, log ? room : FileLimit, log);
    if (!read.Ok) {
      Plan.LeaveOut(name, read.Problem);
      continue;
    }
    std::string note;
    if (read.Data.size() < read.Size) {
      note = "its last " + std::to_string(read.Data.size()) + " of " + std::to_string(read.Size) + " bytes";
      Err << "corvanctl: " << e.Name << " holds " << read.Size << " bytes: only its last " << read.Data.size()
          << " are in the bundle\n";
    }
    Plan.Add(name, read.Data, read.Modified, note);
  }
}

}  // namespace

int DiagCommand(tContext& Ctx) {
  const tArgs& args = Ctx.Args;
  if (!args.Positional.empty()) throw EUsage("diag takes no arguments ('" + args.Positional.front() + "')");
  const std::uint64_t limit = MaxSizeMB(args) * kMB;
  const std::uint64_t fileLimit = std::min(kFileLimit, limit / 8);
  const bool withTasks = args.Flags.count("--with-tasks") > 0;
  const std::int64_t now = static_cast<std::int64_t>(::time(nullptr));
  const std::string top = "corvan-diag-" + SafeName(brix32::GetHostName()) + "-" + LocalStamp(now);
  const auto given = args.Options.find("--output");
  const std::string outputName = given == args.Options.end() ? UserPath(Ctx, top + ".tar.gz")
                                 : given->second == "-"      ? given->second
                                                             : UserPath(Ctx, given->second);

  // A folder that cannot take the bundle is said before any work is done.
  tBundleTarget output(outputName, Ctx.Out);
  const brix32::UniqueFd folder(::open(Ctx.Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) throw EFailure("cannot open the folder " + Ctx.Folder + ": " + std::strerror(errno));

  tSupportBundle bundle(top, [&](const void* bytes, std::size_t size) { output.Write(bytes, size); });
  tBundleContents plan(bundle, limit);
  // What goes wrong with the output ends the command: the bundle is written whole or not
  // at all.
  try {
    plan.Line("Bundle", top);
    plan.Line("Folder", Ctx.Folder);
    plan.Line("WithTasks", BoolText(withTasks));
    plan.Line("MaxSize", brix32::ByteSizeText(limit));
    plan.Line("Note",
              "files of the folder changed in the last 7 days are included (the settings file whatever its age)" +
                  std::string(withTasks ? "" : "; task files, pages and PDFs are left out without --with-tasks"));

    const auto section = [&](const std::string& name, const std::function<std::string()>& make) {
      std::string bytes;
      try {
        bytes = make();
      } catch (const std::exception& e) {
        plan.LeaveOut(name, e.what());
        return;
      }
      plan.Add(name, bytes, now);
    };
    section("system.txt", [&] { return SystemReportText(Ctx.Folder, now); });
    section("os-release", [] { return OsReleaseText(); });
    section("processes.txt", [] { return ProcessesReportText(); });
    section("status.json", [&] { return CommandOutput(Ctx, plan, "status", {"--json"}, StatusCommand); });
    brix32::SetUpdateCheckTimeout(kVersionsTimeout);
    section("versions.txt", [&] { return CommandOutput(Ctx, plan, "versions", {}, VersionsCommand); });
    section("check.txt", [&] { return CommandOutput(Ctx, plan, "check", {}, CheckCommand); });
    section("metrics.prom", [&] { return CommandOutput(Ctx, plan, "metrics", {}, MetricsCommand); });

    tScanRules rules;
    rules.WantedLimit = static_cast<std::size_t>(limit / kEntryOverhead);
    rules.Wants = [&](const tFolderEntry& e) {
      const bool recent = e.Status.st_mtim.tv_sec >= now - kRecentSeconds;
      return recent && (e.Kind == tFileKind::EventLog || e.Kind == tFileKind::ExceptionReport ||
                        (withTasks && IsIncidentKind(e.Kind)));
    };
    tFolderScan scan = ScanFolder(folder.get(), rules);
    if (scan.Incomplete)
      Ctx.Err << "corvanctl: the folder holds more than " << rules.ScanLimit
              << " entries; only the first were looked at\n";
    section("folder.txt", [&] { return FolderListingText(scan, Ctx.Folder, rules); });

    // The settings files whatever their age: the shared one as the programs find it, in
    // any case of its name, and the panel's own.
    const std::string settingsName = brix32::ResolveNameIgnoringCase(Ctx.Folder, std::string(kSettingsFileName));
    for (const std::string& name : {settingsName, std::string(MainForm::kPanelSettingsFileName)}) {
      const tFolderRead read = ReadFromFolder(folder.get(), LookAt(folder.get(), name), fileLimit, false);
      if (!read.Ok)
        plan.LeaveOut("folder/" + name, read.Problem);
      else if (name == settingsName)
        plan.Add("folder/" + name, WithoutGuid(read.Data), read.Modified, "GUID replaced");
      else
        plan.Add("folder/" + name, read.Data, read.Modified);
    }

    AddFolderFiles(plan, folder.get(), scan.Wanted, fileLimit, Ctx.Err);

    bundle.Add("contents.txt", plan.Contents(), now);
    bundle.Close();
    output.Commit();
  } catch (const std::runtime_error&) {
    if (!output.Error().empty())
      throw EFailure("cannot write " + (output.ToStandardOutput() ? "standard output" : outputName) + ": " +
                     output.Error());
    throw;
  }
  if (plan.OverLimitCount() > 0)
    Ctx.Err << "corvanctl: " << plan.OverLimitCount() << " files were left out, " << plan.LimitText()
            << "; contents.txt in the bundle names them\n";
  if (!output.ToStandardOutput()) {
    tRecordOutput out;
    out.Text("Bundle", outputName);
    out.Number("Bytes", static_cast<std::int64_t>(output.Written()));
    out.Number("Included", static_cast<std::int64_t>(plan.IncludedCount() + 1));
    out.Number("LeftOut", static_cast<std::int64_t>(plan.LeftOutCount()));
    out.WriteLines(Ctx.Out);
  }
  return kExitOK;
}

}  // namespace corvanctl
