#include "support/SchemaValidator.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zeb::test {

namespace {

constexpr char kEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kZebNs[] = "http://www.tarvo.com/ZEB/1.0";

struct FreeDoc {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, FreeDoc>;

void CollectError(void* context, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  *static_cast<std::string*>(context) += text;
}

bool Is(const xmlNode* node, const char* ns, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && node->ns && std::strcmp(reinterpret_cast<const char*>(node->ns->href), ns) == 0 &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool IsUnqualified(const xmlNode* node, const char* name) {
  return node && node->type == XML_ELEMENT_NODE && !node->ns && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

xmlNode* FirstElement(xmlNode* node) {
  while (node && node->type != XML_ELEMENT_NODE) node = node->next;
  return node;
}

xmlNode* NextElement(xmlNode* node) { return FirstElement(node ? node->next : nullptr); }

DocPtr Parse(const std::string& text) {
  return DocPtr(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// The Body element of an envelope, or null.
xmlNode* BodyOf(xmlDoc* doc) {
  xmlNode* envelope = xmlDocGetRootElement(doc);
  if (!Is(envelope, kEnvelopeNs, "Envelope")) return nullptr;
  xmlNode* body = FirstElement(envelope->children);
  if (Is(body, kEnvelopeNs, "Header")) body = NextElement(body);
  return Is(body, kEnvelopeNs, "Body") ? body : nullptr;
}

// The server reads elements by their local names and never looks at namespaces: each element
// below takes its local name (a prefix that no declaration binds stays part of the parsed name)
// and no namespace.
void ReadLikeTheServer(xmlNode* element) {
  for (xmlNode* node = element; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const char* name = reinterpret_cast<const char*>(node->name);
    if (const char* colon = std::strrchr(name, ':'))
      xmlNodeSetName(node, reinterpret_cast<const xmlChar*>(colon + 1));
    node->ns = nullptr;
    ReadLikeTheServer(node->children);
  }
}

}  // namespace

struct SchemaValidator::Compiled {
  xmlSchemaPtr schema = nullptr;
  ~Compiled() {
    if (schema) xmlSchemaFree(schema);
  }

  // Validates a copy of element as the root of a document of its own; asRead validates it the
  // way the server reads it (below).
  std::string Validate(const xmlNode* element, bool asRead) const {
    DocPtr doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    xmlNode* copy = xmlDocCopyNode(const_cast<xmlNode*>(element), doc.get(), 1);
    xmlDocSetRootElement(doc.get(), copy);
    if (asRead) {
      ReadLikeTheServer(copy);
      copy->ns =
          xmlNewNs(copy, reinterpret_cast<const xmlChar*>(kZebNs), reinterpret_cast<const xmlChar*>("zeb"));
    }
    std::string errors;
    xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(context, CollectError, CollectError, &errors);
    const int result = xmlSchemaValidateDoc(context, doc.get());
    xmlSchemaFreeValidCtxt(context);
    if (result == 0) return "";
    return errors.empty() ? "not valid (libxml2 gave no reason)" : errors;
  }
};

SchemaValidator::SchemaValidator(const std::string& schemaText) : compiled_(std::make_unique<Compiled>()) {
  std::string errors;
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewMemParserCtxt(schemaText.data(), static_cast<int>(schemaText.size()));
  xmlSchemaSetParserErrors(parser, CollectError, CollectError, &errors);
  compiled_->schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (!compiled_->schema) throw std::runtime_error("the schema does not compile: " + errors);
}

SchemaValidator::~SchemaValidator() = default;

std::string SchemaValidator::CheckResponse(const std::string& envelope) const {
  DocPtr doc = Parse(envelope);
  if (!doc) return "the response is not well-formed XML";
  xmlNode* body = BodyOf(doc.get());
  if (!body) return "the response is not a SOAP envelope with a body";
  xmlNode* answer = FirstElement(body->children);
  if (!answer || NextElement(answer)) return "the response body must hold exactly one element";
  if (!Is(answer, kEnvelopeNs, "Fault")) return compiled_->Validate(answer, false);

  // A fault: faultcode, faultstring and, for a refused request, detail holding zeb:error.
  xmlNode* code = FirstElement(answer->children);
  xmlNode* text = NextElement(code);
  xmlNode* detail = NextElement(text);
  if (!IsUnqualified(code, "faultcode") || !IsUnqualified(text, "faultstring") || (detail && NextElement(detail)))
    return "a fault holds faultcode, faultstring and an optional detail";
  if (!detail) return "";
  xmlNode* error = FirstElement(detail->children);
  if (!IsUnqualified(detail, "detail") || !error || NextElement(error)) return "a fault's detail holds one element";
  return compiled_->Validate(error, false);
}

std::string SchemaValidator::CheckRequest(const std::string& envelope) const {
  DocPtr doc = Parse(envelope);
  if (!doc) return "the request is not well-formed XML";
  // The server finds the envelope and body by their local names alone.
  auto named = [](const xmlNode* node, const char* name) {
    return node && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
  };
  xmlNode* body = FirstElement(xmlDocGetRootElement(doc.get()));
  body = named(body, "Envelope") ? FirstElement(body->children) : nullptr;
  if (named(body, "Header")) body = NextElement(body);
  xmlNode* request = named(body, "Body") ? FirstElement(body->children) : nullptr;
  if (!request) return "the request is not a SOAP envelope with a request element";
  return compiled_->Validate(request, true);
}

}  // namespace zeb::test
