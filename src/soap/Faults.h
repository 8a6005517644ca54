// The two SOAP fault shapes: a plain fault (faultcode, escaped faultstring) and a detailed fault
// that also carries the ZEB error record (code, the message in a CDATA section, the method).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "soap/CXMLElement.h"

namespace zeb {

using Sequence = std::optional<std::uint32_t>;

// Text fit for an XML document: every byte that is not part of valid UTF-8, and every character
// XML 1.0 does not allow (control characters other than tab, line feed and carriage return,
// U+FFFE and U+FFFF), is replaced by U+FFFD. Text without such bytes is returned unchanged.
// Fault texts pass through it, because they may quote the request's own bytes.
std::string ValidXmlText(const std::string& text);

// Appends SOAP-ENV:Fault with faultcode and faultstring (made valid, then escaped) to parent.
void AddFault(CXMLElement* parent, const std::string& faultcode, const std::string& faultstring);

// Appends a detailed Client fault to parent. schemaLocation is the answering handler's, or the
// module-wide one when no handler exists. The message is made valid and written raw inside
// CDATA, split into two sections wherever it holds "]]>".
void AddDetailedFault(const std::string& schemaLocation, CXMLElement* parent, const std::string& method, int code,
                      Sequence sequence, const std::string& message);

// Adds the attributes every response and error element carries: xmlns:zeb, xmlns:xsi,
// xsi:schemaLocation and, when present, sequence written as a signed 32-bit decimal.
void AddZebAttributes(CXMLElement* element, const std::string& schemaLocation, Sequence sequence);

// The written form of the first three of those attributes for a schema location.
// REQUIRES: the result is used before the next call on this thread.
const std::string& ZebAttributeText(const std::string& schemaLocation);

}  // namespace zeb
