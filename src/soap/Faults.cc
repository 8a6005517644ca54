#include "soap/Faults.h"

#include "soap/Namespaces.h"

namespace zeb {

void AddFault(CXMLElement* parent, const std::string& faultcode, const std::string& faultstring) {
  CXMLElement* fault = parent->AddNewChild("SOAP-ENV:Fault");
  fault->AddChild("faultcode", faultcode);
  fault->AddChild("faultstring", faultstring);
}

void AddZebAttributes(CXMLElement* element, const std::string& schemaLocation, Sequence sequence) {
  element->AddAttribute("xmlns:zeb", kZebNs);
  element->AddAttribute("xmlns:xsi", kXsiNs);
  element->AddAttribute("xsi:schemaLocation", schemaLocation);
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
