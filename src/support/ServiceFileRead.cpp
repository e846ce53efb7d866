#include "support/ServiceFileRead.h"

#include "support/FileUtils.h"

namespace brix32 {

std::string ReadHeartbeat(const std::string& FileName) {
  return FileToBin(FileName, kHeartbeatFileLimit, tLinkRule::Refuse);
}

std::string ReadServiceText(const std::string& FileName) {
  return FileToBin(FileName, kServiceTextFileLimit, tLinkRule::Refuse);
}

std::string ReadServicePicture(const std::string& FileName) {
  return FileToBin(FileName, kServicePictureFileLimit, tLinkRule::Refuse);
}

std::string ReadDummyPage(const std::string& FileName) {
  return FileToBin(FileName, kDummyPageFileLimit, tLinkRule::Refuse);
}

}  // namespace brix32
