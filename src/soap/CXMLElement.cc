#include "soap/CXMLElement.h"

#include <algorithm>

namespace zeb {

std::string EscapeXML(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

CXMLElement::CXMLElement(const CXMLElement& other)
    : name_(other.name_), text_(other.text_), attributes_(other.attributes_), raw_(other.raw_) {
  children_.reserve(other.children_.size());
  for (const auto& child : other.children_) children_.push_back(std::make_unique<CXMLElement>(*child));
}

void CXMLElement::SetText(const std::string& value) {
  if (!value.empty()) text_ = EscapeXML(value);
}

void CXMLElement::AddAttribute(const std::string& name, const std::string& value) {
  attributes_ += ' ';
  attributes_ += name;
  attributes_ += "=\"";
  attributes_ += EscapeXML(value);
  attributes_ += '"';
}

CXMLElement* CXMLElement::AddChild(const std::string& tag, const std::string& value) {
  return AddNewChild(tag, value);
}

CXMLElement* CXMLElement::AddChild(const CXMLElement& element) { return AddNewChild(element); }

void CXMLElement::AdoptChildren(CXMLElement& other) {
  for (auto& child : other.children_) children_.push_back(std::move(child));
  other.children_.clear();
}

void CXMLElement::RemoveEmptyChildren() {
  children_.erase(std::remove_if(children_.begin(), children_.end(),
                                 [](const std::unique_ptr<CXMLElement>& child) { return child->IsEmpty(); }),
                  children_.end());
}

CXMLElement* CXMLElement::AddRawChild(std::string raw) {
  CXMLElement* node = AddNewChild();
  node->SetRaw(std::move(raw));
  return node;
}

void CXMLElement::Serialize(std::string& out) const {
  if (!raw_.empty()) {
    out += raw_;
    return;
  }
  const bool named = !name_.empty();
  if (named) {
    out += '<';
    out += name_;
    if (!attributes_.empty()) {
      out += ' ';
      out += attributes_;
    }
    out += '>';
    out += text_;
    if (!children_.empty()) out += "\r\n";
  }
  for (const auto& child : children_) child->Serialize(out);
  if (named) {
    out += "</";
    out += name_;
    out += ">\r\n";
  }
}

std::string CXMLElement::ToString() const {
  std::string out;
  Serialize(out);
  return out;
}

}  // namespace zeb
