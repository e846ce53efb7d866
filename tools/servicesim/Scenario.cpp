#include "Scenario.h"

#include <algorithm>

#include "Pictures.h"
#include "SimCommon.h"

namespace servicesim {
namespace {

using simcommon::UsageError;

constexpr std::string_view kTextCommands[] = {"tarnex", "serial", "udp", "msg", "status"};

std::string Unescape(std::string_view text, const std::string& where) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) throw UsageError(where + "a lone \"\\\" ends the text");
    switch (text[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        throw UsageError(where + "unknown escape \"\\" + std::string(1, text[i]) + "\"");
    }
  }
  return out;
}

}  // namespace

tStep ParseStep(std::string_view line, std::size_t lineNumber) {
  const std::string where = (lineNumber ? "scenario line " + std::to_string(lineNumber) : std::string("step")) + " \"" +
                            std::string(line) + "\": ";
  tStep step;
  step.Line = lineNumber;
  const std::size_t blank = line.find(' ');
  const auto at = simcommon::ParseCount(line.substr(0, blank));
  if (!at) throw UsageError(where + "must begin with the time in milliseconds");
  step.AtMs = *at;
  if (blank == std::string_view::npos) throw UsageError(where + "has no command");
  std::string_view rest = line.substr(blank + 1);
  const std::size_t end = rest.find(' ');
  step.Command = std::string(rest.substr(0, end));
  const bool hasText = end != std::string_view::npos;
  const std::string_view raw = hasText ? rest.substr(end + 1) : std::string_view();

  const bool textCommand =
      std::find(std::begin(kTextCommands), std::end(kTextCommands), step.Command) != std::end(kTextCommands);
  if (textCommand) {
    step.Text = Unescape(raw, where);
  } else if (step.Command == "going") {
    const auto count = simcommon::ParseCount(raw);
    if (!count || *count > 9999) throw UsageError(where + "going needs a count 0..9999");
    step.Text = std::string(raw);
  } else if (step.Command == "feed") {
    if (!ParseFeed(raw)) throw UsageError(where + "feed needs com, tcp, udp, udptcp, none or log");
    step.Text = std::string(raw);
  } else if (step.Command == "host") {
    if (raw.empty() || raw.find_first_of(" <>\r\n\t") != std::string_view::npos)
      throw UsageError(where + "host needs a host name");
    step.Text = std::string(raw);
  } else if (step.Command == "exit") {
    if (hasText) throw UsageError(where + "exit takes no text");
  } else {
    throw UsageError(where + "unknown command \"" + step.Command + "\"");
  }
  return step;
}

std::vector<tStep> ParseScenario(std::string_view text) {
  std::vector<tStep> steps;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    steps.push_back(ParseStep(line, number));
  }
  SortSteps(steps);
  return steps;
}

void SortSteps(std::vector<tStep>& steps) {
  std::stable_sort(steps.begin(), steps.end(), [](const tStep& a, const tStep& b) { return a.AtMs < b.AtMs; });
}

}  // namespace servicesim
