#include "ctl/DiagFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sstream>
#include <system_error>

#include "ctl/CtlOutput.h"
#include "support/Counterparts.h"
#include "support/TextUtils.h"

namespace corvanctl {

namespace {

constexpr std::size_t kLinkTargetLimit = 4096;

bool StartsWithIgnoringCase(std::string_view Name, std::string_view Prefix) {
  return Name.size() >= Prefix.size() && brix32::UpperCase(Name.substr(0, Prefix.size())) == brix32::UpperCase(Prefix);
}

bool EndsWithIgnoringCase(std::string_view Name, std::string_view Suffix) {
  return Name.size() >= Suffix.size() &&
         brix32::UpperCase(Name.substr(Name.size() - Suffix.size())) == brix32::UpperCase(Suffix);
}

bool EqualsIgnoringCase(std::string_view Name, std::string_view Other) {
  return Name.size() == Other.size() && brix32::UpperCase(Name) == brix32::UpperCase(Other);
}

// Newer first; among equal times by name, so that the listing does not depend on the
// order the folder gives its entries in.
bool Newer(const tFolderEntry& a, const tFolderEntry& b) {
  const timespec& x = a.Status.st_mtim;
  const timespec& y = b.Status.st_mtim;
  if (x.tv_sec != y.tv_sec) return x.tv_sec > y.tv_sec;
  if (x.tv_nsec != y.tv_nsec) return x.tv_nsec > y.tv_nsec;
  return a.Name < b.Name;
}

// Keeps the Limit newest of what it is given: a heap whose top is the oldest kept.
class tNewest {
 public:
  explicit tNewest(std::size_t Limit) : limit_(Limit) {}
  void Offer(const tFolderEntry& Entry) {
    if (limit_ == 0) return;
    if (kept_.size() == limit_) {
      if (!Newer(Entry, kept_.front())) return;
      std::pop_heap(kept_.begin(), kept_.end(), Newer);
      kept_.pop_back();
    }
    kept_.push_back(Entry);
    std::push_heap(kept_.begin(), kept_.end(), Newer);
  }
  std::vector<tFolderEntry> NewestFirst() && {
    std::sort_heap(kept_.begin(), kept_.end(), Newer);
    return std::move(kept_);
  }

 private:
  std::size_t limit_;
  std::vector<tFolderEntry> kept_;
};

std::string ModeText(mode_t Mode) {
  std::string text = S_ISDIR(Mode)    ? "d"
                     : S_ISLNK(Mode)  ? "l"
                     : S_ISFIFO(Mode) ? "p"
                     : S_ISSOCK(Mode) ? "s"
                     : S_ISCHR(Mode)  ? "c"
                     : S_ISBLK(Mode)  ? "b"
                                      : "-";
  const char* letters = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) text += (Mode & (0400 >> bit)) ? letters[bit] : '-';
  if (Mode & S_ISUID) text[3] = (Mode & S_IXUSR) ? 's' : 'S';
  if (Mode & S_ISGID) text[6] = (Mode & S_IXGRP) ? 's' : 'S';
  if (Mode & S_ISVTX) text[9] = (Mode & S_IXOTH) ? 't' : 'T';
  return text;
}

// The name of a user or group, or its number when it has none.
template <typename tEntry, typename tId>
std::string NameOf(tId Id, int (*Lookup)(tId, tEntry*, char*, std::size_t, tEntry**), char* tEntry::*Name) {
  tEntry entry{};
  tEntry* found = nullptr;
  char buffer[4096];
  return Lookup(Id, &entry, buffer, sizeof buffer, &found) == 0 && found ? std::string(found->*Name)
                                                                         : std::to_string(Id);
}

// Names of users and groups, looked up once each.
class tNames {
 public:
  const std::string& User(uid_t Id) {
    auto [it, added] = users_.try_emplace(Id);
    if (added) it->second = UserName(Id);
    return it->second;
  }
  const std::string& Group(gid_t Id) {
    auto [it, added] = groups_.try_emplace(Id);
    if (added) it->second = NameOf(Id, ::getgrgid_r, &group::gr_name);
    return it->second;
  }

 private:
  std::map<uid_t, std::string> users_;
  std::map<gid_t, std::string> groups_;
};

}  // namespace

std::string UserName(uid_t Id) { return NameOf(Id, ::getpwuid_r, &passwd::pw_name); }

const char* KindName(tFileKind Kind) {
  switch (Kind) {
    case tFileKind::Settings:
      return "Settings";
    case tFileKind::EventLog:
      return "EventLog";
    case tFileKind::ExceptionReport:
      return "ExceptionReport";
    case tFileKind::TaskFile:
      return "TaskFile";
    case tFileKind::Page:
      return "Page";
    case tFileKind::Pdf:
      return "PDF";
    case tFileKind::Debug:
      return "Debug";
    case tFileKind::Other:
      break;
  }
  return "Other";
}

