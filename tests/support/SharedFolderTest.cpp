// Two members of one group share the program folder, as the service's account and an
// operator do on a station (root:group, mode 2775): whatever one of them writes there,
// the other can still write afterwards. Needs root, to act as two throwaway users (bare
// numbers that no account on this machine uses); it fails rather than skips without.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <functional>
#include <vector>

#include "TempFolder.h"
#include "support/FileUtils.h"

using corvantest::TempFolder;

namespace {

// Numbers from `from` up that name no user and no group here.
std::vector<unsigned> UnusedIds(unsigned count, unsigned from = 61000) {
  std::vector<unsigned> ids;
  for (unsigned id = from; ids.size() < count && id < from + 1000; ++id)
    if (!::getpwuid(id) && !::getgrgid(id)) ids.push_back(id);
  return ids;
}

struct tUser {
  uid_t uid;
  std::vector<gid_t> groups;  // the first is the primary group
};

// Runs `body` in a child as `user`, with the usual desktop umask; its result is the
// child's exit code (125: could not become the user).
int RunAs(const tUser& user, const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const gid_t primary = user.groups.front();
    if (::setgroups(user.groups.size(), user.groups.data()) != 0 || ::setresgid(primary, primary, primary) != 0 ||
        ::setresuid(user.uid, user.uid, user.uid) != 0)
      ::_exit(125);
    ::umask(022);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CanWrite(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, "+", 1) == 1;
  ::close(fd);
  return ok;
}

gid_t GroupOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_gid : static_cast<gid_t>(-1);
}

}  // namespace

TEST(SharedFolder, WhatOneMemberWritesTheOtherCanStillWrite) {
  ASSERT_EQ(::geteuid(), 0u) << "this test acts as two users of one group and needs root";
  const std::vector<unsigned> ids = UnusedIds(4);
  ASSERT_EQ(ids.size(), 4u) << "no unused user and group numbers";
  const gid_t corvan = ids[0];
  const gid_t other = ids[1];  // a second group both belong to
  const tUser service{ids[2], {corvan, other}};
  const tUser panel{ids[3], {corvan, other}};

  TempFolder base;
  ASSERT_EQ(::chmod(base.path().c_str(), 0755), 0);
  const std::string folder = base.file("program/");
  ASSERT_EQ(::mkdir(folder.c_str(), 0), 0);
  ASSERT_EQ(::chown(folder.c_str(), 0, corvan), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);

  // The service's own files, made as a program with the usual umask makes them (0644).
  const std::string settings = folder + "CorvanSrvc-Settings.xml";
  const std::string status = folder + "CorvanSrvc-Status.txt";
  ASSERT_EQ(RunAs(service,
                  [&] {
                    for (const std::string& f : {settings, status})
                      if (brix32::WriteTextFile("service", f, false) != 0) return 1;
                    return ::chown(status.c_str(), static_cast<uid_t>(-1), other) == 0 ? 0 : 2;
                  }),
            0);

  // The panel rewrites the service's files and creates its own, each the way it does.
  const std::string units = folder + "VEKUnits.xml";
  const std::string eventLog = folder + "CORVANSRVC-EventLog-Mon.txt";
  const std::string report = folder + "E!CorvanControl-20260101120000000.XML";
  const std::string task = folder + "TASK-20260101-S9000.TXT";
  ASSERT_EQ(RunAs(panel,
                  [&] {
                    int failed = 0;
                    for (const std::string& f : {settings, status, units, task})
                      failed += brix32::WriteTextFileAtomic("panel", f) != 0;
                    failed += brix32::WriteTextFile("a line\r\n", eventLog, true) != 0;
                    failed += brix32::WriteTextFile("<report/>", report, false) != 0;
                    return failed;
                  }),
            0);

  for (const std::string& f : {settings, status, units, eventLog, report, task}) {
    EXPECT_EQ(RunAs(service, [&] { return CanWrite(f) ? 0 : 1; }), 0) << f << " is closed to the service";
    EXPECT_EQ(GroupOf(f), f == status ? other : corvan) << f;
  }
}
