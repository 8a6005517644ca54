#pragma once

#include <string>

namespace zeb {

// "{" + a freshly generated GUID in upper-case canonical text + "}".
std::string NewVersionStamp();

}  // namespace zeb
