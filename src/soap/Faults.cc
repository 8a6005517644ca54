#include "soap/Faults.h"

#include "soap/Namespaces.h"

namespace zeb {

void AddFault(CXMLElement* parent, const std::string& faultcode, const std::string& faultstring) {
  CXMLElement* fault = parent->AddNewChild("SOAP-ENV:Fault");
  fault->AddChild("faultcode", faultcode);
  fault->AddChild("faultstring", faultstring);
}

namespace {

std::string WrittenZebAttributes(const std::string& schemaLocation) {
  CXMLElement element;
  element.AddAttribute("xmlns:zeb", kZebNs);
  element.AddAttribute("xmlns:xsi", kXsiNs);
  element.AddAttribute("xsi:schemaLocation", schemaLocation);
  return element.GetAttributeText();
}

}  // namespace

const std::string& ZebAttributeText(const std::string& schemaLocation) {
  // Nearly every response carries one of two locations: the module-wide one, or the one of the
  // first handler that answered (this machine's).
  static const std::string moduleWide = WrittenZebAttributes(kSchemaLocation);
  if (schemaLocation == kSchemaLocation) return moduleWide;
  static const std::string local = schemaLocation;
  static const std::string localText = WrittenZebAttributes(local);
  if (schemaLocation == local) return localText;
  thread_local std::string other;
  other = WrittenZebAttributes(schemaLocation);
  return other;
}

void AddZebAttributes(CXMLElement* element, const std::string& schemaLocation, Sequence sequence) {
  element->AppendAttributeText(ZebAttributeText(schemaLocation));
  if (sequence) element->AddAttribute("sequence", std::to_string(static_cast<std::int32_t>(*sequence)));
}

void AddDetailedFault(const std::string& schemaLocation, CXMLElement* parent, const std::string& method, int code,
                      Sequence sequence, const std::string& message) {
  const std::string cdata = "<![CDATA[" + message + "]]>";
  CXMLElement* fault = parent->AddNewChild("SOAP-ENV:Fault");
  fault->AddChild("faultcode", "SOAP-ENV:Client");
  fault->AddNewChild("faultstring")->AddRawChild(cdata);
  CXMLElement* error = fault->AddNewChild("detail")->AddNewChild("zeb:error");
  AddZebAttributes(error, schemaLocation, sequence);
  error->AddChild("code", std::to_string(code));
  error->AddNewChild("message")->AddRawChild(cdata);
  error->AddChild("request", method);
}

}  // namespace zeb
