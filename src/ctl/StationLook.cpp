// One look at the station for check and metrics.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>

#include "ctl/Commands.h"
#include "ctl/Monitoring.h"
#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"
#include "status/VersionsReport.h"
#include "support/Counterparts.h"
#include "support/FileVersion.h"
#include "support/ServiceFileRead.h"

namespace corvanctl {

using namespace Counterparts;

namespace {

bool IsFolder(int folderFd, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
  struct stat st {};
  return ::fstatat(folderFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// One pass over the folder, however many files it holds.
tFolderFileCounts CountFolderFiles(const std::string& Folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Folder.c_str()), ::closedir);
  if (!dir) throw EFailure("cannot read the folder " + Folder + ": " + std::strerror(errno));
  tFolderFileCounts counts;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const char* name = entry->d_name;
    std::int64_t* counter = nullptr;
    if (::fnmatch("Task*.PDF", name, FNM_CASEFOLD) == 0)
      counter = &counts.TaskSheets;
    else if (::fnmatch("D!*", name, FNM_CASEFOLD) == 0)
      counter = &counts.DebugFiles;
    else if (::fnmatch("E!*", name, FNM_CASEFOLD) == 0)
      counter = &counts.ExceptionReports;
    if (counter && !IsFolder(::dirfd(dir.get()), *entry)) ++*counter;
  }
  if (errno != 0) throw EFailure("cannot read the folder " + Folder + ": " + std::strerror(errno));
  return counts;
}

}  // namespace

tStationLook LookAtStation(const std::string& Folder) {
  tStationLook look;
  look.Counts = CountFolderFiles(Folder);
  look.NowMs = MainForm::UnixNowMs();
  look.State = MainForm::GatherServiceState(Folder);
  look.Status = MainForm::DecideStatus(look.State);
  look.PrintingReady = MainForm::PrintingReady(look.State);
  look.GoingCount = MainForm::GoingCount(brix32::ReadHeartbeat(MainForm::ServiceFile(Folder, kTarnexHeartbeatFile)));

  const MainForm::tWatchdogLimits limits = MainForm::ReadWatchdogLimits(Folder);
  look.LimitProblems = limits.Problems;
  for (const MainForm::tFeed feed : MainForm::kFeeds) {
    if (!MainForm::FeedExpected(feed, Lib::gCorvanSettings)) continue;
    tFeedLook feedLook;
    feedLook.Feed = feed;
    feedLook.Stamp = MainForm::StatHeartbeat(Folder, feed);
    feedLook.Age = MainForm::FeedAgeAt(feedLook.Stamp, look.NowMs);
    feedLook.LimitMinutes = limits.MinutesOf(feed);
    look.Feeds.push_back(feedLook);
  }

  look.ControlVersion = brix32::FileVersion2(ControlProgramFile(Folder));
  if (MainForm::ServiceFileExists(Folder, kVersionFile))
    look.ServiceVersion = MainForm::VersionText(brix32::ReadServiceText(MainForm::ServiceFile(Folder, kVersionFile)));
  return look;
}

void SayLimitProblems(tContext& Ctx, const tStationLook& Look) {
  for (const std::string& problem : Look.LimitProblems) Ctx.Err << "corvanctl: " << problem << '\n';
}

}  // namespace corvanctl
