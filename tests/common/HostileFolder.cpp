#include "HostileFolder.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace corvantest {

std::vector<tFolderFile> FolderFiles(brix32::TDateTime Now, const std::string& SelfName) {
  const std::string day = brix32::FormatDateTime("yyyymmdd", Now);
  return {
      {"CorvanSrvc-Settings.xml", "settings file"},
      {"CorvanSrvc-Settings.xml.LEFT01", "leftover settings temporary"},
      {"VEKUnits.xml", "units file"},
      {"CorvanControl-Panel.ini", "panel settings"},
      {"CORVANSRVC-EventLog-" + brix32::FormatDateTime("ddd", Now) + ".txt", "event log"},
      {"U!" + day + "-INC9000.TXT", "unknown-suburb copy"},
      {"TASK-" + day + "-S9000.TXT", "task file"},
      {"E!" + SelfName + "-" + brix32::FormatDateTime("yyyymmddhhnnsszzz", Now) + ".XML", "exception report"},
      {"DummyPage.txt", "dummy page"},
      {"CORVANSRVC-TARNEX-HEARTBEAT.TXT", "TCP heartbeat"},
      {"CORVANSRVC-SERIAL-HEARTBEAT.TXT", "serial heartbeat"},
      {"CORVANSRVC-UDPLISTEN-HEARTBEAT.TXT", "UDP heartbeat"},
      {"CORVANSRVC-MSG.TXT", "message"},
      {"CorvanSrvc-Status.txt", "status"},
      {"CorvanSrvc-Version.txt", "service version"},
      {"SheetPress-Version.txt", "SheetPress version"},
      {"CORVANSRVC-GOING.JPG", "going picture"},
      {"CORVANSRVC-DATASOURCE-" + day + ".jpg", "data-source picture"},
      {"corvansrvc.exe", "service program"},
      {"SheetPress.exe", "SheetPress program"},
      {"corvancontrol", "panel program"},
  };
}

std::vector<tHostileRow> HostileRows(const std::vector<tFolderFile>& Files) {
  std::vector<tHostileRow> rows;
  for (std::size_t file = 0; file < Files.size(); ++file)
    for (const tPlanted kind : kEveryPlanted) rows.push_back({file, Files[file].What, kind});
  return rows;
}

void PrintTo(const tHostileRow& Row, std::ostream* Out) { *Out << Row.What << " as a " << PlantedName(Row.Kind); }

std::string HostileRowName(const ::testing::TestParamInfo<tHostileRow>& Info) {
  std::string name = Info.param.What + " as a " + PlantedName(Info.param.Kind);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

std::string NameOf(const std::vector<tFolderFile>& Files, const std::string& What) {
  for (const tFolderFile& file : Files)
    if (What == file.What) return file.Name;
  throw std::invalid_argument("no " + What + " in the table");
}

std::string TestPageText(brix32::TDateTime Now) {
  return "TEST PAGE INC:S9000 " + brix32::FormatDateTime("dd/mm/yy hh:nn", Now) +
         " RESPOND TREE DOWN P2 3 NORTH ESP GLENELG NORTH MAP:ADL 128 D15, TEST ONLY. PLEASE IGNORE STT20";
}

void WriteServiceFiles(const TempFolder& Folder) {
  Folder.write("VEKUnits.xml",
               "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<VEKUnits>\r\n <VEKUnit>\r\n"
               "  <UnitCode>STT</UnitCode>\r\n  <UnitName>Sturt Test Unit</UnitName>\r\n </VEKUnit>\r\n"
               "</VEKUnits>\r\n");
  Folder.write("CorvanControl-Panel.ini", "[FeedWatchdog]\r\nVendorFeedMinutes=7\r\n");
  Folder.write("CorvanSrvc-Version.txt", "3.1.0.12");
  Folder.write("SheetPress-Version.txt", "2.0.0.7");
  Folder.write("CorvanSrvc-Status.txt", "Service status: waiting for pages");
  Folder.write("CORVANSRVC-MSG.TXT", "CorvanSrvc connected.");
  Folder.write("CORVANSRVC-TARNEX-HEARTBEAT.TXT", "INFO:V=3.1.0.12 G=2 ");
}

namespace {

// Every entry with its kind, size, mode, time and (for a small regular file) content.
std::string Describe(const std::string& Folder) {
  std::string text;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(Folder, ec)) {
    struct stat st {};
    const std::string path = entry.path().string();
    if (::lstat(path.c_str(), &st) != 0) continue;
    text += entry.path().filename().string() + " mode " + std::to_string(st.st_mode) + " size " +
            std::to_string(st.st_size) + " time " + std::to_string(st.st_mtim.tv_sec) + "." +
            std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode) && st.st_size < 4096) {
      std::ifstream in(path, std::ios::binary);
      text += " content " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    text += "\n";
  }
  return text;
}

}  // namespace

OutsideFolder::OutsideFolder() {
  folder_.write("secret", kSecret);
  snapshot_ = Describe(folder_.path());
}

std::string OutsideFolder::Target(tPlanted Kind) const {
  switch (Kind) {
    case tPlanted::LinkOut:
      return folder_.file("secret");
    case tPlanted::DanglingLink:
      return folder_.file("none");
    default:
      return {};
  }
}

void OutsideFolder::PlantAt(tPlanted Kind, const std::string& Path) const { Plant(Kind, Path, Target(Kind)); }

std::string OutsideFolder::Changes() const {
  const std::string now = Describe(folder_.path());
  return now == snapshot_ ? std::string() : "outside the folder, before:\n" + snapshot_ + "after:\n" + now;
}

void ExpectSettingsFileKept(const std::string& Name, tPlanted Kind, const std::string& Path, const struct stat& Planted,
                            const std::string& Where) {
  if (Name != "CorvanSrvc-Settings.xml" || Kind == tPlanted::LinkOut) return;
  struct stat now {};
  ASSERT_EQ(::lstat(Path.c_str(), &now), 0) << Where;
  EXPECT_EQ(now.st_mode, Planted.st_mode) << Where;
  EXPECT_EQ(now.st_size, Planted.st_size) << Where;
}

}  // namespace corvantest
