// The service documents: an XML Schema of every request and response element and a WSDL 1.1
// description (document/literal wrapped) that embeds it. The element and type definitions are
// kept as source fragments (src/wsdl/schema/*.xsd, compiled in); the parts that follow from the
// method table are generated: one global request and response element per method, and the
// WSDL's messages, port type, binding and operations.
//
// Naming rules that tie the two together: method m (for example "getPhone") has the request
// type M + "Request" ("GetPhoneRequest"), which a fragment must define, and the response type
// M + "Response" when a fragment defines one, else "StandardResponse" (a return holding the
// record's identifier or "true").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeb::wsdl {

// Where zebd serves the two documents, and the address clients post requests to.
inline constexpr char kSchemaPath[] = "/QMSApi/ZEB/V1/zebsoap.xsd";
inline constexpr char kWsdlPath[] = "/QMSApi/ZEB/V1/zebsoap.wsdl";
inline constexpr char kServicePath[] = "/QMSApi/ZEB/V1/";

struct SchemaFragment {
  std::string name;  // for messages, e.g. "Phones.xsd"
  std::string text;  // a whole xsd:schema document
};

class ServiceDocuments {
 public:
  // Builds both documents from the fragments for the methods, in the methods' order. Throws
  // std::runtime_error naming the problem: a fragment that is not well-formed or declares other
  // namespaces, a name defined twice, a method without its request type.
  ServiceDocuments(const std::vector<SchemaFragment>& fragments, const std::vector<std::string>& methods);

  // The schema document.
  const std::string& Schema() const { return schema_; }
  // The WSDL document whose soap:address names location (escaped here).
  std::string Wsdl(std::string_view location) const;
  // The WSDL around the escaped address, for callers that assemble it themselves.
  const std::string& WsdlHead() const { return wsdlHead_; }
  const std::string& WsdlTail() const { return wsdlTail_; }

 private:
  std::string schema_;
  std::string wsdlHead_;
  std::string wsdlTail_;
};

// The documents of this build: the compiled-in fragments and the dispatcher's method table.
// Built on first use; thread-safe.
const ServiceDocuments& Documents();

// The type name of a method's request or response: "getPhone", "Request" -> "GetPhoneRequest".
std::string MethodTypeName(std::string_view method, std::string_view suffix);

}  // namespace zeb::wsdl
