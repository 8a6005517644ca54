#include "wsdl/ServiceDocuments.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "dispatch/MethodTable.h"
#include "soap/CXMLElement.h"
#include "soap/Namespaces.h"
#include "wsdl/EmbeddedFiles.h"

namespace zeb::wsdl {

namespace {

constexpr char kXsdNs[] = "http://www.w3.org/2001/XMLSchema";
constexpr char kWsdlNs[] = "http://schemas.xmlsoap.org/wsdl/";
constexpr char kWsdlSoapNs[] = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr char kSchemaClose[] = "</xsd:schema>";

struct FreeDoc {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

std::string Text(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = Text(value);
  xmlFree(value);
  return text;
}

bool InNamespace(const xmlNode* node, const char* uri) { return node->ns && Text(node->ns->href) == uri; }

// The names a fragment defines, by symbol space: types, elements, groups, attribute groups.
using Definitions = std::map<std::string, std::set<std::string>>;

// Checks the fragment's root and records its top-level names. Returns the text between the
// root's start and end tags, which goes into the schema unchanged.
std::string ReadFragment(const SchemaFragment& fragment, Definitions* defined) {
  auto fail = [&](const std::string& why) { throw std::runtime_error("schema fragment " + fragment.name + ": " + why); };
  std::unique_ptr<xmlDoc, FreeDoc> doc(xmlReadMemory(fragment.text.data(), static_cast<int>(fragment.text.size()),
                                                     fragment.name.c_str(), nullptr,
                                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) fail("not well-formed");
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || Text(root->name) != "schema" || !InNamespace(root, kXsdNs) || !root->ns->prefix ||
      Text(root->ns->prefix) != "xsd")
    fail("the root must be xsd:schema");
  if (root->properties) fail("the root takes no attributes besides xmlns:xsd and xmlns:zeb");
  for (xmlNs* ns = root->nsDef; ns; ns = ns->next) {
    const std::string prefix = Text(ns->prefix);
    if (!((prefix == "xsd" && Text(ns->href) == kXsdNs) || (prefix == "zeb" && Text(ns->href) == kZebNs)))
      fail("namespace declaration '" + prefix + "' other than xsd and zeb");
  }
  for (xmlNode* child = root->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (child->nsDef) fail("namespace declarations belong on the root only");
    const std::string kind = Text(child->name);
    const std::string space = kind == "complexType" || kind == "simpleType" ? "type" : kind;
    const std::string name = Attribute(child, "name");
    if (name.empty()) fail("a top-level xsd:" + kind + " without a name");
    if (!(*defined)[space].insert(name).second) fail(space + " " + name + " is defined twice");
  }
  const std::size_t open = fragment.text.find('>', fragment.text.find("<xsd:schema")) + 1;
  const std::size_t close = fragment.text.rfind(kSchemaClose);
  return fragment.text.substr(open, close - open);
}

std::string SchemaStart(const char* indent) {
  return std::string(indent) + "<xsd:schema xmlns:xsd=\"" + kXsdNs + "\" xmlns:zeb=\"" + kZebNs +
         "\" targetNamespace=\"" + kZebNs + "\" elementFormDefault=\"unqualified\" attributeFormDefault=\"unqualified\">\n";
}

// The global request and response elements, one pair per method.
std::string MethodElements(const std::vector<std::string>& methods, const std::set<std::string>& types) {
  std::string text = "  <!-- Request and response elements, one pair per method. -->\n";
  for (const std::string& method : methods) {
    const std::string request = MethodTypeName(method, "Request");
    if (!types.count(request)) throw std::runtime_error("method " + method + " has no type " + request);
    std::string response = MethodTypeName(method, "Response");
    if (!types.count(response)) response = "StandardResponse";
    text += "  <xsd:element name=\"" + method + "\" type=\"zeb:" + request + "\"/>\n";
    text += "  <xsd:element name=\"" + method + "Response\" type=\"zeb:" + response + "\"/>\n";
  }
  return text;
}

std::string WsdlMessagesAndPortType(const std::vector<std::string>& methods) {
  std::string text;
  for (const std::string& method : methods) {
    text += "  <wsdl:message name=\"" + method + "Input\"><wsdl:part name=\"parameters\" element=\"zeb:" + method +
            "\"/></wsdl:message>\n";
    text += "  <wsdl:message name=\"" + method + "Output\"><wsdl:part name=\"parameters\" element=\"zeb:" + method +
            "Response\"/></wsdl:message>\n";
  }
  text += "  <wsdl:message name=\"ZebFault\"><wsdl:part name=\"error\" element=\"zeb:error\"/></wsdl:message>\n";
  text += "  <wsdl:portType name=\"ZebPortType\">\n";
  for (const std::string& method : methods) {
    text += "    <wsdl:operation name=\"" + method + "\"><wsdl:input message=\"zeb:" + method +
            "Input\"/><wsdl:output message=\"zeb:" + method +
            "Output\"/><wsdl:fault name=\"error\" message=\"zeb:ZebFault\"/></wsdl:operation>\n";
  }
  return text + "  </wsdl:portType>\n";
}

std::string WsdlBinding(const std::vector<std::string>& methods) {
  std::string text =
      "  <wsdl:binding name=\"ZebBinding\" type=\"zeb:ZebPortType\">\n"
      "    <soap:binding style=\"document\" transport=\"http://schemas.xmlsoap.org/soap/http\"/>\n";
  for (const std::string& method : methods) {
    text += "    <wsdl:operation name=\"" + method +
            "\"><soap:operation soapAction=\"\" style=\"document\"/>"
            "<wsdl:input><soap:body use=\"literal\"/></wsdl:input>"
            "<wsdl:output><soap:body use=\"literal\"/></wsdl:output>"
            "<wsdl:fault name=\"error\"><soap:fault name=\"error\" use=\"literal\"/></wsdl:fault>"
            "</wsdl:operation>\n";
  }
  return text + "  </wsdl:binding>\n";
}

}  // namespace

std::string MethodTypeName(std::string_view method, std::string_view suffix) {
  std::string name(method);
  if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  return name.append(suffix);
}

ServiceDocuments::ServiceDocuments(const std::vector<SchemaFragment>& fragments,
                                   const std::vector<std::string>& methods) {
  Definitions defined;
  std::string definitions;
  for (const SchemaFragment& fragment : fragments) definitions += ReadFragment(fragment, &defined);
  const std::string body = MethodElements(methods, defined["type"]) + definitions;

  schema_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + SchemaStart("") + body + kSchemaClose + "\n";

  wsdlHead_ = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + "<wsdl:definitions xmlns:wsdl=\"" +
              kWsdlNs + "\" xmlns:soap=\"" + kWsdlSoapNs + "\" xmlns:xsd=\"" + kXsdNs + "\" xmlns:zeb=\"" + kZebNs +
              "\" targetNamespace=\"" + kZebNs + "\" name=\"ZebApi\">\n" + "<wsdl:types>\n" + SchemaStart("") + body +
              kSchemaClose + "\n</wsdl:types>\n" + WsdlMessagesAndPortType(methods) + WsdlBinding(methods) +
              "  <wsdl:service name=\"ZebService\">\n"
              "    <wsdl:port name=\"ZebPort\" binding=\"zeb:ZebBinding\"><soap:address location=\"";
  wsdlTail_ = "\"/></wsdl:port>\n  </wsdl:service>\n</wsdl:definitions>\n";
}

std::string ServiceDocuments::Wsdl(std::string_view location) const {
  return wsdlHead_ + EscapeXML(std::string(location)) + wsdlTail_;
}

const ServiceDocuments& Documents() {
  static const ServiceDocuments documents = [] {
    std::vector<SchemaFragment> fragments;
    for (std::size_t i = 0; i < kEmbeddedFileCount; ++i)
      fragments.push_back({kEmbeddedFiles[i].name, kEmbeddedFiles[i].text});
    std::vector<std::string> methods;
    for (const MethodEntry& entry : MethodTable()) methods.emplace_back(entry.name);
    return ServiceDocuments(fragments, methods);
  }();
  return documents;
}

}  // namespace zeb::wsdl
