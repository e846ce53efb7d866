#include "ctl/CtlArgs.h"

#include <algorithm>

namespace corvanctl {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

bool LooksLikeOption(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  return !(arg[1] >= '0' && arg[1] <= '9');
}

}  // namespace

const std::vector<tCommandSpec>& Commands() {
  static const std::vector<tCommandSpec> commands = {
      {"status",
       {},
       {"--json"},
       "Usage: corvanctl [--folder DIR] status [--json]\n"
       "The service status as the control panel shows it: the status line and its\n"
       "explanation, the running service processes, whether printing is ready, the going\n"
       "count of the last TCP heartbeat, the control and service versions, the host the\n"
       "service uses and the link to the main unit's callout report. One Name=value a\n"
       "line, or one JSON object with --json (values not known are empty, or null).\n"},
      {"watch",
       {},
       {"--json"},
       "Usage: corvanctl [--folder DIR] watch [--json]\n"
       "Follows the program folder and prints one line per service event the control\n"
       "panel reacts to, each beginning with the date and time: the heartbeats with their\n"
       "text (Heartbeat=, then GoingCount= when a TCP heartbeat reports one), the service's\n"
       "messages with the status decided after them (Message=, StatusText=), and changes\n"
       "of the settings file (WWWHostActive=). Runs until interrupted (Ctrl-C, SIGTERM).\n"
       "With --json, one JSON object a line for each event (JSON Lines), with Time (ISO\n"
       "8601, milliseconds and offset) and Event: Heartbeat (Feed vendor, serial or udp,\n"
       "Text, GoingCount or null), Message (Text, StatusText, HintText, PrintingReady,\n"
       "Alarm), Settings (WWWHostActive) and Repeated (Count, Of, and what was repeated).\n"},
      {"settings",
       {},
       {},
       "Usage: corvanctl [--folder DIR] settings\n"
       "       corvanctl [--folder DIR] settings set NAME VALUE [NAME VALUE...]\n"
       "Without arguments, prints every setting of the settings file as Name=value.\n"
       "With set, loads the file, changes the named settings and saves it, as the setup\n"
       "dialogs do: MainUnit is upper-cased; an empty ProcessVEKUnits falls back to the\n"
       "main unit; UDPListenPort is 15167 (listen) or 0 (do not bind); True/False\n"
       "settings take True or False; EnablePrinting cannot be changed while the service\n"
       "reports it Disabled (no default printer); ProcessTarnexTCPFeed is False while\n"
       "SerialComms is set. WWWHostActive (the service's) and GUID are not written.\n"},
      {"parse",
       {"--units", "--suburbs", "--tasktypes"},
       {},
       "Usage: corvanctl [--folder DIR] parse [--units FILE] [--suburbs FILE]\n"
       "                 [--tasktypes FILE] TEXT | -\n"
       "Parses one page (TEXT, or standard input with -) into a task and prints every\n"
       "field of the page, the report and the result, then TaskFileName= the proposed\n"
       "task file name. The units come from --units FILE, else from VEKUnits.xml in the\n"
       "program folder when it exists; --suburbs and --tasktypes name plain text files\n"
       "with one name a line (without them both lists are empty, as in the panel). A VEK\n"
       "page naming no known suburb is copied to U!...TXT in the folder and reported by\n"
       "syslog, as the parser always does.\n"},
      {"units",
       {},
       {},
       "Usage: corvanctl [--folder DIR] units [FILE]\n"
       "       corvanctl [--folder DIR] units fetch\n"
       "Loads the units file (VEKUnits.xml in the program folder unless FILE is given) and\n"
       "lists every unit's fields as gVEKUnits[i].Field=value, then the loader's result.\n"
       "With fetch, asks the vendor's web host (WWWHost, TCP 15170) for VEKUnits.xml and\n"
       "stores it in the program folder, then prints the fetch's result (RC.AsInt=,\n"
       "RC.AsStr=). The file is replaced only by a whole answer: a host that stops or\n"
       "goes quiet half-way (30 s without a line, 60 s in all) leaves it as it was. Exits\n"
       "1 when nothing was stored. A units file named fetch is loaded as ./fetch.\n"},
      {"versions",
       {},
       {},
       "Usage: corvanctl [--folder DIR] versions\n"
       "The versions report of the About command: the installed control panel, service and\n"
       "SheetPress versions against those published on the vendor's web host (WWWHost).\n"},
      {"broadcast-test",
       {},
       {},
       "Usage: corvanctl [--folder DIR] broadcast-test\n"
       "Broadcasts the test page of DummyPage.txt (created with its default text when\n"
       "missing) on UDP 15167 and 15171, as the advanced setup dialog's button does, and\n"
       "prints the same message. Does not ask first: running the command is the yes.\n"},
      {"diag",
       {"--output", "--max-size"},
       {"--with-tasks"},
       "Usage: corvanctl [--folder DIR] diag [--output FILE] [--max-size MB] [--with-tasks]\n"
       "Writes a support bundle, a .tar.gz archive, for whoever helps with the station:\n"
       "the settings file with its GUID replaced, the event logs and exception reports of\n"
       "the last 7 days, the panel's own settings file, the status (in JSON), the versions\n"
       "report, the check and metrics reports, a listing of the program folder, the\n"
       "service and panel processes, the OS, kernel, libraries and free space\n"
       "(contents.txt in it says what is in and what was left out, and why).\n"
       "Task files, pages (U!*.TXT, the heartbeats) and PDFs hold incident details and are\n"
       "left out unless --with-tasks is given. Links are never followed. At most MB\n"
       "megabytes (64 unless given, 1 to 1024) of files go in before compression: a log\n"
       "gives its last 8 MB at most, and what does not fit is left out and said. The file\n"
       "is corvan-diag-HOST-DATE-TIME.tar.gz in the current folder unless --output names\n"
       "another (- for standard output); it is readable by its owner only and appears only\n"
       "when complete. Prints Bundle= (its name), Bytes=, Included= and LeftOut=.\n"},
      {"phone-home",
       {},
       {},
       "Usage: corvanctl [--folder DIR] phone-home\n"
       "Sends the phone-home report with a test event to WWWHost on UDP 15171, as the\n"
       "advanced setup dialog's button does, and prints the same message.\n"},
      {"check",
       {"--warning-age", "--critical-age"},
       {},
       "Usage: corvanctl [--folder DIR] check [--warning-age SECONDS] [--critical-age SECONDS]\n"
       "A check for monitoring systems (Nagios, Icinga, Naemon, Zabbix and Checkmk agents):\n"
       "one line 'CORVAN OK|WARNING|CRITICAL|UNKNOWN - summary | perfdata' and the exit\n"
       "status 0, 1, 2 or 3. CRITICAL: the service is missing or not running, or an\n"
       "expected feed has had no data for longer than the critical age; WARNING: printing\n"
       "is disabled or not ready, or a feed is past the warning age; UNKNOWN: the folder or\n"
       "its settings cannot be read, or the command line is wrong. The ages default to the\n"
       "control panel's feed limits (CorvanControl-Panel.ini; critical: the limit, warning:\n"
       "half of it); --warning-age and --critical-age set them in seconds for every feed\n"
       "(0: off). Performance data: each expected feed's age with its limits\n"
       "(vendor_feed_age, serial_feed_age, udp_feed_age), processes, going.\n"},
      {"metrics",
       {"--output"},
       {},
       "Usage: corvanctl [--folder DIR] metrics [--output FILE]\n"
       "The station in the Prometheus text format: service installed and up, processes,\n"
       "printing enabled and ready, each expected feed's last-data time, age and limit,\n"
       "going RFAs, task sheet, debug and exception report file counts, and the versions\n"
       "(corvan_build_info). With --output the text replaces FILE at once (a temporary file\n"
       "beside it, then a rename), for the node exporter's textfile collector.\n"},
  };
  return commands;
}

