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

// The top-level names the fragments define, each with the kind of component that has it
// ("complexType", "simpleType", "element", "group", "attributeGroup"). One name, one component:
// many generators keep a single name space for types, elements and groups.
using Definitions = std::map<std::string, std::string>;

bool IsXsd(const xmlNode* node, const char* kind) {
  return node->type == XML_ELEMENT_NODE && InNamespace(node, kXsdNs) && Text(node->name) == kind;
}

bool IsType(const std::string& kind) { return kind == "complexType" || kind == "simpleType"; }

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
    const std::string name = Attribute(child, "name");
    if (name.empty()) fail("a top-level xsd:" + kind + " without a name");
    const auto [at, added] = defined->emplace(name, kind);
    if (added) continue;
    const auto space = [](const std::string& k) { return IsType(k) ? std::string("type") : k; };
    if (space(at->second) == space(kind)) fail(space(kind) + " " + name + " is defined twice");
    fail(kind + " " + name + " has the name of a " + at->second);
  }
  const std::size_t open = fragment.text.find('>', fragment.text.find("<xsd:schema")) + 1;
  const std::size_t close = fragment.text.rfind(kSchemaClose);
  return fragment.text.substr(open, close - open);
}

std::string SchemaStart(const char* indent) {
  return std::string(indent) + "<xsd:schema xmlns:xsd=\"" + kXsdNs + "\" xmlns:zeb=\"" + kZebNs +
         "\" targetNamespace=\"" + kZebNs + "\" elementFormDefault=\"unqualified\" attributeFormDefault=\"unqualified\">\n";
}

// --- expanding groups ---
// The served documents hold no xsd:group and no xsd:attributeGroup: some generators cannot read
// them. Each reference is replaced by a copy of what the group holds (a group reference's
// occurrence bounds go onto the copied particle), and the definitions are left out.

using Groups = std::map<std::pair<std::string, std::string>, xmlNode*>;  // (kind, name) -> definition

// Points node and its descendants at the root's xsd and zeb declarations, and drops the
// declarations a copy from elsewhere in the document brought along (children first: their
// namespaces may be declared on node).
void UseRootNamespaces(xmlDoc* doc, xmlNode* node) {
  for (xmlNode* child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) UseRootNamespaces(doc, child);
  }
  if (node->ns) node->ns = xmlSearchNs(doc, xmlDocGetRootElement(doc), node->ns->prefix);
  if (node->nsDef) {
    xmlFreeNsList(node->nsDef);
    node->nsDef = nullptr;
  }
}

bool IsGroupDefinition(const xmlNode* node) {
  return node && (IsXsd(node, "group") || IsXsd(node, "attributeGroup"));
}

// Replaces the group references under parent. budget bounds the expansions, so that groups
// that refer to each other stop the start instead of looping.
void ExpandReferences(xmlDoc* doc, xmlNode* parent, const Groups& groups, int* budget) {
  for (xmlNode* child = parent->children; child;) {
    xmlNode* next = child->next;
    if (!IsGroupDefinition(child) || !xmlHasProp(child, BAD_CAST "ref")) {
      if (child->type == XML_ELEMENT_NODE) ExpandReferences(doc, child, groups, budget);
      child = next;
      continue;
    }
    if (--*budget < 0) throw std::runtime_error("schema groups refer to each other without end");
    std::string ref = Attribute(child, "ref");
    ref = ref.substr(ref.find(':') + 1);
    const auto definition = groups.find({Text(child->name), ref});
    if (definition == groups.end()) throw std::runtime_error("no " + Text(child->name) + " named " + ref);
    xmlNode* first = nullptr;
    for (xmlNode* part = definition->second->children; part; part = part->next) {
      if (part->type != XML_ELEMENT_NODE || IsXsd(part, "annotation")) continue;
      xmlNode* copy = xmlAddPrevSibling(child, xmlDocCopyNode(part, doc, 1));
      UseRootNamespaces(doc, copy);
      for (const char* bound : {"minOccurs", "maxOccurs"}) {
        if (IsXsd(child, "group") && xmlHasProp(child, BAD_CAST bound))
          xmlSetProp(copy, BAD_CAST bound, BAD_CAST Attribute(child, bound).c_str());
      }
      if (!first) first = copy;
    }
    xmlUnlinkNode(child);
    xmlFreeNode(child);
    child = first ? first : next;  // the copies may hold references themselves
  }
}

// The definitions text with every group reference expanded and the group definitions (and the
// comment just before each) left out.
std::string ExpandGroups(const std::string& definitions) {
  const std::string text = SchemaStart("") + definitions + kSchemaClose;
  std::unique_ptr<xmlDoc, FreeDoc> doc(
      xmlReadMemory(text.data(), static_cast<int>(text.size()), "schema", nullptr, XML_PARSE_NONET));
  if (!doc) throw std::runtime_error("schema fragments do not make one document");
  xmlNode* root = xmlDocGetRootElement(doc.get());
  Groups groups;
  for (xmlNode* child = root->children; child; child = child->next) {
    if (IsGroupDefinition(child)) groups[{Text(child->name), Attribute(child, "name")}] = child;
  }
  int budget = 100000;
  for (xmlNode* child = root->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && !IsGroupDefinition(child))
      ExpandReferences(doc.get(), child, groups, &budget);
  }
  // Each definition goes, with its comment and the blanks before them.
  std::set<xmlNode*> left;
  for (xmlNode* child = root->children; child; child = child->next) {
    if (!IsGroupDefinition(child)) continue;
    xmlNode* first = child;
    if (first->prev && first->prev->type == XML_TEXT_NODE && first->prev->prev &&
        first->prev->prev->type == XML_COMMENT_NODE)
      first = first->prev->prev;
    if (first->prev && first->prev->type == XML_TEXT_NODE) first = first->prev;
    for (xmlNode* node = first; node != child->next; node = node->next) left.insert(node);
  }
  std::string out;
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
  for (xmlNode* child = root->children; child; child = child->next) {
    if (left.count(child)) continue;
    xmlBufferEmpty(buffer.get());
    xmlNodeDump(buffer.get(), doc.get(), child, 0, 0);
    out.append(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())), xmlBufferLength(buffer.get()));
  }
  return out;
}

// The global request and response elements, one pair per method.
std::string MethodElements(const std::vector<std::string>& methods, const Definitions& defined) {
  const auto isType = [&](const std::string& name) {
    const auto at = defined.find(name);
    return at != defined.end() && IsType(at->second);
  };
  std::string text = "  <!-- Request and response elements, one pair per method. -->\n";
  for (const std::string& method : methods) {
    const std::string request = MethodTypeName(method, "Request");
    if (!isType(request)) throw std::runtime_error("method " + method + " has no type " + request);
    for (const std::string& element : {method, method + "Response"}) {
      if (defined.count(element))
        throw std::runtime_error("method element " + element + " has the name of a " + defined.at(element));
    }
    std::string response = MethodTypeName(method, "Response");
    if (!isType(response)) response = "StandardResponse";
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
  const std::string body = MethodElements(methods, defined) + ExpandGroups(definitions);

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
