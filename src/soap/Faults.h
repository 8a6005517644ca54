// The two SOAP fault shapes: a plain fault (faultcode, escaped faultstring) and a detailed fault
// that also carries the ZEB error record (code, the message in a CDATA section, the method).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "soap/CXMLElement.h"

namespace zeb {

using Sequence = std::optional<std::uint32_t>;

// Appends SOAP-ENV:Fault with faultcode and faultstring (escaped) to parent.
void AddFault(CXMLElement* parent, const std::string& faultcode, const std::string& faultstring);

// Appends a detailed Client fault to parent. schemaLocation is the answering handler's, or the
// module-wide one when no handler exists. The message is written raw inside CDATA.
void AddDetailedFault(const std::string& schemaLocation, CXMLElement* parent, const std::string& method, int code,
                      Sequence sequence, const std::string& message);

// Adds the attributes every response and error element carries: xmlns:zeb, xmlns:xsi,
// xsi:schemaLocation and, when present, sequence written as a signed 32-bit decimal.
void AddZebAttributes(CXMLElement* element, const std::string& schemaLocation, Sequence sequence);

// The written form of the first three of those attributes for a schema location.
// REQUIRES: the result is used before the next call on this thread.
const std::string& ZebAttributeText(const std::string& schemaLocation);

}  // namespace zeb
