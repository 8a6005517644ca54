#include "zdl/SecretKey.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "zdl/Base64.h"
#include "zdl/Drivers.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

namespace {

constexpr char kPrefix[] = "{AES-256-GCM}";
constexpr int kNonceBytes = 12;
constexpr int kTagBytes = 16;

using Bytes = std::vector<unsigned char>;
using CipherPtr = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

[[noreturn]] void CannotOpen() {
  throw CZDLException(kZDLDatabaseUnavailable, kSecretKeyMismatch);
}

CipherPtr NewCipher() {
  CipherPtr cipher(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!cipher) throw CZDLException(kZDLOutOfMemory, "No memory for the cipher of a secret.");
  return cipher;
}

}  // namespace

std::shared_ptr<const SecretKey> SecretKey::Generate() {
  std::array<unsigned char, kBytes> bytes{};
  if (RAND_bytes(bytes.data(), kBytes) != 1) {
    throw CZDLException(kZDLGeneralError, "No random bytes are available for the secret key.");
  }
  return std::shared_ptr<const SecretKey>(new SecretKey(bytes));
}

std::shared_ptr<const SecretKey> SecretKey::Load(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot read the secret key file " + path + ": " + std::strerror(errno));
  struct stat info {};
  char text[2 * kBytes + 2] = {};
  const bool statted = fstat(fd, &info) == 0;
  const ssize_t length = read(fd, text, sizeof text);
  close(fd);
  if (!statted || !S_ISREG(info.st_mode)) throw std::runtime_error("the secret key file " + path + " is no file");
  if (info.st_mode & 077) {
    throw std::runtime_error("the secret key file " + path + " may be read by others than its owner (chmod 600 it)");
  }
  std::string hex(text, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
  if (hex.size() == 2 * kBytes + 1 && hex.back() == '\n') hex.pop_back();
  auto key = FromHex(hex);
  if (!key) throw std::runtime_error("the secret key file " + path + " does not hold a key (64 hex digits)");
  return key;
}

std::shared_ptr<const SecretKey> SecretKey::FromHex(const std::string& hex) {
  if (hex.size() != 2 * kBytes) return nullptr;
  std::array<unsigned char, kBytes> bytes{};
  for (std::size_t i = 0; i < hex.size(); ++i) {
    const char c = hex[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return nullptr;
    bytes[i / 2] = static_cast<unsigned char>(bytes[i / 2] << 4 | digit);
  }
  return std::shared_ptr<const SecretKey>(new SecretKey(bytes));
}

void SecretKey::Save(const std::string& path) const {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes_) text += {kHex[byte >> 4], kHex[byte & 0xF]};
  text += '\n';
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error("cannot create the secret key file " + path + ": " + std::strerror(errno));
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
  close(fd);
  if (!written) {
    unlink(path.c_str());
    throw std::runtime_error("cannot write the secret key file " + path);
  }
}

std::string SecretKey::Seal(const std::string& name, const std::string& plain) const {
  if (plain.empty()) return plain;
  Bytes out(kNonceBytes + plain.size() + kTagBytes);
  if (RAND_bytes(out.data(), kNonceBytes) != 1) {
    throw CZDLException(kZDLGeneralError, "No random bytes are available to encrypt a secret.");
  }
  CipherPtr cipher = NewCipher();
  int length = 0, final = 0;
  const bool sealed =
      EVP_EncryptInit_ex(cipher.get(), EVP_aes_256_gcm(), nullptr, bytes_.data(), out.data()) == 1 &&
      EVP_EncryptUpdate(cipher.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(name.data()),
                        static_cast<int>(name.size())) == 1 &&
      EVP_EncryptUpdate(cipher.get(), out.data() + kNonceBytes, &length,
                        reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(plain.size())) == 1 &&
      EVP_EncryptFinal_ex(cipher.get(), out.data() + kNonceBytes + length, &final) == 1 &&
      EVP_CIPHER_CTX_ctrl(cipher.get(), EVP_CTRL_GCM_GET_TAG, kTagBytes, out.data() + kNonceBytes + plain.size()) == 1;
  if (!sealed) throw CZDLException(kZDLGeneralError, "A secret could not be encrypted.");
  return kPrefix + Base64(out);
}

std::string SecretKey::Open(const std::string& name, const std::string& sealed) const {
  if (sealed.empty()) return sealed;
  Bytes in;
  if (!IsSealed(sealed) || !FromBase64(sealed.substr(sizeof kPrefix - 1), in) ||
      in.size() < kNonceBytes + kTagBytes) {
    CannotOpen();
  }
  const std::size_t textBytes = in.size() - kNonceBytes - kTagBytes;
  std::string plain(textBytes, '\0');
  CipherPtr cipher = NewCipher();
  int length = 0, final = 0;
  const bool opened =
      EVP_DecryptInit_ex(cipher.get(), EVP_aes_256_gcm(), nullptr, bytes_.data(), in.data()) == 1 &&
      EVP_DecryptUpdate(cipher.get(), nullptr, &length, reinterpret_cast<const unsigned char*>(name.data()),
                        static_cast<int>(name.size())) == 1 &&
      EVP_DecryptUpdate(cipher.get(), reinterpret_cast<unsigned char*>(&plain[0]), &length, in.data() + kNonceBytes,
                        static_cast<int>(textBytes)) == 1 &&
      EVP_CIPHER_CTX_ctrl(cipher.get(), EVP_CTRL_GCM_SET_TAG, kTagBytes, in.data() + kNonceBytes + textBytes) == 1 &&
      EVP_DecryptFinal_ex(cipher.get(), reinterpret_cast<unsigned char*>(&plain[0]) + length, &final) == 1;
  if (!opened) CannotOpen();
  return plain;
}

bool IsSealed(const std::string& value) { return value.compare(0, sizeof kPrefix - 1, kPrefix) == 0; }

std::string DefaultKeyPath(const std::string& databaseLocation) {
  if (IsSharedLocation(databaseLocation)) return "zeb.key";
  return std::filesystem::path(databaseLocation).replace_extension(".key").string();
}

}  // namespace zeb::zdl