const tCommandSpec* FindCommand(const std::string& Name) {
  for (const tCommandSpec& command : Commands())
    if (Name == command.Name) return &command;
  return nullptr;
}

std::string GeneralHelp() {
  return "Usage: corvanctl [--folder DIR] COMMAND [ARGS...]\n"
         "The control panel's functions from a terminal, on the program folder shared with\n"
         "the Corvan service: --folder DIR, else $CORVAN_FOLDER, else the folder of this\n"
         "program's own file with links resolved (/opt/corvan for /usr/bin/corvanctl).\n"
         "\n"
         "Commands:\n"
         "  status [--json]               service status, going count, versions, host, link\n"
         "  watch [--json]                print the service's events until interrupted\n"
         "  settings                      print every setting as Name=value\n"
         "  settings set NAME VALUE...    change settings and save the settings file\n"
         "  parse [--units FILE] [--suburbs FILE] [--tasktypes FILE] TEXT | -\n"
         "                                parse one page and print the task's fields\n"
         "  units [FILE]                  load the units file and list the units\n"
         "  units fetch                   fetch VEKUnits.xml from the vendor's host\n"
         "  versions                      installed against published versions\n"
         "  broadcast-test                broadcast the test page of DummyPage.txt\n"
         "  phone-home                    send the phone-home report with a test event\n"
         "  check [--warning-age SECONDS] [--critical-age SECONDS]\n"
         "                                a monitoring-plugin check (exit 0 to 3)\n"
         "  metrics [--output FILE]       the station in the Prometheus text format\n"
         "  diag [--output FILE] [--max-size MB] [--with-tasks]\n"
         "                                write a support bundle (.tar.gz)\n"
         "\n"
         "Options:\n"
         "  --folder DIR   the program folder, instead of $CORVAN_FOLDER or corvanctl's own\n"
         "  -h, --help     this text; with a command, the command's help\n"
         "\n"
         "Values are written one a line; a backslash, CR, LF, TAB and other control\n"
         "characters in a value are written \\\\, \\r, \\n, \\t and \\xNN.\n"
         "Exit status: 0 success, 1 failure, 2 usage error. Nothing is ever asked.\n"
         "check exits 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN, as monitoring plugins do.\n";
}