tFileKind KindOf(std::string_view Name) {
  using namespace Counterparts;
  if (EqualsIgnoringCase(Name, kSettingsFileName)) return tFileKind::Settings;
  if (StartsWithIgnoringCase(Name, "CORVANSRVC-EventLog-") && EndsWithIgnoringCase(Name, ".txt"))
    return tFileKind::EventLog;
  if (StartsWithIgnoringCase(Name, "E!") && EndsWithIgnoringCase(Name, ".XML")) return tFileKind::ExceptionReport;
  if (EndsWithIgnoringCase(Name, ".PDF")) return tFileKind::Pdf;
  if (StartsWithIgnoringCase(Name, "TASK")) return tFileKind::TaskFile;
  if ((StartsWithIgnoringCase(Name, "U!") && EndsWithIgnoringCase(Name, ".TXT")) ||
      EqualsIgnoringCase(Name, kTarnexHeartbeatFile) || EqualsIgnoringCase(Name, kSerialHeartbeatFile) ||
      EqualsIgnoringCase(Name, kUdpListenHeartbeatFile))
    return tFileKind::Page;
  if (StartsWithIgnoringCase(Name, "D!")) return tFileKind::Debug;
  return tFileKind::Other;
}

tFolderEntry LookAt(int FolderFd, const std::string& Name) {
  tFolderEntry entry;
  entry.Name = Name;
  entry.Kind = KindOf(Name);
  if (::fstatat(FolderFd, Name.c_str(), &entry.Status, AT_SYMLINK_NOFOLLOW) != 0) {
    entry.Status.st_mode = 0;
    return entry;
  }
  if (S_ISLNK(entry.Status.st_mode)) {
    char target[kLinkTargetLimit];
    const ssize_t n = ::readlinkat(FolderFd, Name.c_str(), target, sizeof target);
    if (n > 0) entry.LinkTarget.assign(target, static_cast<std::size_t>(n));
  }
  return entry;
}

tFolderScan ScanFolder(int FolderFd, const tScanRules& Rules) {
  const int fd = ::fcntl(FolderFd, F_DUPFD_CLOEXEC, 0);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? ::fdopendir(fd) : nullptr, ::closedir);
  if (!dir) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    throw std::system_error(error, std::generic_category(), "cannot list the folder");
  }
  ::rewinddir(dir.get());

  tFolderScan scan;
  tNewest newest(Rules.ListLimit);
  tNewest wanted(Rules.WantedLimit);
  while (const dirent* d = ::readdir(dir.get())) {
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    if (scan.Entries == Rules.ScanLimit) {
      scan.Incomplete = true;
      break;
    }
    const tFolderEntry entry = LookAt(FolderFd, d->d_name);
    // Gone meanwhile: the folder is shared with a service that writes as it likes.
    if (entry.Status.st_mode == 0) continue;
    ++scan.Entries;
    tKindTotal& total = scan.Totals[entry.Kind];
    ++total.Count;
    if (S_ISREG(entry.Status.st_mode)) total.Bytes += static_cast<std::uint64_t>(entry.Status.st_size);
    if (Rules.Wants && Rules.Wants(entry)) wanted.Offer(entry);
    newest.Offer(entry);
  }
  scan.Newest = std::move(newest).NewestFirst();
  scan.Wanted = std::move(wanted).NewestFirst();
  return scan;
}

std::string FolderListingText(const tFolderScan& Scan, const std::string& Folder, const tScanRules& Rules) {
  std::ostringstream out;
  out << "Folder=" << EscapeValue(Folder) << '\n' << "Entries=" << Scan.Entries << '\n';
  if (Scan.Incomplete) out << "Incomplete=True (only the first " << Rules.ScanLimit << " entries were looked at)\n";
  for (const auto& [kind, total] : Scan.Totals)
    out << KindName(kind) << ".Count=" << total.Count << '\n' << KindName(kind) << ".Bytes=" << total.Bytes << '\n';
  out << "Listed=" << Scan.Newest.size();
  if (Scan.Newest.size() < Scan.Entries) out << " (the most recently changed)";
  out << "\n\n";
  tNames names;
  for (const tFolderEntry& e : Scan.Newest) {
    const struct stat& st = e.Status;
    out << ModeText(st.st_mode) << ' ' << st.st_nlink << ' ' << names.User(st.st_uid) << ' ' << names.Group(st.st_gid)
        << ' ' << st.st_size << ' ' << IsoTimeText(st.st_mtim.tv_sec) << ' ' << EscapeValue(e.Name);
    if (S_ISLNK(st.st_mode)) out << " -> " << EscapeValue(e.LinkTarget);
    out << '\n';
  }
  return out.str();
}

}  // namespace corvanctl
