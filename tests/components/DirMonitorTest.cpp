#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <thread>
#include <typeinfo>
#include <utility>

#include "MonitorTesting.h"
#include "TempFolder.h"
#include "components/DirMonitor.h"

using namespace components;
using namespace corvantest;
using namespace std::chrono_literals;

namespace {

// What the main window asks for.
const TFilter kMainWindowFilter{nfFILE_NAME, nfLAST_WRITE, nfCREATION};

class DirMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreApplication();
    baseFds_ = OpenFdCount();
  }

  // A monitor on the temporary folder that records every change it reports.
  std::unique_ptr<TDirMonitor> Watch(TFilter filter = kMainWindowFilter) {
    auto monitor = std::make_unique<TDirMonitor>();
    monitor->Directory = dir_->path();
    monitor->FilterNotification = filter;
    monitor->OnChange = [this](TDirMonitor*, TAction action, const std::string& name) {
      changes_.push_back({action, name});
    };
    monitor->SetActive(true);
    return monitor;
  }

  bool Reported(const Change& c) const { return std::find(changes_.begin(), changes_.end(), c) != changes_.end(); }

  // Creates a marker file and runs the loop until it is reported. Changes arrive in
  // order, so what came before it is everything the preceding actions caused.
  std::vector<Change> ChangesBeforeMarker() {
    const std::string marker = "zz-marker-" + std::to_string(++markers_);
    WriteFile(dir_->file(marker));
    EXPECT_TRUE(RunUntil([&] { return Reported({faADDED, marker}); })) << marker;
    std::vector<Change> before;
    for (const Change& c : changes_) {
      if (c.Name == marker) break;
      if (c.Name.rfind("zz-marker-", 0) != 0) before.push_back(c);
    }
    changes_.clear();
    return before;
  }

  std::unique_ptr<TempFolder> dir_ = std::make_unique<TempFolder>();
  std::vector<Change> changes_;
  int baseFds_ = 0;
  int markers_ = 0;
};

TEST_F(DirMonitorTest, StartsInactiveWithItsDefaults) {
  TDirMonitor monitor;
  EXPECT_EQ(monitor.Directory, "c:\\brix");
  EXPECT_FALSE(monitor.WatchSubtree);
  EXPECT_EQ(monitor.FilterNotification, TFilter{nfFILE_NAME});
  EXPECT_EQ(monitor.FilterAction,
            (TActionFilter{faADDED, faREMOVED, faMODIFIED, faRENAMED_OLD_NAME, faRENAMED_NEW_NAME}));
  EXPECT_FALSE(monitor.OnChange);
  EXPECT_FALSE(monitor.Active());
}

struct Scenario {
  const char* name;
  std::function<void(const TempFolder&)> before;  // done before watching starts
  std::function<void(const TempFolder&)> act;
  std::vector<Change> expected;
};

