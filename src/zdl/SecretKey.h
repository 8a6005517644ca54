// The key that encrypts the service parameters holding secrets (the directory manager's
// password), so that the configuration database never holds them in plain text. The key lives
// outside the database, in a file of its own that only its owner may read; every node of a
// cluster uses the same key.
//
// A sealed value is "{AES-256-GCM}" + base64(12-byte nonce | ciphertext | 16-byte tag). The
// parameter's name is authenticated with it, so a value copied into another parameter does not
// open.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace zeb::zdl {

class SecretKey {
 public:
  static constexpr std::size_t kBytes = 32;

  // A fresh random key. Throws CZDLException kZDLGeneralError without random bytes.
  static std::shared_ptr<const SecretKey> Generate();
  // The key of 64 lower-case hex digits; null for any other text.
  static std::shared_ptr<const SecretKey> FromHex(const std::string& hex);
  // Reads a key file: 64 hex digits and an optional line feed. Throws std::runtime_error naming
  // the file when it cannot be read, is readable by anyone but its owner, or holds no key.
  static std::shared_ptr<const SecretKey> Load(const std::string& path);
  // Writes the key to a new file of mode 0600; throws std::runtime_error when the file exists
  // already or cannot be written.
  void Save(const std::string& path) const;

  // The sealed form of plain for the parameter name; "" stays "".
  std::string Seal(const std::string& name, const std::string& plain) const;
  // The plain text of a value sealed for name; "" stays "". Throws CZDLException
  // kZDLDatabaseUnavailable when the value was sealed with another key or for another name, or
  // is not sealed.
  std::string Open(const std::string& name, const std::string& sealed) const;

 private:
  explicit SecretKey(const std::array<unsigned char, kBytes>& bytes) : bytes_(bytes) {}

  std::array<unsigned char, kBytes> bytes_;
};

// The text of the CZDLException that Open throws for a value it cannot open.
constexpr char kSecretKeyMismatch[] =
    "A secret of the cluster configuration cannot be decrypted with this node's secret key.";

// Whether a stored value is in the sealed form (and not plain text left by an older build).
bool IsSealed(const std::string& value);

// The default key file of a database location: beside an embedded database file, with its
// extension replaced by ".key" (zeb.db gives zeb.key); "zeb.key" in the working directory for a
// PostgreSQL location.
std::string DefaultKeyPath(const std::string& databaseLocation);

}  // namespace zeb::zdl
