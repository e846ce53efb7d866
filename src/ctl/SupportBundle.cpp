#include "ctl/SupportBundle.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <stdexcept>

#include "support/TextUtils.h"

namespace corvanctl {

// The sink and what it threw: an exception cannot pass through libarchive's C callbacks.
struct tArchiveSink {
  tSupportBundle::tSink Sink;
  std::string Error;
};

namespace {

la_ssize_t WriteToSink(archive* a, void* data, const void* bytes, std::size_t size) {
  auto* output = static_cast<tArchiveSink*>(data);
  try {
    output->Sink(bytes, size);
    return static_cast<la_ssize_t>(size);
  } catch (const std::exception& e) {
    output->Error = e.what();
    archive_set_error(a, EIO, "%s", e.what());
    return -1;
  }
}

}  // namespace

tSupportBundle::tSupportBundle(std::string TopFolder, tSink Sink)
    : top_(std::move(TopFolder)), output_(new tArchiveSink{std::move(Sink), {}}), archive_(archive_write_new()) {
  if (!archive_) throw std::runtime_error("cannot start an archive");
  if (archive_write_set_format_pax_restricted(archive_) != ARCHIVE_OK ||
      archive_write_add_filter_gzip(archive_) != ARCHIVE_OK ||
      // No padding of the last block: the file ends where the compressed data does.
      archive_write_set_bytes_in_last_block(archive_, 1) != ARCHIVE_OK ||
      archive_write_open2(archive_, output_.get(), nullptr, WriteToSink, nullptr, nullptr) != ARCHIVE_OK)
    Fail("cannot start the archive");
}

tSupportBundle::~tSupportBundle() {
  // An archive that was not closed is dropped without its end: the caller throws the
  // output away.
  if (archive_) archive_write_free(archive_);
}

void tSupportBundle::Fail(const std::string& What) {
  const char* reason = archive_ ? archive_error_string(archive_) : nullptr;
  std::string message = What;
  if (!output_->Error.empty())
    message += ": " + output_->Error;
  else if (reason)
    message += ": " + std::string(reason);
  throw std::runtime_error(message);
}

void tSupportBundle::Add(const std::string& Name, std::string_view Bytes, std::int64_t Modified, mode_t Mode) {
  std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
  if (!entry) throw std::runtime_error("cannot make an archive entry");
  const std::string path = top_ + "/" + Name;
  archive_entry_set_pathname(entry.get(), path.c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), Mode & 0777);
  archive_entry_set_size(entry.get(), static_cast<la_int64_t>(Bytes.size()));
  archive_entry_set_mtime(entry.get(), static_cast<time_t>(Modified), 0);
  // A name that is not UTF-8 gives a warning: it is then stored as the bytes it is.
  if (archive_write_header(archive_, entry.get()) < ARCHIVE_WARN) Fail("cannot add " + path);
  std::size_t written = 0;
  while (written < Bytes.size()) {
    const la_ssize_t n = archive_write_data(archive_, Bytes.data() + written, Bytes.size() - written);
    if (n <= 0) Fail("cannot add " + path);
    written += static_cast<std::size_t>(n);
  }
}

void tSupportBundle::Close() {
  if (closed_) return;
  closed_ = true;
  if (archive_write_close(archive_) != ARCHIVE_OK) Fail("cannot finish the archive");
}

std::string WithoutGuid(std::string_view SettingsText) {
  static const std::string kOpen = "<GUID>";
  static const std::string kClose = "</GUID>";
  const std::string upper = brix32::UpperCase(SettingsText);  // a..z only: the same length
  std::string out;
  std::size_t from = 0;
  for (std::size_t open; (open = upper.find(kOpen, from)) != std::string::npos;) {
    const std::size_t value = open + kOpen.size();
    const std::size_t lineEnd = std::min(upper.find_first_of("\r\n", value), upper.size());
    const std::size_t close = std::min(upper.find(kClose, value), lineEnd);
    out.append(SettingsText, from, value - from);
    if (close > value) out += "(removed)";
    from = close;
  }
  out.append(SettingsText, from, std::string_view::npos);
  return out;
}

}  // namespace corvanctl
