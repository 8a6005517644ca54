// removePhone and removeDeviceProfile: removes one device named by ID or name, refusing
// auto-generated profiles and devices of another class than the method's.
#pragma once

#include <string>

#include "handlers/CRequestHandler.h"

namespace zeb {

// The two removal methods; each may remove devices of its own class only.
inline constexpr char kRemovePhone[] = "removePhone";
inline constexpr char kRemoveDeviceProfile[] = "removeDeviceProfile";

class CRemoveDeviceHandler : public CRequestHandler {
 public:
  // method is kRemovePhone or kRemoveDeviceProfile.
  CRemoveDeviceHandler(RequestContext& context, const char* method)
      : CRequestHandler(context), method_(method) {}
  HandlerOperation Remove;

 private:
  const std::string method_;
};

}  // namespace zeb
