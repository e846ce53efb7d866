#pragma once
// A support bundle: a gzip-compressed tar archive (POSIX pax, extended headers only where
// a name or size needs them) written through libarchive, every entry under one top folder.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct archive;

namespace corvanctl {

class tSupportBundle {
 public:
  // Where the compressed bytes go; it throws on a failed write.
  using tSink = std::function<void(const void* Bytes, std::size_t Size)>;

  tSupportBundle(std::string TopFolder, tSink Sink);
  ~tSupportBundle();
  tSupportBundle(const tSupportBundle&) = delete;
  tSupportBundle& operator=(const tSupportBundle&) = delete;

  // A regular file TopFolder/Name holding Bytes. Throws std::runtime_error.
  void Add(const std::string& Name, std::string_view Bytes, std::int64_t Modified, mode_t Mode = 0644);
  // Writes the end of the archive and flushes the compressor. Throws std::runtime_error.
  void Close();

 private:
  [[noreturn]] void Fail(const std::string& What);

  std::string top_;
  std::unique_ptr<struct tArchiveSink> output_;
  archive* archive_ = nullptr;
  bool closed_ = false;
};

// The settings file's text with the value of every GUID element, in any case, replaced by
// "(removed)" (an empty one stays empty): the GUID identifies the station to the vendor
// and has no place in a file that is mailed around. An element without its closing tag
// ends at the end of its line, as the settings reader takes it.
std::string WithoutGuid(std::string_view SettingsText);

}  // namespace corvanctl
