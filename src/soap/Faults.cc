#include "soap/Faults.h"

#include "soap/Namespaces.h"

namespace zeb {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// One character of text: the length of its UTF-8 sequence (0 when the bytes at text[at] are
// not valid UTF-8) and whether XML allows the character.
struct Character {
  std::size_t length = 0;
  bool allowed = false;
};

Character CharacterAt(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r'};
  std::size_t length;
  unsigned long code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u;
  } else {
    return {};
  }
  if (at + length > text.size()) return {};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {};
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return {};
  return {length, code != 0xFFFE && code != 0xFFFF};
}

}  // namespace

std::string ValidXmlText(const std::string& text) {
  std::size_t at = 0;
  for (Character c; at < text.size() && (c = CharacterAt(text, at)).allowed;) at += c.length;
  if (at == text.size()) return text;
  std::string valid = text.substr(0, at);
  while (at < text.size()) {
    const Character c = CharacterAt(text, at);
    if (c.allowed) {
      valid.append(text, at, c.length);
    } else {
      valid += kReplacement;  // one per character XML refuses, one per byte that is not UTF-8
    }
    at += c.length == 0 ? 1 : c.length;
  }
  return valid;
}

// Faults are written as one raw text, byte for byte what the element tree would write for them:
// a request that fails is common (clients probe for methods), and a fault's dozen small nodes
// cost more to allocate and serialise than the text itself.
void AddFault(CXMLElement* parent, const std::string& faultcode, const std::string& faultstring) {
  std::string text = "<SOAP-ENV:Fault>\r\n<faultcode>";
  text += EscapeXML(faultcode);
  text += "</faultcode>\r\n<faultstring>";
  text += EscapeXML(ValidXmlText(faultstring));
  text += "</faultstring>\r\n</SOAP-ENV:Fault>\r\n";
  parent->AddRawChild(std::move(text));
}

namespace {

// A CDATA section holding text, split where the text holds "]]>" (which would end it early).
std::string CDataSection(const std::string& text) {
  std::string section = "<![CDATA[";
  std::size_t from = 0;
  for (std::size_t end; (end = text.find("]]>", from)) != std::string::npos; from = end + 2) {
    section.append(text, from, end + 2 - from);
    section += "]]><![CDATA[";
  }
  section.append(text, from, std::string::npos);
  return section + "]]>";
}

std::string WrittenZebAttributes(const std::string& schemaLocation) {
  CXMLElement element;
  element.AddAttribute("xmlns:zeb", kZebNs);
  element.AddAttribute("xmlns:xsi", kXsiNs);
  element.AddAttribute("xsi:schemaLocation", schemaLocation);
  return element.GetAttributeText();
}

}  // namespace

const std::string& ZebAttributeText(const std::string& schemaLocation) {
  // Nearly every response carries one of two locations: the module-wide one, or the one of the
  // first handler that answered (this machine's).
  static const std::string moduleWide = WrittenZebAttributes(kSchemaLocation);
  if (schemaLocation == kSchemaLocation) return moduleWide;
  static const std::string local = schemaLocation;
  static const std::string localText = WrittenZebAttributes(local);
  if (schemaLocation == local) return localText;
  thread_local std::string other;
  other = WrittenZebAttributes(schemaLocation);
  return other;
}

namespace {

// The written sequence attribute (a number needs no escaping); "" without a sequence.
std::string SequenceAttribute(Sequence sequence) {
  if (!sequence) return "";
  return " sequence=\"" + std::to_string(static_cast<std::int32_t>(*sequence)) + "\"";
}

}  // namespace

void AddZebAttributes(CXMLElement* element, const std::string& schemaLocation, Sequence sequence) {
  element->AppendAttributeText(ZebAttributeText(schemaLocation));
  if (sequence) element->AppendAttributeText(SequenceAttribute(sequence));
}

void AddDetailedFault(const std::string& schemaLocation, CXMLElement* parent, const std::string& method, int code,
                      Sequence sequence, const std::string& message) {
  const std::string cdata = CDataSection(ValidXmlText(message));
  std::string text = "<SOAP-ENV:Fault>\r\n<faultcode>SOAP-ENV:Client</faultcode>\r\n<faultstring>\r\n";
  text.reserve(2 * cdata.size() + 512);
  text += cdata;
  text += "</faultstring>\r\n<detail>\r\n<zeb:error ";
  text += ZebAttributeText(schemaLocation);
  text += SequenceAttribute(sequence);
  text += ">\r\n<code>";
  text += std::to_string(code);
  text += "</code>\r\n<message>\r\n";
  text += cdata;
  text += "</message>\r\n<request>";
  text += EscapeXML(ValidXmlText(method));
  text += "</request>\r\n</zeb:error>\r\n</detail>\r\n</SOAP-ENV:Fault>\r\n";
  parent->AddRawChild(std::move(text));
}

}  // namespace zeb
