// The user name and password of an HTTP Basic "Authorization" header.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zeb::server {

struct BasicCredentials {
  std::string user;
  std::string password;
};

// Longest password considered; longer ones are refused unread, so that a client cannot make a
// slow hash slower with a huge input.
constexpr std::size_t kMaxPasswordBytes = 1024;

// Parses an Authorization header value: the scheme "Basic" in any case, blanks, then the padded
// base64 of "user:password". The user name ends at the first ':'; the password may hold ':'.
// Returns nullopt for another scheme, invalid base64, a missing ':', an empty user name, a
// control character in the user name, a NUL in the password, or an over-long password.
std::optional<BasicCredentials> ParseBasicAuthorization(std::string_view value);

}  // namespace zeb::server
