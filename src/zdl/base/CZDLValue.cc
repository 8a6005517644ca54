#include "zdl/base/CZDLValue.h"

#include <cstdlib>

namespace zeb::zdl {

long long CZDLValue::AsInt() const {
  switch (kind_) {
    case Kind::kInt:
      return int_;
    case Kind::kText:
      return std::strtoll(text_.c_str(), nullptr, 10);
    default:
      return 0;
  }
}

std::string CZDLValue::AsText() const {
  switch (kind_) {
    case Kind::kInt:
      return std::to_string(int_);
    case Kind::kText:
      return text_;
    default:
      return "";
  }
}

bool CZDLValue::operator==(const CZDLValue& other) const {
  if (kind_ != other.kind_) return false;
  if (kind_ == Kind::kInt) return int_ == other.int_;
  return text_ == other.text_;
}

}  // namespace zeb::zdl
