// The secret key every zebd of the tests runs with (and the PostgreSQL template is sealed with),
// so that a test may open a server's database with it.
#pragma once

#include <memory>
#include <string>

#include "zdl/SecretKey.h"

namespace zeb::test {

constexpr char kTestSecretKeyHex[] = "5e5e5e5e0123456789abcdef0123456789abcdef0123456789abcdef5e5e5e5e";

inline std::shared_ptr<const zdl::SecretKey> TestSecretKey() { return zdl::SecretKey::FromHex(kTestSecretKeyHex); }

// Writes the test key to a new file of mode 0600.
inline void WriteTestSecretKey(const std::string& path) { TestSecretKey()->Save(path); }

}  // namespace zeb::test
