#include "zdl/CZDLID.h"

#include <uuid/uuid.h>

#include <cctype>

#include "zdl/CZDLException.h"

namespace zeb::zdl {

namespace {

// Returns the 36-character GUID body of text (braces removed) or "" when it is not one.
std::string GuidBody(const std::string& text) {
  std::string body = text;
  if (body.size() == 38 && body.front() == '{' && body.back() == '}') body = body.substr(1, 36);
  if (body.size() != 36) return "";
  for (std::size_t i = 0; i < body.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? body[i] != '-' : !std::isxdigit(static_cast<unsigned char>(body[i]))) return "";
  }
  return body;
}

}  // namespace

CZDLID::CZDLID(const std::string& text) {
  if (text.empty()) return;
  std::string body = GuidBody(text);
  if (body.empty()) {
    throw CZDLException(kZDLInvalidParameter,
                        "Invalid identifier: \"" + text + "\". An identifier is a GUID in braces, for example "
                        "{00000000-1111-0000-0000-000000000000}.");
  }
  for (char& c : body) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  text_ = "{" + body + "}";
}

CZDLID CZDLID::New() {
  uuid_t raw;
  uuid_generate_random(raw);
  char text[37];
  uuid_unparse_upper(raw, text);
  return FromCanonical(std::string("{") + text + "}");
}

CZDLID CZDLID::FromCanonical(std::string text) {
  CZDLID id;
  id.text_ = std::move(text);
  return id;
}

bool CZDLID::IsWellFormed(const std::string& text) { return !GuidBody(text).empty(); }

}  // namespace zeb::zdl
