#include "soap/SecretMask.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "soap/CXMLElement.h"
#include "soap/Faults.h"

namespace zeb {

namespace {

using std::string_view;
constexpr std::size_t npos = string_view::npos;
// Comments and CDATA sections are scanned as markup of their own; a text nested deeper than
// this (only a malformed one can be) is masked whole when it names a secret.
constexpr int kMaxNesting = 3;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsOneOf(char c, const char* set) { return std::strchr(set, c) != nullptr && c != '\0'; }

bool StartsName(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || c == ':' || u >= 0x80;
}

bool At(string_view text, std::size_t pos, string_view what) {
  return text.compare(pos, what.size(), what) == 0;
}

// ASCII folding: the words looked for are ASCII, and it costs no library call per byte.
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool AtNoCase(string_view text, std::size_t pos, string_view lowerWord) {
  if (text.size() - pos < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    if (LowerAscii(text[pos + i]) != lowerWord[i]) return false;
  }
  return true;
}

bool EqualsNoCase(string_view name, string_view lowerWord) {
  return name.size() == lowerWord.size() && AtNoCase(name, 0, lowerWord);
}

// The text with the five predefined entity references replaced (what an echo of a value holds).
std::string Unescaped(string_view text) {
  static constexpr std::pair<string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.compare(i, entity.size(), entity) == 0) {
        out += c;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// Calls found(pos) at each 'p' and 'w' of text, in either case, until it returns true; true
// then. Sixteen bytes are looked at a time where the processor allows it: every request and
// response is asked this and most hold no secret word, so the scan is what it costs.
template <class Found>
bool AnyAnchor(string_view text, Found found) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i fold = _mm_set1_epi8(0x20), p = _mm_set1_epi8('p'), w = _mm_set1_epi8('w');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i bytes =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)), fold);
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, p), _mm_cmpeq_epi8(bytes, w))));
    for (; mask != 0; mask &= mask - 1) {
      if (found(i + static_cast<std::size_t>(__builtin_ctz(mask)))) return true;
    }
  }
#endif
  for (; i < text.size(); ++i) {
    const char c = LowerAscii(text[i]);
    if ((c == 'p' || c == 'w') && found(i)) return true;
  }
  return false;
}

// Whether a secret word occurs in text in any case: "pin" is looked for at its 'p', "password"
// and "newvalue" at their 'w', which markup holds far less often than the 'n' of every "xmlns".
bool MayHoldSecret(string_view text, bool maskNewValue) {
  return AnyAnchor(text, [&](std::size_t pos) {
    if (LowerAscii(text[pos]) == 'p') return AtNoCase(text, pos, "pin");
    return (pos >= 4 && AtNoCase(text, pos - 4, "password")) ||
           (maskNewValue && pos >= 2 && AtNoCase(text, pos - 2, "newvalue"));
  });
}

// Where a text comes from. A request may hide a secret element in a comment or CDATA section,
// closed or not. A response's sections hold fault messages, which name elements as text
// ("expecting <password>"): there a secret tag that the section never closes is such a name.
enum class Source { kRequest, kResponse };

// A lexical scanner over markup that copies text to out, masking secrets on the way. Every
// position it returns is within the text; an unterminated construct runs to the end.
class Masker {
 public:
  Masker(bool maskNewValue, std::string& out, Source source)
      : maskNewValue_(maskNewValue), source_(source), out_(out) {}

  // The secret values met, one piece per line of each.
  const std::set<std::string>& secrets() const { return secrets_; }

