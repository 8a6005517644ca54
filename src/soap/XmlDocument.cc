#include "soap/XmlDocument.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
// After parser.h, which declares the types they use.
#include <libxml/dict.h>
#include <libxml/encoding.h>

#include <cstring>
#include <mutex>

#include "soap/ZebExceptions.h"

namespace zeb {

namespace {

constexpr std::uint32_t kXmlCodeBase = 0xC00CE000u;

void IgnoreGenericError(void*, const char*, ...) {}

void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
  // The generic handler is per thread in libxml2; keep the parser quiet on every thread.
  xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
}

struct ParseState {
  bool doctype = false;
  long doctypeLine = 0;
  long doctypeColumn = 0;
  bool haveError = false;
  bool haveFatal = false;
  std::string firstMessage;
  std::string fatalMessage;
  int firstCode = 0, fatalCode = 0;
  long firstLine = 0, firstColumn = 0, fatalLine = 0, fatalColumn = 0;
};

void OnStructuredError(void* userData, xmlErrorPtr error) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
  auto* state = static_cast<ParseState*>(ctxt->_private);
  if (!state || !error || error->level < XML_ERR_ERROR) return;
  std::string message = error->message ? error->message : "";
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (!state->haveError) {
    state->haveError = true;
    state->firstMessage = message;
    state->firstCode = error->code;
    state->firstLine = error->line;
    state->firstColumn = error->int2;
  }
  if (error->level == XML_ERR_FATAL && !state->haveFatal) {
    state->haveFatal = true;
    state->fatalMessage = message;
    state->fatalCode = error->code;
    state->fatalLine = error->line;
    state->fatalColumn = error->int2;
  }
}

// A document type declaration may carry entity definitions; requests never need one, so the
// parse stops at the first.
void OnInternalSubset(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
  auto* state = static_cast<ParseState*>(ctxt->_private);
  state->doctype = true;
  state->doctypeLine = ctxt->input ? ctxt->input->line : 0;
  state->doctypeColumn = ctxt->input ? ctxt->input->col : 0;
  xmlStopParser(ctxt);
}

// One parser context per thread, reused across requests: making and freeing a context and its
// name dictionary costs more than a small request's parse. The context is replaced when its
// dictionary has grown large, so that requests full of distinct names cannot grow it forever.
class ThreadParser {
 public:
  ~ThreadParser() {
    if (ctxt_) xmlFreeParserCtxt(ctxt_);
  }
  xmlParserCtxtPtr Get() {
    if (ctxt_ && ctxt_->dict && static_cast<std::size_t>(xmlDictSize(ctxt_->dict)) > kMaxDictionaryNames) {
      xmlFreeParserCtxt(ctxt_);
      ctxt_ = nullptr;
    }
    if (!ctxt_) {
      ctxt_ = xmlNewParserCtxt();
      if (!ctxt_) throw CComError(0x8007000Eu, "Not enough storage is available to complete this operation.");
      ctxt_->sax->serror = OnStructuredError;
      ctxt_->sax->internalSubset = OnInternalSubset;
      ctxt_->vctxt.error = nullptr;
      ctxt_->vctxt.warning = nullptr;
    }
    return ctxt_;
  }

 private:
  static constexpr std::size_t kMaxDictionaryNames = 4096;
  xmlParserCtxtPtr ctxt_ = nullptr;
};

std::string SourceLine(const char* text, std::size_t length, long line) {
  if (line < 1) line = 1;
  std::size_t pos = 0;
  for (long current = 1; current < line && pos < length; ++pos) {
    if (text[pos] == '\n') ++current;
  }
  std::size_t end = pos;
  while (end < length && text[end] != '\n' && text[end] != '\r') ++end;
  return std::string(text + pos, end - pos);
}

std::string ContentOf(const xmlNode* node) {
  return node->content ? reinterpret_cast<const char*>(node->content) : "";
}

// Parses a text held whole in memory, as xmlCtxtReadMemory does, except that the input has no
// read callback. A memory input's callback has nothing more to give, yet the parser calls it at
// every step through the last few hundred bytes of a document, which for a request of a few
// hundred bytes is most of it. The text is UTF-8 whatever it looks like: first bytes that the
// parser would take for another encoding (EBCDIC, say, which has no NUL byte to end the request
// text early) are read as UTF-8 all the same, and so answered with a parse error.
// Returns the document, or null if the text is not well-formed.
xmlDocPtr ParseWhole(xmlParserCtxtPtr ctxt, const char* text, std::size_t length, int options) {
  bool otherEncoding = false;
  if (length >= 4) {
    const xmlCharEncoding encoding = xmlDetectCharEncoding(reinterpret_cast<const xmlChar*>(text), 4);
    otherEncoding = encoding != XML_CHAR_ENCODING_NONE && encoding != XML_CHAR_ENCODING_UTF8;
  }
  xmlCtxtReset(ctxt);
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateMem(text, static_cast<int>(length), XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  buffer->readcallback = nullptr;
  buffer->closecallback = nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  inputPush(ctxt, input);
  xmlCtxtUseOptions(ctxt, options);
  // A known encoding turns off the parser's guess from the first bytes; a UTF-8 text keeps the
  // guess, which is what skips its byte order mark. xmlCtxtReset frees the name.
  if (otherEncoding) ctxt->encoding = xmlStrdup(reinterpret_cast<const xmlChar*>("UTF-8"));
  xmlParseDocument(ctxt);
  xmlDocPtr doc = ctxt->myDoc;
  ctxt->myDoc = nullptr;
  if (doc && !ctxt->wellFormed) {
    xmlFreeDoc(doc);
    return nullptr;
  }
  return doc;
}

}  // namespace

