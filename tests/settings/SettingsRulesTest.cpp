// The line rules of the settings reader and the texts of the writer, on text in memory.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ProcessState.h"
#include "SettingsTestSupport.h"
#include "TempFolder.h"
#include "settings/StorableSettings.h"

using settingstest::Field;

namespace {

class SettingsRulesTest : public ::testing::Test {
 protected:
  corvantest::ProcessStateGuard processState;
};

std::string Lines(std::initializer_list<const char*> lines) {
  std::string s;
  for (const char* l : lines) s += std::string(l) + "\r\n";
  return s;
}

// One real block of the written file: the example element inside the comment says True.
const std::string kTcpFeedBlock = Lines({
    "  <!--",
    "    Enabling <ProcessTarnexTCPFeed> sets the CorvanSrvc to processes the VEK ",
    "    Set the TarnexFeed link parameters:-",
    "    <ProcessTarnexTCPFeed>True</ProcessTarnexTCPFeed>",
    "    <WWWHost>www.tarnex.example</WWWHost>",
    "    <URI>/other/path.dll</URI>",
    "  -->",
});

struct Case {
  const char* name;
  std::string text;
  std::vector<std::pair<const char*, std::string>> expected;
};

}  // namespace

TEST_F(SettingsRulesTest, ReadingRules) {
  const Case cases[] = {
      {"example lines in a comment are ignored, the real element is read",
       kTcpFeedBlock + Lines({"  <ProcessTarnexTCPFeed>False</ProcessTarnexTCPFeed>"}),
       {{"ProcessTarnexTCPFeed", "False"}, {"WWWHost", ""}, {"URI", "/vek/rezedozo.dll"}}},
      {"example lines alone change nothing",
       kTcpFeedBlock,
       {{"ProcessTarnexTCPFeed", "False"}, {"WWWHost", ""}, {"URI", "/vek/rezedozo.dll"}}},
      {"a one-line comment is skipped, the next line is read",
       Lines({"  <!-- <MainUnit>AAA</MainUnit> -->", "<MainUnit>BBB</MainUnit>"}),
       {{"MainUnit", "BBB"}}},
      {"a one-line comment alone", Lines({" \t<!-- <MainUnit>AAA</MainUnit> -->"}), {{"MainUnit", ""}}},
      {"a comment opened after an element does not start a comment",
       Lines({"<MainUnit>ABC</MainUnit> <!-- note", "<UDPAddr>10.0.0.9</UDPAddr>"}),
       {{"MainUnit", "ABC"}, {"UDPAddr", "10.0.0.9"}}},
      {"element on the closing line of a comment is skipped",
       Lines({"<!--", "<MainUnit>AAA</MainUnit>", "<UDPAddr>x</UDPAddr> -->", "<SerialComms>COM2</SerialComms>"}),
       {{"MainUnit", ""}, {"UDPAddr", "255.255.255.255"}, {"SerialComms", "COM2"}}},
      {"a comment never closed hides the rest", Lines({"<!--", "<MainUnit>AAA</MainUnit>"}), {{"MainUnit", ""}}},
      {"EnablePrinting disabled in capitals",
       Lines({"<EnablePrinting>DISABLED</EnablePrinting>"}),
       {{"EnablePrinting", "2"}}},
      {"EnablePrinting Disabled", Lines({"<EnablePrinting>Disabled</EnablePrinting>"}), {{"EnablePrinting", "2"}}},
      {"EnablePrinting fAlSe", Lines({"<EnablePrinting>fAlSe</EnablePrinting>"}), {{"EnablePrinting", "0"}}},
      {"EnablePrinting No", Lines({"<EnablePrinting>No</EnablePrinting>"}), {{"EnablePrinting", "1"}}},
      {"EnablePrinting empty", Lines({"<EnablePrinting></EnablePrinting>"}), {{"EnablePrinting", "1"}}},
      {"EnablePrinting is not trimmed", Lines({"<EnablePrinting> false</EnablePrinting>"}), {{"EnablePrinting", "1"}}},
      {"EnablePrinting missing keeps 0",
       Lines({"<MainUnit>X</MainUnit>"}),
       {{"EnablePrinting", "0"}, {"UDPListenPort", "0"}, {"DaysOfLogFilesRetained", "0"}}},
      {"PrintCFSTasks yes", Lines({"<PrintCFSTasks>yes</PrintCFSTasks>"}), {{"PrintCFSTasks", "True"}}},
      {"PrintCFSTasks enabled", Lines({"<PrintCFSTasks>enabled</PrintCFSTasks>"}), {{"PrintCFSTasks", "True"}}},
      {"PrintCFSTasks 1", Lines({"<PrintCFSTasks>1</PrintCFSTasks>"}), {{"PrintCFSTasks", "False"}}},
      {"the other two flags",
       Lines(
           {"<PrintTestPageAtStartup>Y</PrintTestPageAtStartup>", "<ProcessTarnexTCPFeed>true</ProcessTarnexTCPFeed>"}),
       {{"PrintTestPageAtStartup", "True"}, {"ProcessTarnexTCPFeed", "True"}}},
      {"UDPListenPort not a number", Lines({"<UDPListenPort>abc</UDPListenPort>"}), {{"UDPListenPort", "15167"}}},
      {"UDPListenPort -1", Lines({"<UDPListenPort>-1</UDPListenPort>"}), {{"UDPListenPort", "-1"}}},
      {"UDPListenPort empty", Lines({"<UDPListenPort></UDPListenPort>"}), {{"UDPListenPort", "15167"}}},
      {"UDPListenPort 0", Lines({"<UDPListenPort>0</UDPListenPort>"}), {{"UDPListenPort", "0"}}},
      {"UDPListenPort beyond 32 bits",
       Lines({"<UDPListenPort>4294982463</UDPListenPort>"}),
       {{"UDPListenPort", "15167"}}},
      {"UDPListenPort hexadecimal", Lines({"<UDPListenPort>0x3B3F</UDPListenPort>"}), {{"UDPListenPort", "15167"}}},
      {"UDPListenPort with leading blank and sign",
       Lines({"<UDPListenPort> +15170</UDPListenPort>"}),
       {{"UDPListenPort", "15170"}}},
      {"UDPListenPort with trailing blank",
       Lines({"<UDPListenPort>15170 </UDPListenPort>"}),
       {{"UDPListenPort", "15167"}}},
      {"DaysOfLogFilesRetained",
       Lines({"<DaysOfLogFilesRetained>30</DaysOfLogFilesRetained>"}),
       {{"DaysOfLogFilesRetained", "30"}}},
      {"DaysOfLogFilesRetained not a number",
       Lines({"<DaysOfLogFilesRetained>week</DaysOfLogFilesRetained>"}),
       {{"DaysOfLogFilesRetained", "7"}}},
      {"empty UDPAddr and URI fall back",
       Lines({"<UDPAddr></UDPAddr>", "<URI></URI>"}),
       {{"UDPAddr", "255.255.255.255"}, {"URI", "/vek/rezedozo.dll"}}},
      {"SerialComms without closing tag keeps the rest of the line",
       Lines({"  <SerialComms>COM1,57600,N,8,1  "}),
       {{"SerialComms", "COM1,57600,N,8,1  "}}},
      {"values are not trimmed, tags are case-sensitive",
       Lines({"<MainUnit> eas </MainUnit>", "<mainunit>XYZ</mainunit>"}),
       {{"MainUnit", " eas "}}},
      {"the closing tag is searched after the opening tag",
       Lines({"</MainUnit>x<MainUnit>y</MainUnit>"}),
       {{"MainUnit", "y"}}},
      {"older URL element",
       Lines({"<URL>corvantest/vek/rezedozo.dll</URL>"}),
       {{"WWWHost", "corvantest"}, {"URI", "/vek/rezedozo.dll"}}},
      {"URL with a longer path",
       Lines({"<URL>corvantest/a/b.dll</URL>"}),
       {{"WWWHost", "corvantest"}, {"URI", "/a/b.dll"}}},
      {"URL without a path is a host",
       Lines({"<URI>/x.dll</URI>", "<URL>corvantest</URL>"}),
       {{"WWWHost", "corvantest"}, {"URI", "/vek/rezedozo.dll"}}},
      {"older VEKUnits element", Lines({"<VEKUnits>EAS,MTB</VEKUnits>"}), {{"ProcessVEKUnits", "EAS,MTB"}}},
      {"two elements on a line: UDPAddr is tested before URI",
       Lines({"<URI>/x.dll</URI><UDPAddr>10.0.0.1</UDPAddr>"}),
       {{"UDPAddr", "10.0.0.1"}, {"URI", "/vek/rezedozo.dll"}}},
      {"two elements on a line: MainUnit is tested first",
       Lines({"<WWWHost>a</WWWHost><MainUnit>b</MainUnit>"}),
       {{"MainUnit", "b"}, {"WWWHost", ""}}},
      {"a later line overrides an earlier one",
       Lines({"<MainUnit>AAA</MainUnit>", "<MainUnit>BBB</MainUnit>"}),
       {{"MainUnit", "BBB"}}},
      {"the three host elements are told apart",
       Lines({"<WWWHostAlt>alt</WWWHostAlt>", "<WWWHostActive>act</WWWHostActive>"}),
       {{"WWWHost", ""}, {"WWWHostAlt", "alt"}, {"WWWHostActive", "act"}}},
      {"fields kept in the other records",
       Lines({"<GUID>{1-2}</GUID>", "<SyslogServer>10.0.0.5</SyslogServer>", "<PDWLogPath>/pdw/</PDWLogPath>"}),
       {{"GUID", "{1-2}"}, {"SyslogServer", "10.0.0.5"}, {"PDWLogPath", "/pdw/"}}},
  };
  for (const Case& c : cases) {
    corvantest::ProcessStateGuard::Reset();
    Lib::ReadCorvanSettingsText(c.text);
    EXPECT_EQ(Field("Loaded"), "True") << c.name;
    for (const auto& [field, value] : c.expected) EXPECT_EQ(Field(field), value) << c.name << ": " << field;
  }
}

