#include "Hermetic.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace corvantest {

bool InsideHermeticNetwork() {
  const char* marker = std::getenv("CORVAN_NETNS");
  if (!marker || std::strcmp(marker, "inside") != 0) return false;
  // Belt and braces: the namespace has only lo and our veth pair.
  std::ifstream dev("/proc/net/dev");
  std::string line;
  std::getline(dev, line);
  std::getline(dev, line);
  while (std::getline(dev, line)) {
    const std::size_t colon = line.find(':');
    std::string name = line.substr(0, colon);
    name.erase(0, name.find_first_not_of(' '));
    if (name != "lo" && name != "v0" && name != "v1") return false;
  }
  return true;
}

}  // namespace corvantest
