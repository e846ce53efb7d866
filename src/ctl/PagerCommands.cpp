// parse and units: the page parser and the units directory on their own.
#include <sys/stat.h>

#include <istream>
#include <iterator>
#include <ostream>

#include "ctl/Commands.h"
#include "ctl/CtlOutput.h"
#include "pager/PageParser.h"
#include "pager/ReportParser.h"
#include "pager/TarnexFetch.h"
#include "pager/VEKUnits.h"
#include "settings/CorvanSettings.h"
#include "status/ServiceState.h"
#include "support/Counterparts.h"

namespace corvanctl {

using namespace Counterparts;

namespace {

void RC(tRecordOutput& Out, const std::string& Prefix, const VEKLib::tRC& Value) {
  Out.Number(Prefix + "RC.AsInt", Value.AsInt);
  Out.Text(Prefix + "RC.AsStr", Value.AsStr);
}

void Page(tRecordOutput& Out, const VEKLib::tZIRPageRec& p) {
  const std::string n = "ZIRPage.";
  Out.Number(n + "ID", p.ID);
  Out.Number(n + "CapCode", p.CapCode);
  Out.Text(n + "DateTime", DateTimeText(p.DateTime));
  Out.Text(n + "Comment", p.Comment);
  Out.Text(n + "MapRef", p.MapRef);
  Out.Number(n + "MFSIncNo", p.MFSIncNo);
  Out.Number(n + "Priority", p.Priority);
  Out.Text(n + "RawText", p.RawText);
  Out.Flag(n + "VEK", p.VEK);
  Out.Text(n + "VEKUnit", p.VEKUnit);
  Out.Text(n + "Street", p.Street);
  Out.Text(n + "Suburb", p.Suburb);
  Out.Text(n + "TaskType", p.TaskType);
  RC(Out, n, p.RC);
}

void Report(tRecordOutput& Out, const VEKLib::tReportRec& r) {
  const std::string n = "Report.";
  Out.Number(n + "ID", r.ID);
  RC(Out, n, r.RC);
  Out.Number(n + "AirPressure", r.AirPressure);
  Out.Text(n + "AttachedVEKUnits", r.AttachedVEKUnits);
  Out.Text(n + "Council", r.Council);
  Out.Text(n + "LAT", FloatText(r.LAT));
  Out.Text(n + "LNG", FloatText(r.LNG));
  Out.Flag(n + "MFSCleared", r.MFSCleared);
  Out.Number(n + "PCode", r.PCode);
  Out.Text(n + "Temp", FloatText(r.Temp));
  Out.Text(n + "WeatherDesc", r.WeatherDesc);
  Out.Text(n + "WeatherLocation", r.WeatherLocation);
  Out.Text(n + "WindSpeed", FloatText(r.WindSpeed));
  Out.Text(n + "WindDirection", r.WindDirection);
  Out.Text(n + "ZoneName", r.ZoneName);
  Out.Text(n + "DutyOfficerInitials", r.DutyOfficerInitials);
}

// A list file named on the command line: missing or unreadable is a failure, not an
// empty list that would quietly change the parse.
void Require(const VEKLib::tRC& Result, const std::string& What) {
  if (Result.AsInt < 0) throw EFailure("cannot load the " + What + ": " + Result.AsStr);
}

// The units file as the panel loads it at start-up: only when it exists, so that the
// loader never turns to the vendor's host for it.
VEKLib::tRC LoadUnits(const std::string& FileName) {
  if (!MainForm::FileExists(FileName)) throw EFailure(FileName + " does not exist.");
  return VEKLib::LoadVEKUnitsArrayFromXML(FileName);
}

// What tells a file replaced by a rename from the one that was there: a new file always
// comes with a new inode, and an unchanged one keeps its inode, size and time.
struct tFileIdentity {
  bool Exists = false;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};