tArgs ParseArgs(const std::vector<std::string>& Args) {
  tArgs args;
  const tCommandSpec* command = nullptr;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (optionsEnded || !LooksLikeOption(arg)) {
      if (args.Command.empty() && !optionsEnded) {
        command = FindCommand(arg);
        if (!command) throw EUsage("unknown command '" + arg + "'");
        args.Command = arg;
      } else {
        if (!command) throw EUsage("no command given before '" + arg + "'");
        args.Positional.push_back(arg);
      }
      continue;
    }
    if (arg == "--") {
      if (!command) throw EUsage("no command given before '--'");
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      args.Help = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const bool takesValue = name == "--folder" || (command && Contains(command->ValueOptions, name));
    if (takesValue) {
      std::string value;
      if (hasValue) {
        value = arg.substr(equals + 1);
      } else {
        if (i + 1 >= Args.size()) throw EUsage("option " + name + " needs a value");
        value = Args[++i];
      }
      if (name == "--folder") {
        if (value.empty()) throw EUsage("--folder needs a folder");
        args.Folder = value;
      } else {
        args.Options[name] = value;
      }
      continue;
    }
    if (command && Contains(command->Flags, name) && !hasValue) {
      args.Flags.insert(name);
      continue;
    }
    throw EUsage("unknown option '" + arg + "'" + (command ? " for " + std::string(command->Name) : std::string()));
  }
  return args;
}

}  // namespace corvanctl