TEST_F(SettingsRulesTest, ALineGivesOnlyTheFirstOfItsElementsInTheServicesOrder) {
  // The order in which the service tests a line for the elements, older names included.
  const std::vector<std::string> order = {"MainUnit",
                                          "DaysOfLogFilesRetained",
                                          "EnablePrinting",
                                          "GUID",
                                          "PDWLogPath",
                                          "PrintCFSTasks",
                                          "PrintTestPageAtStartup",
                                          "ProcessTarnexTCPFeed",
                                          "ProcessVEKUnits",
                                          "SerialComms",
                                          "VEKUnits",
                                          "UDPAddr",
                                          "UDPListenPort",
                                          "URI",
                                          "SyslogServer",
                                          "URL",
                                          "WWWHost",
                                          "WWWHostAlt",
                                          "WWWHostActive"};
  const auto element = [](const std::string& name, const char* value) {
    return "<" + name + ">" + value + "</" + name + ">";
  };
  // "Yes" changes every kind of field from its state at program start: a flag reads True,
  // a number that is none its default, EnablePrinting 1.
  const auto loaded = [](const std::string& line) {
    corvantest::ProcessStateGuard::Reset();
    Lib::ReadCorvanSettingsText(line);
    return settingstest::Snapshot();
  };
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string first = loaded(element(order[i], "Yes1"));
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      ASSERT_NE(loaded(element(order[j], "Yes2")), first) << order[j] << " alone";
      EXPECT_EQ(loaded(element(order[j], "Yes2") + element(order[i], "Yes1")), first)
          << order[i] << " is tested before " << order[j];
    }
  }
}

