#include "extension/VersionStamp.h"

#include "zdl/base/CZDLID.h"

namespace zeb {

std::string NewVersionStamp() { return zdl::CZDLID::New().str(); }

}  // namespace zeb