  void Scan(string_view text, int nesting) {
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t lt = text.find('<', i);
      if (lt == npos) {
        out_.append(text.substr(i));
        return;
      }
      out_.append(text.substr(i, lt - i));
      i = Markup(text, lt, nesting);
    }
  }

 private:
  bool IsSecret(string_view name) const {
    const std::size_t colon = name.rfind(':');
    const string_view local = colon == npos ? name : name.substr(colon + 1);
    return EqualsNoCase(local, "password") || EqualsNoCase(local, "pin") ||
           (maskNewValue_ && EqualsNoCase(local, "newvalue"));
  }

  // Copies the markup that starts at text[lt] == '<'; returns the position after it.
  std::size_t Markup(string_view text, std::size_t lt, int nesting) {
    if (At(text, lt, "<!--")) return Section(text, lt, "<!--", "-->", nesting);
    if (At(text, lt, "<![CDATA[")) return Section(text, lt, "<![CDATA[", "]]>", nesting);
    if (At(text, lt, "<?")) return Verbatim(text, lt, text.find("?>", lt + 2), 2);
    if (At(text, lt, "<!")) return Declaration(text, lt);
    if (At(text, lt, "</")) return EndTag(text, lt);
    if (lt + 1 < text.size() && StartsName(text[lt + 1])) return Element(text, lt, nesting);
    out_ += '<';  // not markup: a stray '<' in a malformed text
    return lt + 1;
  }

  std::size_t Verbatim(string_view text, std::size_t from, std::size_t close, std::size_t closeLength) {
    const std::size_t end = close == npos ? text.size() : close + closeLength;
    out_.append(text.substr(from, end - from));
    return end;
  }

  // An end tag is copied; a malformed one ends before the next '<'.
  std::size_t EndTag(string_view text, std::size_t lt) {
    const std::size_t close = TagEnd(text, lt + 2);
    if (close != npos) return Verbatim(text, lt, close, 1);
    const std::size_t next = text.find('<', lt + 2);
    return Verbatim(text, lt, next == npos ? npos : next - 1, 1);
  }

  // A comment or CDATA section: delimiters kept, its text scanned as markup of its own.
  std::size_t Section(string_view text, std::size_t lt, string_view open, string_view close, int nesting) {
    const std::size_t from = lt + open.size();
    const std::size_t end = text.find(close, from);
    const string_view inner = text.substr(from, (end == npos ? text.size() : end) - from);
    out_.append(open);
    if (nesting < kMaxNesting) {
      Scan(inner, nesting + 1);
    } else if (MayHoldSecret(inner, maskNewValue_)) {
      Mask(inner);
    } else {
      out_.append(inner);
    }
    if (end == npos) return text.size();
    out_.append(close);
    return end + close.size();
  }

  // <!DOCTYPE ...> and other declarations: every quoted literal is masked; comments and
  // processing instructions of an internal subset are copied as they are.
  std::size_t Declaration(string_view text, std::size_t lt) {
    std::size_t i = lt + 2;
    out_.append("<!");
    int brackets = 0;
    while (i < text.size()) {
      const char c = text[i];
      if (At(text, i, "<!--")) {
        i = Verbatim(text, i, text.find("-->", i + 4), 3);
      } else if (At(text, i, "<?")) {
        i = Verbatim(text, i, text.find("?>", i + 2), 2);
      } else if (c == '"' || c == '\'') {
        const std::size_t close = text.find(c, i + 1);
        out_ += c;
        Mask(text.substr(i + 1, (close == npos ? text.size() : close) - i - 1));
        if (close == npos) return text.size();
        out_ += c;
        i = close + 1;
      } else {
        out_ += c;
        ++i;
        if (c == '[') ++brackets;
        if (c == ']') --brackets;
        if (c == '>' && brackets <= 0) return i;
      }
    }
    return i;
  }

  // A start tag, then for a secret element its content up to the matching end tag.
  std::size_t Element(string_view text, std::size_t lt, int nesting) {
    std::size_t i = lt + 1;
    while (i < text.size() && !IsSpace(text[i]) && text[i] != '>' && text[i] != '/' && text[i] != '<') ++i;
    const bool secret = IsSecret(text.substr(lt + 1, i - lt - 1));
    out_.append(text.substr(lt, i - lt));
    bool empty = false;
    i = Attributes(text, i, secret, &empty);
    if (!secret || empty) return i;
    // Also after a malformed start tag, where content and tag cannot be told apart.
    const std::size_t end = ContentEnd(text, i);
    if (end == text.size() && nesting > 0 && source_ == Source::kResponse) return i;
    Mask(text.substr(i, end - i));
    return end;
  }

  // Copies the attributes and the end of a start tag (a '<' ends a malformed tag early).
  // *empty: the tag ended with "/>".
  std::size_t Attributes(string_view text, std::size_t i, bool secretElement, bool* empty) {
    while (i < text.size()) {
      const char c = text[i];
      if (c == '<') return i;
      if (c == '>') {
        out_ += c;
        *empty = text[i - 1] == '/';
        return i + 1;
      }
      if (IsSpace(c) || c == '/' || c == '=') {
        out_ += c;
        ++i;
        continue;
      }
      std::size_t nameEnd = i;
      while (nameEnd < text.size() && !IsSpace(text[nameEnd]) && !IsOneOf(text[nameEnd], "=>/<")) ++nameEnd;
      const string_view name = text.substr(i, nameEnd - i);
      out_.append(name);
      i = nameEnd;
      while (i < text.size() && IsSpace(text[i])) out_ += text[i++];
      if (i >= text.size() || text[i] != '=') continue;
      out_ += text[i++];
      while (i < text.size() && IsSpace(text[i])) out_ += text[i++];
      const bool namespaceDeclaration = name == "xmlns" || name.substr(0, 6) == "xmlns:";
      i = Value(text, i, IsSecret(name) || (secretElement && !namespaceDeclaration));
    }
    return i;
  }

  // An attribute value, quoted or not; a '<' ends it (it cannot occur in a well-formed one).
  std::size_t Value(string_view text, std::size_t i, bool mask) {
    if (i >= text.size()) return i;
    const char quote = text[i];
    const bool quoted = quote == '"' || quote == '\'';
    const std::size_t from = quoted ? i + 1 : i;
    std::size_t end =
        quoted ? text.find_first_of(std::string{quote, '<'}, from) : text.find_first_of(" \t\r\n></", from);
    if (end == npos) end = text.size();
    if (quoted) out_ += quote;
    if (mask) {
      Mask(text.substr(from, end - from));
    } else {
      out_.append(text.substr(from, end - from));
    }
    if (quoted && end < text.size() && text[end] == quote) {
      out_ += quote;
      return end + 1;
    }
    return end;
  }

  // The position of the '<' of the end tag that closes an element whose content starts at
  // from, or the end of the text when it is not closed.
  static std::size_t ContentEnd(string_view text, std::size_t from) {
    int depth = 1;
    std::size_t i = from;
    for (;;) {
      const std::size_t lt = text.find('<', i);
      if (lt == npos) return text.size();
      std::size_t end;
      if (At(text, lt, "<!--")) {
        end = Past(text.find("-->", lt + 4), 3);
      } else if (At(text, lt, "<![CDATA[")) {
        end = Past(text.find("]]>", lt + 9), 3);
      } else if (At(text, lt, "<?")) {
        end = Past(text.find("?>", lt + 2), 2);
      } else if (At(text, lt, "</")) {
        end = TagEnd(text, lt + 2);
        if (end != npos && --depth == 0) return lt;
        end = Past(end, 1);
      } else {
        end = TagEnd(text, lt + 1);
        if (end != npos && text[end - 1] != '/') ++depth;
        end = Past(end, 1);
      }
      if (end == npos) return text.size();
      i = end;
    }
  }

  // Writes the mask for a secret: one per line, so that line numbers stay as they were (a fault
  // names a line of the request), and notes each line's piece of the secret.
  void Mask(string_view secret) {
    for (std::size_t from = 0;;) {
      const std::size_t newline = secret.find('\n', from);
      const string_view piece = secret.substr(from, newline == npos ? npos : newline - from);
      if (!piece.empty()) {
        secrets_.emplace(piece);
        secrets_.insert(Unescaped(piece));
      }
      out_.append(kSecretMask);
      if (newline == npos) return;
      out_ += '\n';
      from = newline + 1;
    }
  }

  static std::size_t Past(std::size_t position, std::size_t length) {
    return position == npos ? npos : position + length;
  }

  // The position of the '>' that ends a tag whose name starts at from, skipping quoted values;
  // npos when a '<' or the end of the text comes first.
  static std::size_t TagEnd(string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '>') return i;
      if (c == '<') return npos;
      if (c == '"' || c == '\'') {
        i = text.find_first_of(std::string{c, '<'}, i + 1);
        if (i == npos || text[i] == '<') return npos;
      }
    }
    return npos;
  }

  const bool maskNewValue_;
  const Source source_;
  std::string& out_;
  std::set<std::string> secrets_;
};

