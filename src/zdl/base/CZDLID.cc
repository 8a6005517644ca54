#include "zdl/base/CZDLID.h"

#include <sys/random.h>

#include <cctype>
#include <cstdint>
#include <cstring>

#include "zdl/base/CZDLException.h"

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
    throw CZDLException(kZDLInvalidParameter, "Invalid identifier: \"" + text +
                                                  "\". An identifier is a GUID in braces, for example "
                                                  "{00000000-1111-0000-0000-000000000000}.");
  }
  for (char& c : body) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  text_ = "{" + body + "}";
}

namespace {

// Random bytes from the kernel's generator, fetched a page at a time per thread so that making
// an identifier costs no system call in the common case.
void RandomBytes(unsigned char* out, std::size_t n) {
  thread_local unsigned char pool[4096];
  thread_local std::size_t used = sizeof pool;
  if (used + n > sizeof pool) {
    std::size_t filled = 0;
    while (filled < sizeof pool) {
      const ssize_t got = getrandom(pool + filled, sizeof pool - filled, 0);
      if (got > 0) filled += static_cast<std::size_t>(got);
    }
    used = 0;
  }
  std::memcpy(out, pool + used, n);
  std::memset(pool + used, 0, n);
  used += n;
}

}  // namespace

CZDLID CZDLID::New() {
  unsigned char raw[16];
  RandomBytes(raw, sizeof raw);
  raw[6] = static_cast<unsigned char>((raw[6] & 0x0F) | 0x40);  // version 4: random
  raw[8] = static_cast<unsigned char>((raw[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(38);
  text += '{';
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kHex[raw[i] >> 4];
    text += kHex[raw[i] & 0x0F];
  }
  text += '}';
  return FromCanonical(std::move(text));
}

CZDLID CZDLID::FromCanonical(std::string text) {
  CZDLID id;
  id.text_ = std::move(text);
  return id;
}

bool CZDLID::IsWellFormed(const std::string& text) { return !GuidBody(text).empty(); }

}  // namespace zeb::zdl
