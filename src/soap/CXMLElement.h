// A node of the response element tree. Responses are assembled as a tree of these and written
// out by Serialize; nothing is escaped at serialisation time, because text and attribute values
// are escaped once, when they are stored. Every child is owned by its parent.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zeb {

// Returns text with & < > ' " replaced by their five entity references; other bytes unchanged.
std::string EscapeXML(const std::string& text);

class CXMLElement {
 public:
  CXMLElement() = default;
  explicit CXMLElement(std::string tag) : name_(std::move(tag)) {}
  CXMLElement(std::string tag, const std::string& text) : name_(std::move(tag)) { SetText(text); }
  // Deep copy: tag, text, attributes, raw text and the whole subtree.
  CXMLElement(const CXMLElement& other);
  CXMLElement& operator=(const CXMLElement&) = delete;
  virtual ~CXMLElement() = default;

  const std::string& GetTag() const { return name_; }
  void SetTag(std::string tag) { name_ = std::move(tag); }

  // Escapes and stores the value; an empty value leaves the text as it was.
  void SetText(const std::string& value);
  // Stores the text as given; the caller guarantees it is already escaped.
  void SetEscapedText(std::string text) { text_ = std::move(text); }
  const std::string& GetEscapedText() const { return text_; }

  // Appends ` name="escaped value"` to the attribute list.
  void AddAttribute(const std::string& name, const std::string& value);
  const std::string& GetAttributeText() const { return attributes_; }
  // Appends attribute text already in written form (" name=\"escaped\"..."); for constant
  // attribute sets prepared once.
  void AppendAttributeText(const std::string& written) { attributes_ += written; }

  // When raw is not empty it is written verbatim in place of the whole element.
  void SetRaw(std::string raw) { raw_ = std::move(raw); }
  const std::string& GetRaw() const { return raw_; }

  // Appends a new child with the tag and the escaped value as text; returns it.
  CXMLElement* AddChild(const std::string& tag, const std::string& value);
  // Appends a deep copy of element.
  CXMLElement* AddChild(const CXMLElement& element);
  // Takes ownership of child and appends it; returns it. Null children are ignored.
  template <class T>
  T* AdoptChild(std::unique_ptr<T> child) {
    T* raw = child.get();
    if (raw) children_.push_back(std::move(child));
    return raw;
  }
  // Appends an empty child (of a builder type T, default CXMLElement) and returns it for filling.
  template <class T = CXMLElement, class... Args>
  T* AddNewChild(Args&&... args) {
    return AdoptChild(std::make_unique<T>(std::forward<Args>(args)...));
  }
  // Moves every child of other to the end of this node's children, in order.
  void AdoptChildren(CXMLElement& other);
  // Drops the direct children that would write nothing (builders that found nothing to build).
  void RemoveEmptyChildren();
  // Appends a node that writes raw text only (a CDATA section, a cached element text).
  CXMLElement* AddRawChild(std::string raw);

  const std::vector<std::unique_ptr<CXMLElement>>& GetChildren() const { return children_; }
  bool HasChildren() const { return !children_.empty(); }
  // True when the node would write nothing at all.
  bool IsEmpty() const { return name_.empty() && raw_.empty() && children_.empty(); }

  // Appends the node's text form: raw text alone, or start tag (two blanks before the first
  // attribute), text, CR LF if there are children, the children, end tag and CR LF.
  void Serialize(std::string& out) const;
  std::string ToString() const;

 private:
  std::string name_;
  std::string text_;
  std::string attributes_;
  std::string raw_;
  std::vector<std::unique_ptr<CXMLElement>> children_;
};

}  // namespace zeb
