#include <gtest/gtest.h>
#include <sys/inotify.h>

#include "components/InotifyMapping.h"

using namespace components;

namespace {

// Decisions the real-folder tests cannot reach: events inotify sends because sub-folders
// must be followed, but that the filter did not ask for.
TEST(MapInotifyEvent, ReportsOnlyWhatTheFilterAskedFor) {
  const TFilter files{nfFILE_NAME};
  const TFilter folders{nfDIR_NAME};
  const TFilter both{nfFILE_NAME, nfDIR_NAME};
  const TFilter writes{nfLAST_WRITE};
  const TFilter attributes{nfATTRIBUTES};
  struct Row {
    std::uint32_t mask;
    TFilter filter;
    std::optional<TAction> expected;
  } rows[] = {
      {IN_CREATE, files, faADDED},
      {IN_DELETE, files, faREMOVED},
      {IN_MOVED_FROM, files, faRENAMED_OLD_NAME},
      {IN_MOVED_TO, files, faRENAMED_NEW_NAME},
      {IN_CREATE | IN_ISDIR, files, std::nullopt},
      {IN_CREATE | IN_ISDIR, both, faADDED},
      {IN_MOVED_TO | IN_ISDIR, folders, faRENAMED_NEW_NAME},
      {IN_CREATE, folders, std::nullopt},
      {IN_CREATE, writes, std::nullopt},
      {IN_CLOSE_WRITE, writes, faMODIFIED},
      {IN_CLOSE_WRITE, files, std::nullopt},
      {IN_MODIFY, TFilter{nfSIZE}, faMODIFIED},
      {IN_ATTRIB, TFilter{nfSECURITY}, faMODIFIED},
      // Folders are dropped only when files are asked for without folders.
      {IN_ATTRIB | IN_ISDIR, attributes, faMODIFIED},
      {IN_ATTRIB | IN_ISDIR, TFilter{nfFILE_NAME, nfATTRIBUTES}, std::nullopt},
      {IN_Q_OVERFLOW, both, std::nullopt},
      {IN_IGNORED, both, std::nullopt},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.mask);
    EXPECT_EQ(MapInotifyEvent(r.mask, r.filter), r.expected);
  }
}

TEST(InotifyMask, AsksForNothingBeyondTheFilter) {
  EXPECT_EQ(InotifyMask({}), 0u);
  EXPECT_EQ(InotifyMask({nfFILE_NAME}), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
  EXPECT_EQ(InotifyMask({nfFILE_NAME, nfLAST_WRITE, nfCREATION}),
            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB);
}

}  // namespace
