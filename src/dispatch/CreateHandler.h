// The dispatcher: maps the local name of a request element to a new handler object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dispatch/CRequestHandler.h"

namespace zeb {

using HandlerFactory = std::unique_ptr<CRequestHandler> (*)(RequestContext& context, const std::string& method);

struct MethodEntry {
  const char* name;
  HandlerFactory create;
};

// Returns a new handler for the method (exact, case-sensitive match). Throws
// CUnknownMethodException naming localName as sent when no method of that name is built.
std::unique_ptr<CRequestHandler> CreateHandler(const std::string& localName, RequestContext& context);

// The factory of the method, or null when no method of that name is built.
HandlerFactory FindHandlerFactory(const std::string& localName);

// The methods this build serves, in dispatch order.
const std::vector<MethodEntry>& MethodTable();

// A factory for handler classes whose constructor takes (context) or (context, method).
template <class Handler>
std::unique_ptr<CRequestHandler> Make(RequestContext& context, const std::string& method) {
  if constexpr (std::is_constructible_v<Handler, RequestContext&, const std::string&>) {
    return std::make_unique<Handler>(context, method);
  } else {
    return std::make_unique<Handler>(context);
  }
}

}  // namespace zeb