// --- XmlNode ---

bool XmlNode::IsElement() const { return node_ && node_->type == XML_ELEMENT_NODE; }

std::string XmlNode::Name() const {
  if (!node_ || !node_->name) return "";
  std::string name = reinterpret_cast<const char*>(node_->name);
  if (node_->ns && node_->ns->prefix && (node_->type == XML_ELEMENT_NODE || node_->type == XML_ATTRIBUTE_NODE)) {
    return reinterpret_cast<const char*>(node_->ns->prefix) + (":" + name);
  }
  return name;
}

// The name after its last colon. libxml2 keeps a declared prefix apart from the name, and leaves
// an undeclared one in it.
const char* XmlNode::LocalNameText() const {
  if (!node_ || !node_->name) return "";
  const char* name = reinterpret_cast<const char*>(node_->name);
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

std::string XmlNode::LocalName() const { return LocalNameText(); }

bool XmlNode::Is(const char* localName) const {
  return node_ && std::strcmp(LocalNameText(), localName) == 0;
}

XmlNode XmlNode::FirstChild() const { return XmlNode(node_ ? node_->children : nullptr); }
XmlNode XmlNode::NextSibling() const { return XmlNode(node_ ? node_->next : nullptr); }

XmlNode XmlNode::FirstElementChild() const {
  XmlNode child = FirstChild();
  while (child && !child.IsElement()) child = child.NextSibling();
  return child;
}

XmlNode XmlNode::NextElementSibling() const {
  XmlNode next = NextSibling();
  while (next && !next.IsElement()) next = next.NextSibling();
  return next;
}

std::optional<std::string> XmlNode::NodeValue() const {
  if (!node_) return std::nullopt;
  switch (node_->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      return ContentOf(node_);
    case XML_ATTRIBUTE_NODE: {
      xmlChar* value = xmlNodeListGetString(node_->doc, node_->children, 1);
      std::string text = value ? reinterpret_cast<const char*>(value) : "";
      xmlFree(value);
      return text;
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::string> XmlNode::Value() const {
  if (!node_) throw CComError(kComPointer, "Invalid pointer");
  XmlNode first = FirstChild();
  if (!first) return std::nullopt;
  auto value = first.NodeValue();
  if (!value) throw CComError(kComTypeMismatch, "Type mismatch.");
  return value;
}

// libxml2 keeps namespace declarations apart from the other attributes; in the element's
// attribute map they are attributes like the rest.
bool XmlNode::HasAttributes() const {
  return node_ && node_->type == XML_ELEMENT_NODE && (node_->properties || node_->nsDef);
}

std::optional<std::string> XmlNode::Attribute(const char* name) const {
  if (!node_ || node_->type != XML_ELEMENT_NODE) return std::nullopt;
  for (xmlAttr* attr = node_->properties; attr; attr = attr->next) {
    XmlNode handle(reinterpret_cast<xmlNode*>(attr));
    if (handle.Name() == name) return handle.NodeValue();
  }
  return std::nullopt;
}

std::string XmlNode::Xml() const {
  if (!node_) return "";
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlNodeDump(buffer, node_->doc, node_, 0, 0);
  std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
  xmlBufferFree(buffer);
  return text;
}

// --- XmlDocument ---

XmlDocument::XmlDocument() { InitLibxml(); }

XmlDocument::~XmlDocument() {
  if (doc_) xmlFreeDoc(doc_);
}

bool XmlDocument::LoadXML(const char* text, std::size_t length) {
  if (doc_) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
  }
  error_ = XmlParseError{};
  thread_local ThreadParser parser;
  xmlParserCtxtPtr ctxt = parser.Get();
  ParseState state;
  ctxt->_private = &state;
  const int options = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_IGNORE_ENC;
  doc_ = ParseWhole(ctxt, length ? text : "", length, options);
  const bool ok = doc_ && ctxt->wellFormed && !state.doctype;
  ctxt->_private = nullptr;
  if (ok) return true;

  if (doc_) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
  }
  if (state.doctype) {
    error_.code = kXmlDoctypeRefused;
    error_.reason = "A document type declaration is not allowed in a request.";
    error_.line = state.doctypeLine;
    error_.linepos = state.doctypeColumn;
  } else if (state.haveFatal || state.haveError) {
    const bool fatal = state.haveFatal;
    error_.code = kXmlCodeBase + static_cast<std::uint32_t>(fatal ? state.fatalCode : state.firstCode);
    error_.reason = fatal ? state.fatalMessage : state.firstMessage;
    error_.line = fatal ? state.fatalLine : state.firstLine;
    error_.linepos = fatal ? state.fatalColumn : state.firstColumn;
  } else {
    error_.code = kXmlCodeBase + XML_ERR_DOCUMENT_EMPTY;
    error_.reason = "Document is empty";
    error_.line = 1;
    error_.linepos = 1;
  }
  error_.srcText = SourceLine(text, length, error_.line);
  return false;
}

XmlNode XmlDocument::FirstChild() const {
  return XmlNode(doc_ ? doc_->children : nullptr);
}

}  // namespace zeb