TEST_F(SettingsRulesTest, LineEndsOfEveryKind) {
  // CR LF, LF, CR and the last line without an end are all lines of their own.
  Lib::ReadCorvanSettingsText(
      "<MainUnit>A</MainUnit>\n<UDPAddr>B</UDPAddr>\r<SerialComms>C</SerialComms>\r\n\n\r"
      "<PDWLogPath>D");
  EXPECT_EQ(Field("MainUnit"), "A");
  EXPECT_EQ(Field("UDPAddr"), "B");
  EXPECT_EQ(Field("SerialComms"), "C");
  EXPECT_EQ(Field("PDWLogPath"), "D");
}

TEST_F(SettingsRulesTest, WrittenValueTexts) {
  struct WriteCase {
    std::int32_t enablePrinting;
    const char* written;
  } cases[] = {{0, "False"}, {1, "True"}, {2, "Disabled"}, {7, "True"}, {-1, "True"}};
  for (const auto& c : cases) {
    Lib::gCorvanSettings.EnablePrinting = c.enablePrinting;
    EXPECT_NE(Lib::BuildCorvanSettingsText().find(std::string("\r\n  <EnablePrinting>") + c.written +
                                                  "</EnablePrinting>\r\n"),
              std::string::npos)
        << c.enablePrinting;
  }
  Lib::gCorvanSettings.UDPListenPort = -2147483647 - 1;
  EXPECT_NE(Lib::BuildCorvanSettingsText().find("\r\n  <UDPListenPort>-2147483648</UDPListenPort>\r\n"),
            std::string::npos);
}

