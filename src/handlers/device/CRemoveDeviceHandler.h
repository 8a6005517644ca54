// removePhone and removeDeviceProfile: removes one device named by ID or name, refusing
// auto-generated profiles and devices of another class than the method's.
#pragma once

#include <string>

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CRemoveDeviceHandler : public CRequestHandler {
 public:
  CRemoveDeviceHandler(RequestContext& context, const std::string& method) : CRequestHandler(context), method_(method) {}
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  const std::string method_;
};

}  // namespace zeb