  bool operator==(const tFileIdentity& o) const {
    return Exists == o.Exists && Device == o.Device && Inode == o.Inode && Size == o.Size &&
           Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
  }
};

tFileIdentity IdentityOf(const std::string& FileName) {
  struct stat st {};
  if (::lstat(FileName.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

// The units file from the vendor's host over the file exchange. The library stores it
// through a temporary file and a rename, and only once the answer ran to its end: a host
// that stops half-way leaves the file that was there as it was.
int UnitsFetch(tContext& Ctx) {
  LoadSettings(Ctx, std::string("corvanctl.UnitsFetch:") + "100");
  const std::string file = Ctx.Folder + std::string(kUnitsFileName);
  const tFileIdentity before = IdentityOf(file);
  const VEKLib::tRC result =
      VEKLib::GetFileFromTarnex(std::string(kUnitsFileName), std::string("corvanctl.UnitsFetch:") + "200");
  tRecordOutput out;
  RC(out, "", result);
  out.WriteLines(Ctx.Out);
  if (result.AsInt != 0) return kExitFailure;
  // "OK" only says that the exchange ran to its end; a host that does not have the file
  // answers without one, and then nothing was written.
  const tFileIdentity after = IdentityOf(file);
  if (after == before) {
    Ctx.Err << "corvanctl: " << Lib::gVEKSettings.WWWHost << " sent no " << kUnitsFileName
            << "; the file was not written\n";
    return kExitFailure;
  }
  Ctx.Err << "corvanctl: " << file << " written (" << after.Size << " bytes)\n";
  return kExitOK;
}

}  // namespace

int ParseCommand(tContext& Ctx) {
  const tArgs& args = Ctx.Args;
  if (args.Positional.size() != 1)
    throw EUsage(args.Positional.empty() ? "parse needs the page text, or - to read it"
                                         : "parse takes one page text (quote it)");
  std::string text = args.Positional.front();
  if (text == "-") text.assign(std::istreambuf_iterator<char>(Ctx.In), std::istreambuf_iterator<char>());

  if (const auto units = args.Options.find("--units"); units != args.Options.end())
    Require(LoadUnits(units->second), "units");
  else if (MainForm::ServiceFileExists(Ctx.Folder, kUnitsFileName))
    Require(LoadUnits(MainForm::ServiceFile(Ctx.Folder, kUnitsFileName)), "units");
  if (const auto suburbs = args.Options.find("--suburbs"); suburbs != args.Options.end())
    Require(VEKLib::LoadSuburbsFromTextFile(suburbs->second), "suburbs");
  if (const auto types = args.Options.find("--tasktypes"); types != args.Options.end())
    Require(VEKLib::LoadTaskTypesFromTextFile(types->second), "task types");

  const VEKLib::tTaskRec task = VEKLib::ParseRawTextToTask(text, std::string("corvanctl.Parse:") + "100");
  tRecordOutput out;
  out.Number("ID", task.ID);
  Page(out, task.ZIRPage);
  Report(out, task.Report);
  RC(out, "", task.RC);
  // The name the task entry proposes for the task file.
  out.Text("TaskFileName", VEKLib::TaskFileName(task, "TXT", false));
  out.WriteLines(Ctx.Out);
  return kExitOK;
}

int UnitsCommand(tContext& Ctx) {
  const tArgs& args = Ctx.Args;
  if (!args.Positional.empty() && args.Positional.front() == "fetch") {
    if (args.Positional.size() > 1) throw EUsage("units fetch takes no arguments");
    return UnitsFetch(Ctx);
  }
  if (args.Positional.size() > 1) throw EUsage("units takes at most one file name");
  const std::string file =
      args.Positional.empty() ? MainForm::ServiceFile(Ctx.Folder, kUnitsFileName) : args.Positional.front();
  const VEKLib::tRC result = LoadUnits(file);
  // Written unit by unit: the lines of a million units would take gigabytes held at once.
  for (std::size_t i = 0; i < VEKLib::gVEKUnits.size(); ++i) {
    const VEKLib::tVEKUnitRec u = VEKLib::gVEKUnits[i];
    const std::string n = "gVEKUnits[" + std::to_string(i) + "].";
    tRecordOutput out;
    out.Text(n + "UnitCode", u.UnitCode);
    out.Text(n + "UnitName", u.UnitName);
    out.Text(n + "District", u.District);
    out.Text(n + "Region", u.Region);
    out.Number(n + "UnitManagerID", u.UnitManagerID);
    out.Text(n + "DOPhoneNo", u.DOPhoneNo);
    out.Text(n + "TalkGroup", u.TalkGroup);
    out.Text(n + "AddressLine1", u.AddressLine1);
    out.Text(n + "AddressLine2", u.AddressLine2);
    out.Text(n + "Suburb", u.Suburb);
    out.Number(n + "PCode", u.PCode);
    out.Number(n + "OfficerPagerGroup", u.OfficerPagerGroup);
    out.Number(n + "AllPagerGroup", u.AllPagerGroup);
    out.Number(n + "ZIRSamplePeriod", u.ZIRSamplePeriod);
    out.Text(n + "Geometry.lat", FloatText(u.Geometry.lat));
    out.Text(n + "Geometry.lng", FloatText(u.Geometry.lng));
    out.WriteLines(Ctx.Out);
  }
  tRecordOutput out;
  RC(out, "", result);
  out.WriteLines(Ctx.Out);
  return result.AsInt < 0 ? kExitFailure : kExitOK;
}

}  // namespace corvanctl
