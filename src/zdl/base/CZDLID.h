// The identifier of a configuration record: a GUID written in braces with upper-case hex digits
// ("{00000000-1111-0000-0000-000000000000}"), or null.
#pragma once

#include <functional>
#include <string>

namespace zeb::zdl {

class CZDLID {
 public:
  // The null identifier.
  CZDLID() = default;
  // Parses identifier text as clients send it: with or without braces, hex digits in either
  // case. Empty text gives the null identifier. Anything else throws CZDLException
  // kZDLInvalidParameter naming the text.
  explicit CZDLID(const std::string& text);
  explicit CZDLID(const char* text) : CZDLID(std::string(text ? text : "")) {}

  static CZDLID NULLID() { return CZDLID(); }
  // A fresh random identifier.
  static CZDLID New();
  // Wraps text already in canonical form (read back from the database) without checking it.
  static CZDLID FromCanonical(std::string text);
  // True when text is a GUID with or without braces.
  static bool IsWellFormed(const std::string& text);

  bool isNull() const { return text_.empty(); }
  // The braced upper-case text; empty for the null identifier.
  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }

  bool operator==(const CZDLID& other) const { return text_ == other.text_; }
  bool operator!=(const CZDLID& other) const { return text_ != other.text_; }
  bool operator<(const CZDLID& other) const { return text_ < other.text_; }

 private:
  std::string text_;
};

}  // namespace zeb::zdl

template <>
struct std::hash<zeb::zdl::CZDLID> {
  std::size_t operator()(const zeb::zdl::CZDLID& id) const noexcept {
    return std::hash<std::string>()(id.str());
  }
};
