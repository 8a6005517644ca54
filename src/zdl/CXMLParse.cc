#include "zdl/CXMLParse.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

void IgnoreError(void*, xmlErrorPtr) {}

// The content parsed as the children of a wrapper element, or null when it is not well-formed.
// No network, no DTD, no entity substitution.
DocPtr ParseContent(const std::string& content) {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
  const std::string text = "<content>" + content + "</content>";
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (!ctxt) throw CZDLException(kZDLOutOfMemory, "Not enough memory to process request.");
  ctxt->sax->serror = IgnoreError;
  const int options = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR | XML_PARSE_IGNORE_ENC;
  DocPtr doc(xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", options));
  const bool wellFormed = ctxt->wellFormed;
  xmlFreeParserCtxt(ctxt);
  if (!wellFormed || !doc || !xmlDocGetRootElement(doc.get())) return nullptr;
  return doc;
}

std::string QualifiedName(const xmlNode* node) {
  std::string name = reinterpret_cast<const char*>(node->name);
  if (node->ns && node->ns->prefix) return reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
  return name;
}

bool HasElementChild(const xmlNode* node) {
  for (const xmlNode* child = node->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return true;
  }
  return false;
}

// The child elements of parent by qualified name, in document order.
std::map<std::string, std::vector<xmlNode*>> ChildrenByName(xmlNode* parent) {
  std::map<std::string, std::vector<xmlNode*>> children;
  for (xmlNode* child = parent->children; child; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) children[QualifiedName(child)].push_back(child);
  }
  return children;
}

std::string Serialize(const xmlNode* first) {
  std::string text;
  xmlBufferPtr buffer = xmlBufferCreate();
  if (!buffer) throw CZDLException(kZDLOutOfMemory, "Not enough memory to process request.");
  for (const xmlNode* node = first; node; node = node->next) {
    xmlBufferEmpty(buffer);
    xmlNodeDump(buffer, node->doc, const_cast<xmlNode*>(node), 0, 0);
    text.append(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
  }
  xmlBufferFree(buffer);
  return text;
}

void CopyAttributes(const xmlNode* from, xmlNode* to) {
  for (const xmlAttr* attr = from->properties; attr; attr = attr->next) {
    xmlChar* value = xmlNodeListGetString(from->doc, attr->children, 1);
    std::string name = reinterpret_cast<const char*>(attr->name);
    if (attr->ns && attr->ns->prefix) name = reinterpret_cast<const char*>(attr->ns->prefix) + (":" + name);
    xmlSetProp(to, reinterpret_cast<const xmlChar*>(name.c_str()), value);
    xmlFree(value);
  }
}

void ReplaceContent(const xmlNode* from, xmlNode* to) {
  while (xmlNode* child = to->children) {
    xmlUnlinkNode(child);
    xmlFreeNode(child);
  }
  if (from->children) xmlAddChildList(to, xmlDocCopyNodeList(to->doc, from->children));
}

// Pairs by index, so that a change with many siblings costs linear time.
void MergeChildren(const xmlNode* change, xmlNode* target) {
  const std::map<std::string, std::vector<xmlNode*>> current = ChildrenByName(target);
  std::map<std::string, std::size_t> occurrences;
  for (const xmlNode* element = change->children; element; element = element->next) {
    if (element->type != XML_ELEMENT_NODE) continue;
    const std::string name = QualifiedName(element);
    const std::size_t occurrence = occurrences[name]++;
    auto sameName = current.find(name);
    xmlNode* paired =
        sameName != current.end() && occurrence < sameName->second.size() ? sameName->second[occurrence] : nullptr;
    if (!paired) {
      xmlAddChild(target, xmlDocCopyNode(const_cast<xmlNode*>(element), target->doc, 1));
      continue;
    }
    CopyAttributes(element, paired);
    if (HasElementChild(element)) {
      MergeChildren(element, paired);
    } else {
      ReplaceContent(element, paired);
    }
  }
}

}  // namespace

std::string CXMLParse::XMLChange(const std::string& current, const std::string& change) {
  DocPtr changeDoc = ParseContent(change);
  if (!changeDoc) throw CZDLException(kZDLInvalidParameter, "The new value is not well-formed XML content.");
  const xmlNode* changeRoot = xmlDocGetRootElement(changeDoc.get());
  if (!HasElementChild(changeRoot)) {
    xmlChar* text = xmlNodeGetContent(changeRoot);
    std::string value = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return value;
  }
  DocPtr currentDoc = ParseContent(current);
  if (!currentDoc || !HasElementChild(xmlDocGetRootElement(currentDoc.get()))) return Serialize(changeRoot->children);
  xmlNode* currentRoot = xmlDocGetRootElement(currentDoc.get());
  MergeChildren(changeRoot, currentRoot);
  return Serialize(currentRoot->children);
}

}  // namespace zeb::zdl
