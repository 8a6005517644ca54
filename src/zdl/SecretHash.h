// Salted, slow one-way hashes of the directory's secrets (user passwords and PINs, the manager's
// password). The embedded directory stores:
//   $pbkdf2-sha256$<iterations>$<salt, base64>$<derived key, base64>
// with a fresh 16-byte random salt per hash and a 32-byte PBKDF2-HMAC-SHA256 key.
#pragma once

#include <string>

namespace zeb::zdl {

// Iterations of new hashes. Verification reads the count from the stored form, so raising it
// later keeps older hashes valid.
constexpr int kSecretIterations = 100000;

// The stored form of secret, with a fresh salt: two calls with the same secret differ. Throws
// CZDLException kZDLGeneralError when the system cannot supply random bytes.
std::string HashSecret(const std::string& secret);

// A fresh random secret of 32 upper-case hex digits (128 bits), for credentials made by the
// system itself. Throws like HashSecret when there are no random bytes.
std::string RandomSecret();

// True when secret hashes to stored (compared in constant time). False for a stored text that
// is not of the form above.
bool VerifySecret(const std::string& secret, const std::string& stored);

// The stored form of a secret for a directory server: "{ARGON2}" and the encoded Argon2id hash
// ("$argon2id$v=19$m=<KiB>,t=<passes>,p=1$<salt>$<hash>"), with a fresh 16-byte salt. slapd's
// argon2 module verifies it when the user binds. Memory-hard and slow on purpose: a four-digit
// PIN has only 10,000 values, so each guess must cost as much as a request can afford.
std::string Argon2Hash(const std::string& secret);
// True when secret hashes to stored (a form Argon2Hash made).
bool VerifyArgon2(const std::string& secret, const std::string& stored);

}  // namespace zeb::zdl
