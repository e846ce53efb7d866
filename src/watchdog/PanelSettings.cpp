#include "watchdog/PanelSettings.h"

#include <QSettings>
#include <QTemporaryFile>

#include "platform/qt/QtText.h"
#include "support/BoundedRead.h"
#include "watchdog/FeedHeartbeats.h"

namespace MainForm {

namespace {

constexpr const char* kWatchdogGroup = "FeedWatchdog";

std::string FileProblem(const std::string& Why) {
  return std::string(kPanelSettingsFileName) + " " + Why + ": using the default limits";
}

// A whole number of minutes from 0 to the most; blanks around it are allowed.
bool ParseMinutes(const QString& text, std::int32_t& minutes) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok, 10);
  if (!ok || value < 0 || value > kMaxFeedLimitMinutes) return false;
  minutes = value;
  return true;
}

// The value as the message quotes it: short, on one line.
std::string Shown(const QString& text) {
  std::string shown = text.left(40).toStdString();
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return shown;
}

}  // namespace

tWatchdogLimits ReadWatchdogLimits(const std::string& Folder) {
  tWatchdogLimits limits;
  // Read as any file someone else may have put in the folder (never a FIFO, within a
  // bound), then handed to QSettings as a private copy, which it cannot be swapped for.
  const brix32::tBoundedRead read =
      brix32::ReadBoundedFile(Folder + std::string(kPanelSettingsFileName), kPanelSettingsFileLimit);
  if (read.Status == brix32::tReadStatus::Missing) return limits;
  if (!read.Ok()) {
    limits.Problems.push_back(FileProblem(brix32::ReadProblemText(read)));
    return limits;
  }
  QTemporaryFile copy;
  if (!copy.open() ||
      copy.write(read.Data.data(), static_cast<qint64>(read.Data.size())) != static_cast<qint64>(read.Data.size()) ||
      !copy.flush()) {
    limits.Problems.push_back(FileProblem("cannot be copied to read it"));
    return limits;
  }
  QSettings ini(copy.fileName(), QSettings::IniFormat);
  if (ini.status() != QSettings::NoError) {
    limits.Problems.push_back(FileProblem("is not an INI file"));
    return limits;
  }
  ini.beginGroup(QString::fromLatin1(kWatchdogGroup));
  for (const tFeed feed : kFeeds) {
    const QString key = platform::Q(LimitKey(feed));
    if (!ini.contains(key)) continue;
    const QString text = ini.value(key).toString();
    std::int32_t& minutes = limits.Minutes[static_cast<std::size_t>(feed)];
    if (!ParseMinutes(text, minutes))
      limits.Problems.push_back(std::string(kPanelSettingsFileName) + ": [" + kWatchdogGroup + "] " +
                                std::string(LimitKey(feed)) + "=" + Shown(text) +
                                " is not a whole number of minutes from 0 to " + std::to_string(kMaxFeedLimitMinutes) +
                                ": using " + std::to_string(kDefaultFeedLimitMinutes));
  }
  return limits;
}

}  // namespace MainForm
