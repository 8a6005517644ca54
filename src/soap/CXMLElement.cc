#include "soap/CXMLElement.h"

#include <algorithm>

namespace zeb {

namespace {

const char kMarkup[] = "&<>'\"";

// Appends text to out with the five markup characters replaced.
void AppendEscaped(std::string& out, const std::string& text) {
  std::size_t from = 0;
  for (std::size_t at = text.find_first_of(kMarkup); at != std::string::npos; at = text.find_first_of(kMarkup, from)) {
    out.append(text, from, at - from);
    switch (text[at]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\'': out += "&apos;"; break;
      default: out += "&quot;"; break;
    }
    from = at + 1;
  }
  out.append(text, from, std::string::npos);
}

}  // namespace

std::string EscapeXML(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  AppendEscaped(out, text);
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
  AppendEscaped(attributes_, value);
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
