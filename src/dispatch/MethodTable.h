// The method table: every method this build serves, bound by its exact name to the function
// that serves it. A method that is not built is not in the table, so it answers as unknown.
#pragma once

#include <string_view>
#include <vector>

#include "soap/CXMLElement.h"
#include "soap/RequestContext.h"
#include "soap/XmlDocument.h"

namespace zeb {

// Serves one method: reads the request element, does the work and fills result (the
// response's "return" element), or throws.
using MethodFunction = void (*)(RequestContext& context, XmlNode request, CXMLElement& result);

struct MethodEntry {
  const char* name;
  MethodFunction serve;
};

// The methods this build serves, in dispatch order.
const std::vector<MethodEntry>& MethodTable();

// The entry of the method named exactly localName (case-sensitive), or null.
const MethodEntry* FindMethod(std::string_view localName);

}  // namespace zeb
