#include "soap/Namespaces.h"

#include <unistd.h>

namespace zeb {

const std::string& LocalHostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string("localhost");
    std::string host(buffer);
    return host.empty() || host.size() > 24 ? std::string("localhost") : host;
  }();
  return name;
}

const std::string& HostSchemaLocation() {
  static const std::string location = [] {
    std::string text = kSchemaLocation;
    const std::size_t at = text.find("localhost");
    text.replace(at, 9, LocalHostName());
    return text;
  }();
  return location;
}

}  // namespace zeb
