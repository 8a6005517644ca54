// The SOAP layer's entry: turns the text of an admitted request into the serialised response
// envelope. Every error on the way becomes exactly one fault inside the envelope's body.
#pragma once

#include <string>

#include "soap/RequestContext.h"
#include "soap/CXMLElement.h"
#include "soap/Faults.h"
#include "soap/XmlDocument.h"
#include "zdl/CGenericBuffer.h"

namespace zeb {

// Parses requestText (NUL-terminated; UTF-8), runs the named method and appends the serialised
// envelope to out. Returns out's length in bytes. Throws std::invalid_argument for a null text;
// a CComError with code kComNotInitialized and exhausted memory before the parse escape.
long ProcessSOAPRequest(const char* requestText, zdl::CGenericBuffer& out, RequestContext& context);

// The request envelope: walks Envelope, optional Header and Body to the request element.
class CSOAPRequest {
 public:
  explicit CSOAPRequest(const char* text) : text_(text) {}
  virtual ~CSOAPRequest() = default;
  // Names root SOAP-ENV:Envelope, gives it its attributes and body, and fills the body with the
  // handler's response or one fault.
  virtual void Process(CXMLElement* root, RequestContext& context);

 private:
  const char* text_;
};

// The request element inside the body: reads its sequence and runs its handler.
class CSOAPRequestElement {
 public:
  explicit CSOAPRequestElement(XmlNode node) : node_(node) {}
  virtual ~CSOAPRequestElement() = default;
  virtual void Process(CXMLElement* body, RequestContext& context);

 private:
  XmlNode node_;
};

// The sequence attribute's value read like strtoul with base 10 on a 32-bit unsigned long:
// leading blanks skipped, an optional sign, digits up to the first non-digit, 0 for none,
// 4294967295 on overflow, a minus sign negating the result modulo 2^32.
std::uint32_t ParseSequence(const std::string& text);

// The parse-error faultstring (before escaping).
std::string ParseErrorText(const XmlParseError& error);

}  // namespace zeb
