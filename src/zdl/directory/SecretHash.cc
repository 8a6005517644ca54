#include "zdl/directory/SecretHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <vector>

#include "zdl/CZDLException.h"

namespace zeb::zdl {

namespace {

constexpr char kScheme[] = "$pbkdf2-sha256$";
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;
// Bounds a stored iteration count so a damaged row cannot stall a request.
constexpr long kMaxIterations = 10000000;

using Bytes = std::vector<unsigned char>;

std::string Base64(const Bytes& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool FromBase64(const std::string& text, std::size_t expected, Bytes& out) {
  if (text.size() != 4 * ((expected + 2) / 3)) return false;
  Bytes decoded(text.size());
  const int length = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < static_cast<int>(expected)) return false;
  decoded.resize(expected);  // EVP_DecodeBlock keeps the bytes of the padding
  out = std::move(decoded);
  return true;
}

Bytes Derive(const std::string& secret, const Bytes& salt, int iterations) {
  Bytes key(kKeyBytes);
  if (PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()), salt.data(), static_cast<int>(salt.size()),
                        iterations, EVP_sha256(), kKeyBytes, key.data()) != 1) {
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
  if (!FromBase64(stored.substr(countEnd + 1, saltEnd - countEnd - 1), kSaltBytes, salt)) return false;
  if (!FromBase64(stored.substr(saltEnd + 1), kKeyBytes, key)) return false;
  const Bytes derived = Derive(secret, salt, static_cast<int>(iterations));
  return CRYPTO_memcmp(derived.data(), key.data(), kKeyBytes) == 0;
}

}  // namespace zeb::zdl
