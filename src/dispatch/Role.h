// The three roles of access control, each including the one before: read (the get, list and
// count methods and the service documents), write (also the add, update, remove and do
// methods), admin (also service parameters and users). The method table gives each method the
// role it needs (MethodTable.h).
#pragma once

#include <optional>
#include <string_view>

namespace zeb {

// Ordered: a role may do everything a lower one may. kNone is a known user without a role.
enum class Role { kNone, kRead, kWrite, kAdmin };

// "none", "read", "write", "admin".
constexpr const char* RoleName(Role role) {
  switch (role) {
    case Role::kNone: return "none";
    case Role::kRead: return "read";
    case Role::kWrite: return "write";
    case Role::kAdmin: return "admin";
  }
  return "none";
}

// The role of that exact name (one of RoleName's texts), or nullopt.
inline std::optional<Role> ParseRole(std::string_view name) {
  for (Role role : {Role::kNone, Role::kRead, Role::kWrite, Role::kAdmin}) {
    if (name == RoleName(role)) return role;
  }
  return std::nullopt;
}

}  // namespace zeb
