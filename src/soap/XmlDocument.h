// The request document: a hardened libxml2 parse of the request text (no network, no DTD, no
// entity substitution, the parser's size and depth limits on, a document type declaration
// refused) and a small node handle with the DOM operations the handlers need.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct _xmlNode;
struct _xmlDoc;

namespace zeb {

// A borrowed handle on a node of an XmlDocument; valid while the document lives.
class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(_xmlNode* node) : node_(node) {}

  explicit operator bool() const { return node_ != nullptr; }
  bool operator==(const XmlNode& other) const { return node_ == other.node_; }
  _xmlNode* raw() const { return node_; }

  bool IsElement() const;
  // Qualified name as written ("zeb:name"), and the part after the last ':' ("name").
  std::string Name() const;
  std::string LocalName() const;
  bool Is(const char* localName) const;

  XmlNode FirstChild() const;
  XmlNode NextSibling() const;
  // The first child (next sibling) that is an element, skipping text, comments and
  // processing instructions; a null handle when there is none.
  XmlNode FirstElementChild() const;
  XmlNode NextElementSibling() const;

  // The node's own value: the text of a text, CDATA, comment or processing instruction node.
  // An element has none (nullopt).
  std::optional<std::string> NodeValue() const;
  // The element's value: the node value of its first child node, unchanged (not trimmed).
  // nullopt when the element has no child node at all. Throws CComError when the first child
  // carries no value that converts to text (an element).
  std::optional<std::string> Value() const;

  bool HasAttributes() const;
  // The value of the attribute with this (qualified) name, or nullopt.
  std::optional<std::string> Attribute(const char* name) const;

  // The node's markup as the parser serialises it, tags included.
  std::string Xml() const;

 private:
  const char* LocalNameText() const;

  _xmlNode* node_ = nullptr;
};

struct XmlParseError {
  std::uint32_t code = 0;  // 0xC00CE000 + the libxml2 error number
  std::string reason;      // the parser's message, without a final line break
  std::string srcText;     // the text of the offending source line
  long line = 0;
  long linepos = 0;
};

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses the text as UTF-8 whatever its declaration says. Returns false on any
  // well-formedness error or a document type declaration; error() then tells why.
  bool LoadXML(const char* text, std::size_t length);
  const XmlParseError& error() const { return error_; }

  XmlNode FirstChild() const;

 private:
  _xmlDoc* doc_ = nullptr;
  XmlParseError error_;
};

// Code reported for a document that carries a document type declaration.
constexpr std::uint32_t kXmlDoctypeRefused = 0xC00CEFFFu;

}  // namespace zeb
