#include "zdl/Base64.h"

#include <openssl/evp.h>

namespace zeb::zdl {

std::string Base64(const std::vector<unsigned char>& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]), bytes.data(),
                                     static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

bool FromBase64(const std::string& text, std::vector<unsigned char>& out) {
  if (text.empty() || text.size() % 4 != 0) return false;
  std::vector<unsigned char> decoded(text.size() / 4 * 3);
  const int length = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                     static_cast<int>(text.size()));
  if (length < 0) return false;
  std::size_t padding = 0;
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++padding;
  decoded.resize(static_cast<std::size_t>(length) - padding);  // EVP_DecodeBlock keeps the padding's bytes
  out = std::move(decoded);
  return true;
}

}  // namespace zeb::zdl