TEST_F(SettingsRulesTest, ValuesTheFileCannotGiveBackAreNamedWithWhatItWouldGive) {
  struct Case {
    const char* name;
    std::function<void()> set;
    std::vector<std::string> unstorable;  // name=value>read back
  } cases[] = {
      {"every field set", [] {}, {}},
      {"markup and comment ends are text", [] { Lib::gVEKSettings.WWWHost = "<b>h</b> --> <!--"; }, {}},
      {"another setting's tag takes the line",
       [] { Lib::gVEKSettings.WWWHost = "a<UDPAddr>b"; },
       {"WWWHost=a<UDPAddr>b>"}},
      {"its own closing tag", [] { Lib::gCorvanSettings.MainUnit = "A</MainUnit>B"; }, {"MainUnit=A</MainUnit>B>A"}},
      {"a line end", [] { Lib::gCorvanSettings.SerialComms = "COM1\r\nX"; }, {"SerialComms=COM1\r\nX>COM1"}},
      {"an empty URI reads as the default", [] { Lib::gVEKSettings.URI.clear(); }, {"URI=>/vek/rezedozo.dll"}},
      {"two at once, in the file's order",
       [] {
         Lib::gCorvanSettings.PDWLogPath = "\n";
         Lib::gVEKSettings.WWWHostAlt = "<MainUnit>";
       },
       {"WWWHostAlt=<MainUnit>>", "PDWLogPath=\n>"}},
  };
  for (const Case& c : cases) {
    corvantest::ProcessStateGuard::Reset();
    settingstest::SetAllFields();
    c.set();
    const std::string before = settingstest::Snapshot();
    std::vector<std::string> found;
    for (const Lib::tUnstorableSetting& u : Lib::UnstorableSettings())
      found.push_back(u.Name + "=" + u.Value + ">" + u.ReadBack);
    EXPECT_EQ(found, c.unstorable) << c.name;
    EXPECT_EQ(settingstest::Snapshot(), before) << c.name << ": the records changed";
  }
}

TEST_F(SettingsRulesTest, ServiceVersionIsTheWholeFileFoundIgnoringCase) {
  corvantest::TempFolder program;
  settingstest::SetIdentity(program.path());
  // The service names its files the Windows way; the content goes in unchanged.
  program.write("CORVANSRVC-VERSION.TXT", "2.0.1.7\r\n");
  EXPECT_NE(Lib::BuildCorvanSettingsText().find("\r\n   Service Version: 2.0.1.7\r\n\r\n   Host: "
                                                "PC01\r\n"),
            std::string::npos);
}

TEST(MainUnitCode, ExactlyThreeCharactersUpperCased) {
  const corvantest::ProcessStateGuard processState;
  const struct {
    const char *mainUnit, *code;
  } cases[] = {{"eas", "EAS"}, {"MtB", "MTB"}, {"", ""}, {"EA", ""}, {"EASX", ""}, {" ea", " EA"}};
  for (const auto& c : cases) {
    Lib::gCorvanSettings.MainUnit = c.mainUnit;
    EXPECT_EQ(Lib::MainUnitCode(), c.code) << '"' << c.mainUnit << '"';
  }
}
