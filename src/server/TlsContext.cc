#include "server/TlsContext.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zeb::server {

namespace ssl = boost::asio::ssl;

namespace {

// TLS 1.2 suites with ephemeral key exchange and authenticated encryption; TLS 1.3 keeps
// OpenSSL's own list, which has only such suites.
constexpr const char* kTls12Ciphers = "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20";

// OpenSSL's reason for the last failure, emptying its error queue.
std::string OpenSslReason() {
  unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  const char* reason = ERR_reason_error_string(code);
  return reason != nullptr ? reason : "error " + std::to_string(code);
}

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what + ": " + OpenSslReason()); }

// Refuses pass phrases: OpenSSL would otherwise ask for one on the terminal and block the start.
int NoPassphrase(char*, int, int, void*) { return 0; }

// Throws with the system's reason when the file cannot be opened for reading.
void RequireReadable(const std::string& file, const char* what) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr)
    throw std::runtime_error(std::string("cannot read the ") + what + " '" + file +
                             "': " + std::strerror(errno));
  std::fclose(f);
}

// The private key in a PEM file. The caller owns the result.
EVP_PKEY* ReadPrivateKey(const std::string& keyFile) {
  BIO* bio = BIO_new_file(keyFile.c_str(), "r");
  if (bio == nullptr) Fail("cannot read the TLS private key '" + keyFile + "'");
  EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, NoPassphrase, nullptr);
  BIO_free(bio);
  if (key == nullptr)
    Fail("cannot load the TLS private key from '" + keyFile + "' (it must be an unencrypted PEM key)");
  return key;
}

}  // namespace

std::unique_ptr<ssl::context> MakeTlsContext(const std::string& certFile, const std::string& keyFile) {
  auto context = std::make_unique<ssl::context>(ssl::context::tls_server);
  SSL_CTX* native = context->native_handle();
  ERR_clear_error();
  if (SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION) != 1) Fail("cannot restrict TLS versions");
  SSL_CTX_set_options(native,
                      SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
  if (SSL_CTX_set_cipher_list(native, kTls12Ciphers) != 1) Fail("cannot set the TLS 1.2 ciphers");
  SSL_CTX_set_default_passwd_cb(native, NoPassphrase);

  RequireReadable(certFile, "TLS certificate");
  RequireReadable(keyFile, "TLS private key");
  if (SSL_CTX_use_certificate_chain_file(native, certFile.c_str()) != 1)
    Fail("cannot load the TLS certificate from '" + certFile + "'");
  // The key is compared with the certificate before it is installed, so that a mismatch is
  // reported as one (installing it first makes OpenSSL drop the certificate and say less).
  EVP_PKEY* key = ReadPrivateKey(keyFile);
  bool matches = X509_check_private_key(SSL_CTX_get0_certificate(native), key) == 1;
  bool installed = matches && SSL_CTX_use_PrivateKey(native, key) == 1;
  EVP_PKEY_free(key);
  if (!matches) {
    ERR_clear_error();
    throw std::runtime_error("the TLS private key in '" + keyFile +
                             "' does not belong to the certificate in '" + certFile + "'");
  }
  if (!installed) Fail("cannot use the TLS private key from '" + keyFile + "'");
  return context;
}

}  // namespace zeb::server