// Line number (from 1) of a text, up to its first CR or LF, as a parse error quotes it.
std::string LineOf(string_view text, long line) {
  std::size_t pos = 0;
  for (long current = 1; current < line && pos < text.size(); ++pos) {
    if (text[pos] == '\n') ++current;
  }
  const std::size_t end = text.find_first_of("\r\n", pos);
  return std::string(text.substr(pos, end == npos ? npos : end - pos));
}

void ReplaceAll(std::string& text, const std::string& what, string_view with) {
  for (std::size_t at = text.find(what); at != npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// A parse-error fault quotes the line of the request where parsing failed, escaped: the quote
// becomes the same line of the masked request.
void MaskQuotedLine(std::string& response, string_view maskedRequest) {
  static constexpr string_view kLine = "Source = Line : ", kText = "Source Text : ";
  const std::size_t lineAt = response.find(kLine);
  if (lineAt == npos) return;
  const long line = std::strtol(response.c_str() + lineAt + kLine.size(), nullptr, 10);
  const std::size_t textAt = response.find(kText, lineAt);
  if (textAt == npos) return;
  const std::size_t from = textAt + kText.size();
  const std::size_t end = response.find('\n', from);
  response.replace(from, (end == npos ? response.size() : end) - from,
                   EscapeXML(ValidXmlText(LineOf(maskedRequest, line))));
}

// Calls edit with the text of each element of the response that can quote the request (a
// fault's faultstring, and the message of its detail), and puts the edited text back.
template <class Edit>
void ForEachMessage(std::string& response, Edit edit) {
  static constexpr std::pair<string_view, string_view> kMessages[] = {{"<faultstring>", "</faultstring>"},
                                                                      {"<message>", "</message>"}};
  for (const auto& [open, close] : kMessages) {
    for (std::size_t at = response.find(open); at != npos; at = response.find(open, at)) {
      const std::size_t from = at + open.size();
      const std::size_t end = response.find(close, from);
      if (end == npos) break;
      std::string text = response.substr(from, end - from);
      edit(text);
      response.replace(from, end - from, text);
      at = from + text.size() + close.size();
    }
  }
}

// Secrets shorter than this are not looked for elsewhere in a response: they would mask too
// much that is no secret.
constexpr std::size_t kMinEchoedSecret = 4;

std::string Masked(string_view text, bool maskNewValue, Source source) {
  std::string out;
  out.reserve(text.size());
  Masker(maskNewValue, out, source).Scan(text, 0);
  return out;
}

}  // namespace

std::string MaskSecrets(string_view text, bool maskNewValue) { return Masked(text, maskNewValue, Source::kRequest); }

void MaskSecretsInPlace(std::string& text, bool maskNewValue) {
  if (MayHoldSecret(text, maskNewValue)) text = MaskSecrets(text, maskNewValue);
}

MaskedExchange MaskExchange(std::string request, std::string response, bool newValueHarmless) {
  const bool maskNewValue = !newValueHarmless;
  MaskedExchange masked;
  masked.response = std::move(response);
  if (MayHoldSecret(masked.response, maskNewValue)) {
    masked.response = Masked(masked.response, maskNewValue, Source::kResponse);
  }
  if (!MayHoldSecret(request, maskNewValue)) {
    masked.request = std::move(request);
    return masked;
  }
  masked.request.reserve(request.size());
  Masker masker(maskNewValue, masked.request, Source::kRequest);
  masker.Scan(request, 0);
  if (masked.request == request || masked.response.empty()) return masked;
  MaskQuotedLine(masked.response, masked.request);
  // Any other echo of a secret, raw or escaped: only a fault's message quotes request values, so
  // only its texts are searched, and a secret that happens to equal fixed markup ("Client")
  // leaves the rest of the response as it was.
  ForEachMessage(masked.response, [&](std::string& message) {
    for (const std::string& secret : masker.secrets()) {
      if (secret.size() < kMinEchoedSecret) continue;
      ReplaceAll(message, secret, kSecretMask);
      ReplaceAll(message, EscapeXML(ValidXmlText(secret)), kSecretMask);
    }
  });
  return masked;
}

}  // namespace zeb
