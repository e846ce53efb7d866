#include "support/UpdateCheck.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "support/Counterparts.h"
#include "support/Diagnostics.h"
#include "support/ElfVersionNote.h"
#include "support/FileUtils.h"
#include "support/Hooks.h"
#include "support/NumberText.h"
#include "support/TextUtils.h"
#include "support/UniqueFd.h"

namespace brix32 {
namespace {

constexpr std::chrono::milliseconds kDefaultTimeout{30000};
std::atomic<std::int64_t> gTimeoutMs{kDefaultTimeout.count()};

// A whole number as the published files and version texts hold it, spaces before it
// allowed; anything else reads as 0.
std::int32_t WholeNumberOrZero(std::string_view text) { return ReadDecimal(text, tBlanks::LeadingSpaces).value_or(0); }

std::string JoinVersion(const tFileVersion& v) {
  return std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Release) + "." +
         std::to_string(v.Build);
}

// "1.2.3.4": the numbers before the first, second and third ".", and the rest; numbers
// the text does not reach stay 0.
tFileVersion VersionFromText(std::string_view text) {
  std::int32_t numbers[4] = {};
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = i < 3 ? text.find('.') : std::string_view::npos;
    numbers[i] = WholeNumberOrZero(text.substr(0, dot));
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return {numbers[0], numbers[1], numbers[2], numbers[3], {}};
}

// The name as given; a name that differs from the file's only in case still finds it,
// as it would on the system the service files come from.
std::string ExistingFileName(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) return name;
  const std::size_t slash = name.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
  return folder + ResolveNameIgnoringCase(folder, name.substr(folder.size()));
}

std::int64_t VersionSum(const tFileVersion& v) { return std::int64_t{v.Major} + v.Minor + v.Release + v.Build; }

// A URL without a scheme is plain http; one without a host goes to the vendor's host.
std::string RequestURL(const std::string& url) {
  if (url.find("://") != std::string::npos) return url;
  if (url.empty() || url.front() == '/')
    return "http://" + std::string(Counterparts::kDefaultWWWHost) + (url.empty() ? "/" : url);
  return "http://" + url;
}

struct tBody {
  std::string text;
  bool tooLong = false;
};

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* body = static_cast<tBody*>(user);
  const std::size_t n = size * count;
  if (body->text.size() + n > kMaxUpdateBodyBytes) {
    body->tooLong = true;
    return 0;  // makes curl stop the transfer
  }
  body->text.append(data, n);
  return n;
}

struct tGetOutcome {
  bool ok = false;
  bool timedOut = false;
  std::string error;
};

void CurlGlobalInitOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw std::runtime_error("curl_global_init failed");
  });
}

// One GET on a fresh handle: the connection is closed when the handle goes.
tGetOutcome HttpGet(const std::string& url, tBody& body) {
  CurlGlobalInitOnce();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) throw std::runtime_error("curl_easy_init failed");
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, curl_slist_free_all);
  for (const char* h : {"Connection: Keep-Alive", "Cache-Control: no-cache"}) {
    curl_slist* grown = curl_slist_append(headers.get(), h);
    if (!grown) throw std::runtime_error("curl_slist_append failed");
    headers.release();
    headers.reset(grown);
  }
  const std::string userAgent(Counterparts::kHttpUserAgent);
  const long timeoutMs = static_cast<long>(gTimeoutMs.load());
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 15L);
  curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");  // cookie engine on, nothing read from disk
  curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  // Proxy variables of the environment are not ours to follow.
  curl_easy_setopt(h, CURLOPT_PROXY, "");
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // Bounding the whole request, not each read, keeps a trickling body from holding the
  // window beyond the time-out.
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode rc = curl_easy_perform(h);
  tGetOutcome outcome;
  outcome.ok = rc == CURLE_OK;
  outcome.timedOut = rc == CURLE_OPERATION_TIMEDOUT;
  if (!outcome.ok) {
    if (body.tooLong)
      outcome.error = "response body longer than " + std::to_string(kMaxUpdateBodyBytes) + " bytes";
    else
      outcome.error = errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(rc));
    outcome.error += " (" + url + ")";
  }
  return outcome;
}

}  // namespace

void SetUpdateCheckTimeout(std::chrono::milliseconds timeout) {
  gTimeoutMs = timeout.count() > 0 ? timeout.count() : kDefaultTimeout.count();
}

