#include "zdl/SecretHash.h"

#include <argon2.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "zdl/Base64.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

namespace {

constexpr char kScheme[] = "$pbkdf2-sha256$";
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
// Bounds a stored iteration count so a damaged row cannot stall a request.
constexpr long kMaxIterations = 10000000;

constexpr char kArgon2Scheme[] = "{ARGON2}";
// 19 MiB and two passes: some 50 ms per hash on one core, so a request that sets a password
// and a PIN stays quick, while each guess at a stolen hash costs as much time and 19 MiB of
// memory (which takes away the edge of a graphics card's many small cores).
constexpr std::uint32_t kArgon2MemoryKiB = 19 * 1024;
constexpr std::uint32_t kArgon2Passes = 2;
constexpr std::size_t kArgon2HashBytes = 32;

using Bytes = std::vector<unsigned char>;

// A stored value of exactly `expected` bytes.
bool DecodeExactly(const std::string& text, std::size_t expected, Bytes& out) {
  Bytes decoded;
  if (!FromBase64(text, decoded) || decoded.size() != expected) return false;
  out = std::move(decoded);
  return true;
}

Bytes Derive(const std::string& secret, const Bytes& salt, int iterations) {
  Bytes key(kKeyBytes);
  if (PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()), salt.data(),
                        static_cast<int>(salt.size()), iterations, EVP_sha256(), kKeyBytes,
                        key.data()) != 1) {
    throw CZDLException(kZDLGeneralError, "The secret could not be hashed.");
  }
  return key;
}

Bytes RandomBytes(std::size_t count) {
  Bytes bytes(count);
  if (RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) {
    throw CZDLException(kZDLGeneralError, "No random bytes are available for a secret.");
  }
  return bytes;
}

}  // namespace

std::string RandomSecret() {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : RandomBytes(16)) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

std::string HashSecret(const std::string& secret) {
  const Bytes salt = RandomBytes(kSaltBytes);
  return kScheme + std::to_string(kSecretIterations) + "$" + Base64(salt) + "$" +
         Base64(Derive(secret, salt, kSecretIterations));
}

std::string Argon2Hash(const std::string& secret) {
  const Bytes salt = RandomBytes(kSaltBytes);
  std::string encoded(
      argon2_encodedlen(kArgon2Passes, kArgon2MemoryKiB, 1, kSaltBytes, kArgon2HashBytes, Argon2_id), '\0');
  const int rc =
      argon2id_hash_encoded(kArgon2Passes, kArgon2MemoryKiB, 1, secret.data(), secret.size(), salt.data(),
                            salt.size(), kArgon2HashBytes, &encoded[0], encoded.size());
  if (rc != ARGON2_OK)
    throw CZDLException(kZDLGeneralError,
                        std::string("The secret could not be hashed: ") + argon2_error_message(rc));
  encoded.resize(encoded.find('\0'));
  return kArgon2Scheme + encoded;
}

bool VerifyArgon2(const std::string& secret, const std::string& stored) {
  const std::string scheme = kArgon2Scheme;
  if (stored.compare(0, scheme.size(), scheme) != 0) return false;
  return argon2_verify(stored.c_str() + scheme.size(), secret.data(), secret.size(), Argon2_id) == ARGON2_OK;
}

bool VerifySecret(const std::string& secret, const std::string& stored) {
  const std::string scheme = kScheme;
  if (stored.compare(0, scheme.size(), scheme) != 0) return false;
  const std::size_t countEnd = stored.find('$', scheme.size());
  if (countEnd == std::string::npos) return false;
  const std::size_t saltEnd = stored.find('$', countEnd + 1);
  if (saltEnd == std::string::npos) return false;
  char* end = nullptr;
  const std::string countText = stored.substr(scheme.size(), countEnd - scheme.size());
  const long iterations = std::strtol(countText.c_str(), &end, 10);
  if (countText.empty() || *end != '\0' || iterations < 1 || iterations > kMaxIterations) return false;
  Bytes salt, key;
  if (!DecodeExactly(stored.substr(countEnd + 1, saltEnd - countEnd - 1), kSaltBytes, salt)) return false;
  if (!DecodeExactly(stored.substr(saltEnd + 1), kKeyBytes, key)) return false;
  const Bytes derived = Derive(secret, salt, static_cast<int>(iterations));
  return CRYPTO_memcmp(derived.data(), key.data(), kKeyBytes) == 0;
}

}  // namespace zeb::zdl
