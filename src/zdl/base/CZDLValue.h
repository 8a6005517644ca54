// One column value as the library moves it between records, statements and results: NULL, a
// 64-bit integer or text. Identifiers travel as their braced text, booleans as 0 and 1.
#pragma once

#include <cstdint>
#include <string>

#include "zdl/base/CZDLID.h"

namespace zeb::zdl {

class CZDLValue {
 public:
  enum class Kind : std::uint8_t { kNull, kInt, kText };

  CZDLValue() = default;
  CZDLValue(long long v) : kind_(Kind::kInt), int_(v) {}
  CZDLValue(long v) : CZDLValue(static_cast<long long>(v)) {}
  CZDLValue(int v) : CZDLValue(static_cast<long long>(v)) {}
  CZDLValue(unsigned v) : CZDLValue(static_cast<long long>(v)) {}
  CZDLValue(bool v) : CZDLValue(static_cast<long long>(v ? 1 : 0)) {}
  CZDLValue(std::string v) : kind_(Kind::kText), text_(std::move(v)) {}
  CZDLValue(const char* v) : CZDLValue(std::string(v)) {}
  // The null identifier becomes NULL.
  CZDLValue(const CZDLID& id) : kind_(id.isNull() ? Kind::kNull : Kind::kText), text_(id.str()) {}

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::kNull; }
  // NULL reads as 0; text as its leading decimal integer.
  long long AsInt() const;
  // NULL reads as ""; an integer as its decimal text.
  std::string AsText() const;
  const std::string& TextRef() const { return text_; }

  bool operator==(const CZDLValue& other) const;
  bool operator!=(const CZDLValue& other) const { return !(*this == other); }

 private:
  Kind kind_ = Kind::kNull;
  long long int_ = 0;
  std::string text_;
};

}  // namespace zeb::zdl
