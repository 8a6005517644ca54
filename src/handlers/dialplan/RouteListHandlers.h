// addRouteList, updateRouteList, removeRouteList and getRouteList. A route list is a device of
// the route list product whose member rows name its route groups in order, each with its own
// digit manipulation.
#pragma once

#include <string>

#include "handlers/CRequestHandler.h"

namespace zeb {

// The variant conversion of text to a signed 32-bit integer: blanks around, an optional sign,
// digits with an optional fraction (rounded half to even). Other text throws CComError
// kComTypeMismatch; a number out of range throws CComError with the overflow code.
long VariantToLong(const std::string& text);

class CRouteListHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
