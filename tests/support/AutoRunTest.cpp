#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "ChildProcesses.h"
#include "TempFolder.h"
#include "support/AutoRun.h"
#include "support/FileUtils.h"

using namespace brix32;
using corvantest::TempFolder;
namespace fs = std::filesystem;

namespace {

class SetAutoRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("XDG_CONFIG_DIRS")) saved = v;
    fs::create_directory(dir.file("first"));
    fs::create_directory(dir.file("second"));
    fs::create_directory(dir.file("second/autostart"));
    setDirs(dir.file("first") + ":" + dir.file("second"));
  }
  void TearDown() override {
    if (saved)
      ::setenv("XDG_CONFIG_DIRS", saved->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_DIRS");
  }
  static void setDirs(const std::string& v) { ::setenv("XDG_CONFIG_DIRS", v.c_str(), 1); }
  std::vector<std::string> entries(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.file(folder))) names.push_back(e.path().filename());
    return names;
  }

  TempFolder dir;
  std::optional<std::string> saved;
};

}  // namespace

TEST_F(SetAutoRunTest, TheAutostartFolderIsUnderTheFirstAbsoluteConfigFolder) {
  struct Case {
    const char* dirs;  // nullptr: unset
    const char* folder;
  } cases[] = {
      {nullptr, "/etc/xdg/autostart/"},
      {"", "/etc/xdg/autostart/"},
      {"/a:/b", "/a/autostart/"},
      {"/a/:/b", "/a/autostart/"},
      {"relative:/b", "/b/autostart/"},
      {"::/c//", "/c/autostart/"},
      {"/", "/autostart/"},
      {"relative", "/etc/xdg/autostart/"},
  };
  for (const Case& c : cases) {
    if (c.dirs)
      setDirs(c.dirs);
    else
      ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(AutostartFolder(), c.folder) << (c.dirs ? c.dirs : "(unset)");
  }
}

TEST_F(SetAutoRunTest, WritesTheEntryAndRewritesItEachTime) {
  fs::create_directory(dir.file("first/autostart"));
  SetAutoRun("CorvanControl", "\"/opt/corvan/CorvanControl\"");
  EXPECT_EQ(dir.read("first/autostart/CorvanControl.desktop"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=CorvanControl\n"
            "Exec=\"/opt/corvan/CorvanControl\"\n"
            "Terminal=false\n");
  SetAutoRun("CorvanControl", "/srv/corvan two/CorvanControl");  // unquoted is taken whole
  EXPECT_EQ(dir.read("first/autostart/CorvanControl.desktop"),
            "[Desktop Entry]\nType=Application\nName=CorvanControl\n"
            "Exec=\"/srv/corvan two/CorvanControl\"\nTerminal=false\n");
  EXPECT_EQ(entries("first/autostart"), std::vector<std::string>{"CorvanControl.desktop"});
  EXPECT_TRUE(entries("second/autostart").empty()) << "only the first folder is used";
}

// The package ships the log-on entry; the panel must leave it (and what an administrator
// changed in it) alone, and still replace an entry that starts another file.
TEST_F(SetAutoRunTest, AnEntryThatAlreadyStartsTheProgramIsLeftAsItIs) {
  fs::create_directory(dir.file("first/autostart"));
  const std::string shipped = FileToBin(CORVAN_SHIPPED_AUTOSTART_ENTRY);
  ASSERT_NE(shipped, "");
  const std::string switchedOff = shipped + "Hidden=true\n";
  for (const std::string& entry : {shipped, switchedOff}) {
    dir.write("first/autostart/CorvanControl.desktop", entry);
    SetAutoRun("CorvanControl", "\"/opt/corvan/corvancontrol\"");
    EXPECT_EQ(dir.read("first/autostart/CorvanControl.desktop"), entry);
  }
  SetAutoRun("CorvanControl", "\"/srv/corvan/corvancontrol\"");
  EXPECT_EQ(dir.read("first/autostart/CorvanControl.desktop"),
            AutostartEntry("CorvanControl", "/srv/corvan/corvancontrol"));
}

TEST_F(SetAutoRunTest, OddCharactersInThePathCannotAddKeysOrCommands) {
  fs::create_directory(dir.file("first/autostart"));
  SetAutoRun("CorvanControl", "\"/opt/a \"b\" $HOME `x` \\ 50%\nKey=evil\"");
  EXPECT_EQ(dir.read("first/autostart/CorvanControl.desktop"),
            "[Desktop Entry]\nType=Application\nName=CorvanControl\n"
            R"(Exec="/opt/a \\"b\\" \\$HOME \\`x\\` \\\\ 50%%\nKey=evil")"
            "\nTerminal=false\n");
}

TEST_F(SetAutoRunTest, NothingIsWrittenWithoutAUsableFolderOrName) {
  SetAutoRun("CorvanControl", "\"/opt/corvan/CorvanControl\"");  // first/autostart is missing
  EXPECT_FALSE(dir.exists("first/autostart")) << "the folder is never created";
  EXPECT_TRUE(entries("second/autostart").empty());

  fs::create_directory(dir.file("first/autostart"));
  for (const char* bad : {"", ".", "..", "../escape", "a/b"}) SetAutoRun(bad, "/x");
  EXPECT_TRUE(entries("first/autostart").empty());
  EXPECT_TRUE(entries("first").size() == 1) << "nothing written beside the folder either";
}

TEST_F(SetAutoRunTest, AFolderWeMayNotWriteToIsLeftAlone) {
  fs::create_directory(dir.file("first/autostart"));
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(dir.file("first"), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(dir.file("first/autostart"), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(corvantest::RunAsNobody([] {
              SetAutoRun("CorvanControl", "/opt/corvan/CorvanControl");
              return 0;
            }),
            0);
  EXPECT_TRUE(entries("first/autostart").empty());
}
