#include "support/SchemaValidator.h"

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zeb::test {

namespace {

constexpr char kEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";

struct FreeDoc {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, FreeDoc>;

void CollectError(void* errors, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  *static_cast<std::string*>(errors) += text;
}

xmlNode* Element(xmlNode* node) {
  while (node && node->type != XML_ELEMENT_NODE) node = node->next;
  return node;
}
xmlNode* Next(xmlNode* node) { return node ? Element(node->next) : nullptr; }

// True for an element of that local name in namespace ns ("" for none; null: any namespace).
bool Is(const xmlNode* node, const char* name, const char* ns = kEnvelopeNs) {
  if (!node || std::strcmp(reinterpret_cast<const char*>(node->name), name) != 0) return false;
  return !ns || std::strcmp(node->ns ? reinterpret_cast<const char*>(node->ns->href) : "", ns) == 0;
}

// The first element in the envelope's Body, or null.
xmlNode* RequestOrAnswer(xmlDoc* doc, const char* ns) {
  xmlNode* envelope = doc ? xmlDocGetRootElement(doc) : nullptr;
  xmlNode* body = Is(envelope, "Envelope", ns) ? Element(envelope->children) : nullptr;
  if (Is(body, "Header", ns)) body = Next(body);
  return Is(body, "Body", ns) ? Element(body->children) : nullptr;
}

// The server reads elements by their local names and never looks at namespaces: each element
// takes its local name (a prefix no declaration binds stays part of the parsed name) and none.
void ReadLikeTheServer(xmlNode* node) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (const char* colon = std::strrchr(reinterpret_cast<const char*>(node->name), ':'))
      xmlNodeSetName(node, reinterpret_cast<const xmlChar*>(colon + 1));
    node->ns = nullptr;
    ReadLikeTheServer(node->children);
  }
}

DocPtr Parse(const std::string& text) {
  return DocPtr(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

}  // namespace

struct SchemaValidator::Compiled {
  xmlSchemaPtr schema = nullptr;
  ~Compiled() { xmlSchemaFree(schema); }

  // Validates a copy of element as a document of its own; asRead: as the server reads it, in
  // the service namespace.
  std::string Validate(xmlNode* element, bool asRead) const {
    DocPtr doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    xmlNode* copy = xmlDocCopyNode(element, doc.get(), 1);
    xmlDocSetRootElement(doc.get(), copy);
    if (asRead) {
      ReadLikeTheServer(copy);
      copy->ns = xmlNewNs(copy, reinterpret_cast<const xmlChar*>("http://www.tarvo.com/ZEB/1.0"),
                          reinterpret_cast<const xmlChar*>("zeb"));
    }
    std::string errors;
    xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(context, CollectError, CollectError, &errors);
    const int result = xmlSchemaValidateDoc(context, doc.get());
    xmlSchemaFreeValidCtxt(context);
    return result == 0 ? "" : errors.empty() ? "not valid" : errors;
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
  xmlNode* answer = RequestOrAnswer(doc.get(), kEnvelopeNs);
  if (!answer || Next(answer)) return "not a SOAP envelope whose body holds one element";
  if (!Is(answer, "Fault")) return compiled_->Validate(answer, false);
  // A fault: faultcode, faultstring and, for a refused request, a detail holding zeb:error.
  xmlNode* code = Element(answer->children);
  xmlNode* text = Next(code);
  xmlNode* detail = Next(text);
  if (!Is(code, "faultcode", "") || !Is(text, "faultstring", "") || (detail && !Is(detail, "detail", "")) ||
      Next(detail))
    return "a fault holds faultcode, faultstring and an optional detail";
  xmlNode* error = detail ? Element(detail->children) : nullptr;
  if (detail && (!error || Next(error))) return "a fault's detail holds one element";
  return error ? compiled_->Validate(error, false) : "";
}

std::string SchemaValidator::CheckRequest(const std::string& envelope) const {
  // The server finds the envelope and the body by their local names alone.
  DocPtr doc = Parse(envelope);
  xmlNode* request = RequestOrAnswer(doc.get(), nullptr);
  return request ? compiled_->Validate(request, true) : "not a SOAP envelope with a request element";
}

}  // namespace zeb::test
