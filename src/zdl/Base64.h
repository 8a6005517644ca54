#pragma once

#include <string>
#include <vector>

namespace zeb::zdl {

// Standard base64 with padding, as the sealed secrets and the stored password hashes write it.
std::string Base64(const std::vector<unsigned char>& bytes);
// Decodes canonical padded base64 into out; false (out untouched) for anything else.
bool FromBase64(const std::string& text, std::vector<unsigned char>& out);

}  // namespace zeb::zdl
