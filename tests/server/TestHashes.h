// crypt(3) hashes made in the test process, at the lowest costs, so that tests stay fast.
#pragma once

#include <crypt.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace zeb::server::test {

// prefix is "$y$", "$2b$", "$6$", or "$1$" for a scheme that must be refused.
inline std::string MakeHash(const std::string& prefix, const std::string& password) {
  unsigned long cost = prefix == "$2b$" ? 4 : prefix == "$6$" ? 1000 : prefix == "$y$" ? 1 : 0;
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  if (crypt_gensalt_rn(prefix.c_str(), cost, nullptr, 0, setting, sizeof setting) == nullptr)
    throw std::runtime_error("crypt_gensalt_rn failed for " + prefix);
  auto data = std::make_unique<crypt_data>();
  const char* hash = crypt_rn(password.c_str(), setting, data.get(), sizeof(crypt_data));
  if (hash == nullptr) throw std::runtime_error("crypt_rn failed for " + prefix);
  return hash;
}

}  // namespace zeb::server::test
