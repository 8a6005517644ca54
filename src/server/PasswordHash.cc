#include "server/PasswordHash.h"

#include <crypt.h>
#include <openssl/crypto.h>

#include <cstring>
#include <memory>

namespace zeb::server {

bool IsSupportedHash(std::string_view hash) {
  for (std::string_view prefix : {"$y$", "$2a$", "$2b$", "$2y$", "$6$"}) {
    if (hash.substr(0, prefix.size()) == prefix && hash.size() > prefix.size()) return true;
  }
  return false;
}

bool VerifyPassword(const std::string& password, const std::string& hash) {
  if (!IsSupportedHash(hash)) return false;
  // crypt_data is large (tens of kilobytes): on the heap, zeroed as crypt_rn requires, and
  // cleansed afterwards because it holds material derived from the password.
  auto data = std::make_unique<crypt_data>();
  const char* computed = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof(crypt_data));
  bool same = computed != nullptr && std::strlen(computed) == hash.size() &&
              CRYPTO_memcmp(computed, hash.data(), hash.size()) == 0;
  OPENSSL_cleanse(data.get(), sizeof(crypt_data));
  return same;
}

}  // namespace zeb::server