TEST_F(DirMonitorTest, ReportsEachChangeInOrderWithItsExactName) {
  auto none = [](const TempFolder&) {};
  auto existing = [](const TempFolder& d) { WriteFile(d.file("a.txt"), "old"); };
  const std::vector<Scenario> scenarios = {
      {"create",
       none,
       [](const TempFolder& d) { WriteFile(d.file("a.txt")); },
       {{faADDED, "a.txt"}, {faMODIFIED, "a.txt"}}},
      {"rewrite in place",
       existing,
       [](const TempFolder& d) { WriteFile(d.file("a.txt"), "new"); },
       {{faMODIFIED, "a.txt"}}},
      {"delete", existing, [](const TempFolder& d) { ::unlink(d.file("a.txt").c_str()); }, {{faREMOVED, "a.txt"}}},
      {"rename",
       existing,
       [](const TempFolder& d) { std::rename(d.file("a.txt").c_str(), d.file("b.txt").c_str()); },
       {{faRENAMED_OLD_NAME, "a.txt"}, {faRENAMED_NEW_NAME, "b.txt"}}},
      {"atomic replace",
       existing,
       [](const TempFolder& d) {
         WriteFile(d.file("a.txt.tmp"), "new");
         std::rename(d.file("a.txt.tmp").c_str(), d.file("a.txt").c_str());
       },
       {{faADDED, "a.txt.tmp"},
        {faMODIFIED, "a.txt.tmp"},
        {faRENAMED_OLD_NAME, "a.txt.tmp"},
        {faRENAMED_NEW_NAME, "a.txt"}}},
      {"folder created: folders are not reported",
       none,
       [](const TempFolder& d) { ::mkdir(d.file("sub").c_str(), 0755); },
       {}},
      // Records are padded; names of 4, 8, 15 and 16 bytes must come out exact.
      {"names whose length is a multiple of four",
       none,
       [](const TempFolder& d) {
         for (const char* n : {"abcd", "abcdefgh", "abcdefghijklmno", "abcdefghijklmnop"}) WriteFile(d.file(n));
       },
       {{faADDED, "abcd"},
        {faMODIFIED, "abcd"},
        {faADDED, "abcdefgh"},
        {faMODIFIED, "abcdefgh"},
        {faADDED, "abcdefghijklmno"},
        {faMODIFIED, "abcdefghijklmno"},
        {faADDED, "abcdefghijklmnop"},
        {faMODIFIED, "abcdefghijklmnop"}}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    dir_ = std::make_unique<TempFolder>();
    s.before(*dir_);
    auto monitor = Watch();
    s.act(*dir_);
    EXPECT_EQ(ChangesBeforeMarker(), s.expected);
  }
}

TEST_F(DirMonitorTest, FolderNamesNeedTheFolderFilter) {
  {
    auto monitor = Watch({nfFILE_NAME, nfDIR_NAME});
    ::mkdir(dir_->file("sub").c_str(), 0755);
    ::rmdir(dir_->file("sub").c_str());
    EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "sub"}, {faREMOVED, "sub"}}));
  }
  {
    // Folders only: a file's creation is not reported (the marker shows it arrived).
    auto monitor = Watch({nfDIR_NAME});
    WriteFile(dir_->file("file"));
    ::mkdir(dir_->file("sub2").c_str(), 0755);
    const std::string marker = "zz-folder-marker";
    ::mkdir(dir_->file(marker).c_str(), 0755);
    ASSERT_TRUE(RunUntil([&] { return Reported({faADDED, marker}); }));
    EXPECT_EQ(changes_, (std::vector<Change>{{faADDED, "sub2"}, {faADDED, marker}}));
  }
}

TEST_F(DirMonitorTest, ActionsOutsideTheActionFilterAreNotReported) {
  auto monitor = Watch();
  monitor->FilterAction = {faREMOVED, faADDED};
  WriteFile(dir_->file("a"));
  ::unlink(dir_->file("a").c_str());
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "a"}, {faREMOVED, "a"}}));
}

TEST_F(DirMonitorTest, SubfoldersAreWatchedOnlyWhenAsked) {
  ::mkdir(dir_->file("old").c_str(), 0755);
  {
    auto monitor = Watch({nfFILE_NAME});
    WriteFile(dir_->file("old/ignored"));
    EXPECT_EQ(ChangesBeforeMarker(), std::vector<Change>{});
  }
  auto monitor = std::make_unique<TDirMonitor>();
  monitor->Directory = dir_->path();
  monitor->WatchSubtree = true;
  monitor->FilterNotification = {nfFILE_NAME, nfDIR_NAME};
  monitor->OnChange = [this](TDirMonitor*, TAction a, const std::string& n) { changes_.push_back({a, n}); };
  monitor->SetActive(true);
  WriteFile(dir_->file("old/a"));
  ::mkdir(dir_->file("new").c_str(), 0755);
  // Files inside a new folder are seen once its creation has been handled.
  ASSERT_TRUE(RunUntil([&] { return Reported({faADDED, "new"}); }));
  WriteFile(dir_->file("new/b"));
  std::rename(dir_->file("new").c_str(), dir_->file("renamed").c_str());
  ASSERT_TRUE(RunUntil([&] { return Reported({faRENAMED_NEW_NAME, "renamed"}); }));
  WriteFile(dir_->file("renamed/c"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "old/a"},
                                                        {faADDED, "new"},
                                                        {faADDED, "new/b"},
                                                        {faRENAMED_OLD_NAME, "new"},
                                                        {faRENAMED_NEW_NAME, "renamed"},
                                                        {faADDED, "renamed/c"}}));
}

TEST_F(DirMonitorTest, FolderThatCannotBeOpenedLeavesItInactive) {
  dir_->write("plain-file", "x");
  TDirMonitor monitor;
  const int fds = OpenFdCount();
  for (const std::string& folder :
       {std::string("c:\\brix"), dir_->file("missing"), dir_->file("plain-file"), std::string()}) {
    SCOPED_TRACE(folder);
    monitor.Directory = folder;
    try {
      monitor.SetActive(true);
      ADD_FAILURE() << "started";
    } catch (const EInvalidOperation& e) {
      EXPECT_STREQ(e.what(), "No se ha encontrado el directorio");
    }
    EXPECT_FALSE(monitor.Active());
    EXPECT_EQ(OpenFdCount(), fds);
  }
  // A later start on a good folder works.
  monitor.Directory = dir_->path();
  monitor.SetActive(true);
  EXPECT_TRUE(monitor.Active());
}

