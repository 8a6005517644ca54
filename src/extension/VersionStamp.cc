#include "extension/VersionStamp.h"

#include "zdl/CZDLID.h"

namespace zeb {

std::string NewVersionStamp() { return zdl::CZDLID::New().str(); }

}  // namespace zeb
