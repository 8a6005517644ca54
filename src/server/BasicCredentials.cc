#include "server/BasicCredentials.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>

namespace zeb::server {

namespace {

bool IsBase64Char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '/'; }

// Strict base64: whole groups of four, padding only at the end. EVP_DecodeBlock alone would
// accept blanks and count padding as zero bytes.
std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = text.size() - (text.find_last_not_of('=') + 1);
  if (padding > 2) return std::nullopt;
  if (!std::all_of(text.begin(), text.end() - static_cast<std::ptrdiff_t>(padding), IsBase64Char))
    return std::nullopt;
  std::string out(text.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n) - padding);
  return out;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

std::optional<BasicCredentials> ParseBasicAuthorization(std::string_view value) {
  constexpr std::string_view kScheme = "basic";
  if (value.size() <= kScheme.size() ||
      !std::equal(kScheme.begin(), kScheme.end(), value.begin(),
                  [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    return std::nullopt;
  }
  value.remove_prefix(kScheme.size());
  std::size_t start = value.find_first_not_of(' ');
  if (start == 0 || start == std::string_view::npos) return std::nullopt;
  value.remove_prefix(start);
  if (value.size() > (kMaxPasswordBytes + 256) / 3 * 4 + 4) return std::nullopt;

  std::optional<std::string> decoded = DecodeBase64(value);
  if (!decoded) return std::nullopt;
  std::size_t colon = decoded->find(':');
  if (colon == 0 || colon == std::string::npos) return std::nullopt;
  BasicCredentials credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
  if (std::any_of(credentials.user.begin(), credentials.user.end(), IsControl)) return std::nullopt;
  if (credentials.password.find('\0') != std::string::npos) return std::nullopt;
  if (credentials.password.size() > kMaxPasswordBytes) return std::nullopt;
  return credentials;
}

}  // namespace zeb::server