TEST_F(DirMonitorTest, EmptyChangeFilterIsAReadError) {
  TDirMonitor monitor;
  monitor.Directory = dir_->path();
  monitor.FilterNotification = {};
  const int fds = OpenFdCount();
  try {
    monitor.SetActive(true);
    ADD_FAILURE() << "started";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(typeid(e), typeid(std::runtime_error));
    EXPECT_STREQ(e.what(), "Error en \"ReadDirectoryChanges\"");
  }
  EXPECT_FALSE(monitor.Active());
  EXPECT_EQ(OpenFdCount(), fds);
}

TEST_F(DirMonitorTest, StartStopStartWatchesAnewAndLeavesNoDescriptors) {
  auto monitor = Watch();
  const int activeFds = OpenFdCount();
  monitor->SetActive(true);  // already active: nothing happens
  EXPECT_EQ(OpenFdCount(), activeFds);
  WriteFile(dir_->file("one"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "one"}, {faMODIFIED, "one"}}));

  monitor->SetActive(false);
  EXPECT_FALSE(monitor->Active());
  EXPECT_EQ(OpenFdCount(), activeFds - 1);  // the inotify instance is gone
  WriteFile(dir_->file("while-stopped"));
  RunFor(100ms);
  EXPECT_TRUE(changes_.empty());

  monitor->SetActive(true);
  EXPECT_EQ(OpenFdCount(), activeFds);
  WriteFile(dir_->file("two"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "two"}, {faMODIFIED, "two"}}));
  monitor.reset();
  EXPECT_EQ(OpenFdCount(), baseFds_);
}

TEST_F(DirMonitorTest, LoadedStartsWhenActiveWasStored) {
  TDirMonitor monitor;
  monitor.BeginLoading();
  monitor.Directory = dir_->path();
  monitor.SetActive(true);
  EXPECT_FALSE(monitor.Active());
  monitor.OnChange = [this](TDirMonitor*, TAction a, const std::string& n) { changes_.push_back({a, n}); };
  monitor.Loaded();
  EXPECT_TRUE(monitor.Active());
  WriteFile(dir_->file("f"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "f"}}));
}

// Called from the handler of the first change: while a handler runs, the worker waits
// for it, so these changes queue in the kernel and the next batch holds all of them.
void QueueBehindThisBatch(const TempFolder& dir) {
  for (const char* n : {"b1", "b2", "b3"}) WriteFile(dir.file(n));
}

TEST_F(DirMonitorTest, DestroyedByItsOwnHandlerMidBatch) {
  auto monitor = Watch({nfFILE_NAME});
  monitor->OnChange = [&](TDirMonitor*, TAction a, const std::string& n) {
    changes_.push_back({a, n});
    if (n == "first") QueueBehindThisBatch(*dir_);
    if (n == "b1") monitor.reset();
  };
  WriteFile(dir_->file("first"));
  ASSERT_TRUE(RunUntil([&] { return !monitor; }));
  RunFor(100ms);
  EXPECT_EQ(changes_, (std::vector<Change>{{faADDED, "first"}, {faADDED, "b1"}}));
  EXPECT_EQ(OpenFdCount(), baseFds_);
}

TEST_F(DirMonitorTest, StoppedByItsOwnHandlerMidBatchAndStartedAgain) {
  auto monitor = Watch({nfFILE_NAME});
  monitor->OnChange = [&](TDirMonitor* sender, TAction a, const std::string& n) {
    changes_.push_back({a, n});
    if (n == "first") QueueBehindThisBatch(*dir_);
    if (n == "b1") sender->SetActive(false);
  };
  WriteFile(dir_->file("first"));
  ASSERT_TRUE(RunUntil([&] { return !monitor->Active(); }));
  RunFor(100ms);
  EXPECT_EQ(changes_, (std::vector<Change>{{faADDED, "first"}, {faADDED, "b1"}}));

  changes_.clear();
  monitor->OnChange = [this](TDirMonitor*, TAction a, const std::string& n) { changes_.push_back({a, n}); };
  monitor->SetActive(true);
  WriteFile(dir_->file("after"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "after"}}));
}

TEST_F(DirMonitorTest, DestroyedWithABatchWaitingForTheLoop) {
  auto monitor = Watch({nfFILE_NAME});
  WriteFile(dir_->file("pending"));
  std::this_thread::sleep_for(100ms);  // the worker has read it and waits on us
  monitor.reset();
  EXPECT_EQ(OpenFdCount(), baseFds_);
  RunFor(100ms);
  EXPECT_TRUE(changes_.empty());
}

double ProcessCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

TEST_F(DirMonitorTest, WorkerWaitsWithoutSpinningAndEndsFromEveryState) {
  {
    TDirMonitor parked;  // never started
    const double before = ProcessCpuMs();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(ProcessCpuMs() - before, 60.0);
  }
  EXPECT_EQ(OpenFdCount(), baseFds_);
  {
    auto monitor = Watch();
    WriteFile(dir_->file("a"));
    ChangesBeforeMarker();
    const double before = ProcessCpuMs();
    std::this_thread::sleep_for(300ms);  // watching, nothing happens
    EXPECT_LT(ProcessCpuMs() - before, 60.0);
    monitor->SetActive(false);
    const double parkedBefore = ProcessCpuMs();
    std::this_thread::sleep_for(300ms);  // parked after a stop
    EXPECT_LT(ProcessCpuMs() - parkedBefore, 60.0);
  }
  EXPECT_EQ(OpenFdCount(), baseFds_);
}

TEST_F(DirMonitorTest, BurstArrivesCompleteAndInOrderWhileTheHandlerBlocks) {
  constexpr int kFiles = 10000;
  auto name = [](int i) {
    char n[16];
    std::snprintf(n, sizeof n, "b%05d", i);
    return std::string(n);
  };
  auto monitor = Watch({nfFILE_NAME});
  std::atomic<bool> inHandler{false};
  bool overlapped = false;
  monitor->OnChange = [&](TDirMonitor*, TAction a, const std::string& n) {
    overlapped = overlapped || inHandler.exchange(true);
    changes_.push_back({a, n});
    // Like the status watcher's waits: now and then a long one, otherwise a short one.
    if (changes_.size() % 2000 == 0)
      std::this_thread::sleep_for(20ms);
    else
      std::this_thread::sleep_for(50us);
    inHandler = false;
  };
  std::thread writer([&] {
    for (int i = 0; i < kFiles; ++i) WriteFile(dir_->file(name(i)));
  });
  const bool complete = RunUntil([&] { return changes_.size() >= kFiles; }, 120s);
  writer.join();
  ASSERT_TRUE(complete) << changes_.size() << " of " << kFiles;
  RunFor(100ms);
  ASSERT_EQ(changes_.size(), static_cast<std::size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) ASSERT_EQ(changes_[i], (Change{faADDED, name(i)})) << "at " << i;
  EXPECT_FALSE(overlapped);
}

TEST_F(DirMonitorTest, OverflowedBatchReportsNothingAndWatchingGoesOn) {
  int maxQueued = 0;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> maxQueued;
  ASSERT_GT(maxQueued, 0);
  ASSERT_LT(maxQueued, 200000) << "queue too long to overflow in a test";
  // Records of 48 bytes: 85 fit one read. Unless the queue length divides evenly, the
  // batch that ends with the overflow record also holds ordinary records.
  ASSERT_NE(maxQueued % 85, 0);
  auto name = [](int i) {
    char n[32];
    std::snprintf(n, sizeof n, "overflow-%08d", i);  // 17 bytes
    return std::string(n);
  };
  auto monitor = Watch({nfFILE_NAME});
  const int total = maxQueued + 500;
  bool flooded = false;
  monitor->OnChange = [&](TDirMonitor*, TAction a, const std::string& n) {
    changes_.push_back({a, n});
    // The first batch holds only the first file; the rest overflows the kernel's queue
    // while the worker waits for this handler.
    if (!std::exchange(flooded, true))
      for (int i = 1; i < total; ++i) WriteFile(dir_->file(name(i)));
  };
  WriteFile(dir_->file(name(0)));

  std::size_t seen = 0;
  auto quiet = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunUntil(
      [&] {
        if (changes_.size() != seen) {
          seen = changes_.size();
          quiet = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - quiet > 500ms;
      },
      120s));
  // Everything before the overflowed batch, in order; that batch's own records are lost
  // with it, so fewer arrive than the queue held.
  ASSERT_GT(changes_.size(), 1u);
  EXPECT_LT(changes_.size(), static_cast<std::size_t>(1 + maxQueued));
  for (std::size_t i = 0; i < changes_.size(); ++i)
    ASSERT_EQ(changes_[i], (Change{faADDED, name(static_cast<int>(i))})) << "at " << i;

  changes_.clear();
  WriteFile(dir_->file("after-overflow"));
  EXPECT_EQ(ChangesBeforeMarker(), (std::vector<Change>{{faADDED, "after-overflow"}}));
}

}  // namespace