tFileVersion GetExeVersion(const std::string& FileName) {
  Operation op("brix32.GetExeVersion");
  tFileVersion FileVersion;
  FileVersion.VersionStr = "0.0.0.0";
  op.Run([&] {
    op.Log.Trace = 110;
    const std::string name = FileName.empty() ? std::string("/proc/self/exe") : ExistingFileName(FileName);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return;
    op.Log.Trace = 200;
    // Non-blocking, so that a FIFO given by mistake cannot hang the open.
    const UniqueFd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd) {
      const auto note = ReadElfVersionNoteFromFile(fd.get());
      if (note) {
        op.Log.Trace = 210;
        FileVersion.Major = static_cast<std::int32_t>(note->dwFileVersionMS >> 16);
        FileVersion.Minor = static_cast<std::int32_t>(note->dwFileVersionMS & 0xFFFF);
        FileVersion.Release = static_cast<std::int32_t>(note->dwFileVersionLS >> 16);
        FileVersion.Build = static_cast<std::int32_t>(note->dwFileVersionLS & 0xFFFF);
        FileVersion.VersionStr = JoinVersion(FileVersion);
        return;
      }
    }
    // No note: the version this program was told it has.
    op.Log.Trace = 300;
    if (!gGlobalSettings.Version.empty()) {
      const tFileVersion parsed = VersionFromText(gGlobalSettings.Version);
      FileVersion.Major = parsed.Major;
      FileVersion.Minor = parsed.Minor;
      FileVersion.Release = parsed.Release;
      FileVersion.Build = parsed.Build;
    }
    FileVersion.VersionStr = JoinVersion(FileVersion);
  });
  ProcessMessages();
  return FileVersion;
}

tFileUpdate GetUpdateVersion(const std::string& URL, const tFileVersion& CurrentVersion) {
  Operation op("brix32.GetUpdateVersion");
  op.Ex.Notes = "Second exception handler";
  tFileUpdate FileUpdate;
  const bool ok = op.Run([&] {
    tFileVersion latest;
    latest.VersionStr = "0.0.0.0";
    FileUpdate.UpdateRequired = false;
    op.Log.Trace = 110;
    tBody body;
    const tGetOutcome got = HttpGet(RequestURL(URL), body);
    op.Log.Trace = 200;
    if (!got.ok) {
      body.text.clear();
      // A time-out is routine when the host is away; everything else is worth a report.
      if (!got.timedOut) {
        Operation first("brix32.GetUpdateVersion", op.Log.Trace);
        first.Ex.Notes = "first exception handler";
        first.Report(std::runtime_error(got.error));
      }
    }
    op.Log.Trace = 300;
    if (!body.text.empty()) {
      latest.Major = WholeNumberOrZero(Between(body.text, "<major>", "</major>"));
      latest.Minor = WholeNumberOrZero(Between(body.text, "<minor>", "</minor>"));
      latest.Release = WholeNumberOrZero(Between(body.text, "<release>", "</release>"));
      latest.Build = WholeNumberOrZero(Between(body.text, "<build>", "</build>"));
    }
    op.Log.Trace = 400;
    latest.VersionStr = JoinVersion(latest);
    FileUpdate.Version = latest;
    op.Log.Trace = 500;
    if (VersionSum(latest) != 0 && VersionSum(CurrentVersion) != 0)
      FileUpdate.UpdateRequired = FileUpdateRequired(CurrentVersion, latest);
    else
      FileUpdate.UpdateRequired = latest.VersionStr != CurrentVersion.VersionStr;
  });
  if (!ok) {
    FileUpdate.Version.VersionStr = "Error: " + op.Ex.Message + " (" + op.Ex.ClassName + ")";
    FileUpdate.UpdateRequired = false;
  }
  return FileUpdate;
}

bool FileUpdateRequired(const tFileVersion& CurrentVersion, const tFileVersion& LatestVersion) {
  const std::int32_t current[] = {CurrentVersion.Major, CurrentVersion.Minor, CurrentVersion.Release,
                                  CurrentVersion.Build};
  const std::int32_t latest[] = {LatestVersion.Major, LatestVersion.Minor, LatestVersion.Release, LatestVersion.Build};
  for (int i = 0; i < 4; ++i)
    if (current[i] != latest[i]) return current[i] < latest[i];
  return false;
}

}  // namespace brix32
