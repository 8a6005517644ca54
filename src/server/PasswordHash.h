// Checking a password against a crypt(3) hash as made by mkpasswd or htpasswd -B.
#pragma once

#include <string>
#include <string_view>

namespace zeb::server {

// True for the schemes an auth file may use: yescrypt ("$y$"), bcrypt ("$2a$", "$2b$", "$2y$")
// and SHA-512 ("$6$"). Older schemes (DES, MD5, and the "$apr1$" MD5 variant) are too fast to
// guess against and are not accepted.
bool IsSupportedHash(std::string_view hash);

// True when password hashes to hash. The comparison takes the same time wherever the texts
// differ. Slow on purpose (milliseconds to tens of milliseconds, set by the hash's cost);
// thread-safe. An unsupported or malformed hash never verifies.
bool VerifyPassword(const std::string& password, const std::string& hash);

}  // namespace zeb::server
