#include "server/BasicCredentials.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

namespace zeb::server {
namespace {

std::string Basic(const std::string& userColonPassword) {
  std::string encoded(4 * ((userColonPassword.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                          reinterpret_cast<const unsigned char*>(userColonPassword.data()),
                          static_cast<int>(userColonPassword.size()));
  encoded.resize(static_cast<std::size_t>(n));
  return "Basic " + encoded;
}

TEST(ParseBasicAuthorization, DecodesUserAndPassword) {
  struct Case {
    std::string header;
    const char* user;
    std::string password;
  };
  const std::string longest(kMaxPasswordBytes, 'p');
  const std::vector<Case> cases = {
      {"Basic YWxpY2U6c2VjcmV0", "alice", "secret"},
      {"basic YWxpY2U6c2VjcmV0", "alice", "secret"},
      {"BASIC   YWxpY2U6c2VjcmV0", "alice", "secret"},
      {"Basic YTo=", "a", ""},                                  // empty password, one padding byte
      {"Basic YTpi", "a", "b"},                                 // no padding
      {"Basic YTpiYw==", "a", "bc"},                            // two padding bytes
      {"Basic YTpiOmM6", "a", "b:c:"},                          // the password keeps its colons
      {"Basic w6lsw6huZTpwdw==", "\xc3\xa9l\xc3\xa8ne", "pw"},  // UTF-8 user name
      {Basic("a:" + longest), "a", longest},
  };
  for (const Case& c : cases) {
    auto credentials = ParseBasicAuthorization(c.header);
    ASSERT_TRUE(credentials.has_value()) << c.header;
    EXPECT_EQ(c.user, credentials->user) << c.header;
    EXPECT_EQ(c.password, credentials->password) << c.header;
  }
}

TEST(ParseBasicAuthorization, RefusesWhatIsNotUsableBasicCredentials) {
  const std::vector<std::string> refused = {
      "",
      "Basic",
      "Basic ",
      "BasicYWxpY2U6c2VjcmV0",    // no blank after the scheme
      "Bearer YWxpY2U6c2VjcmV0",  // another scheme
      "Digest username=\"alice\"",
      "Basic YWxpY2U6c2VjcmV0=",                              // not whole groups of four
      "Basic YWxp Y2U6c2VjcmV0",                              // blank inside
      "Basic YW=pY2U6c2VjcmV0",                               // padding inside
      "Basic YQ===",                                          // too much padding
      "Basic YWxpY2U6c2Vj*mV0",                               // not a base64 character
      "Basic YWxpY2U=",                                       // "alice": no colon
      "Basic OnNlY3JldA==",                                   // ":secret": empty user
      "Basic YQFiOnB3",                                       // "a\x01b:pw": control character in the user
      "Basic YTpwAHc=",                                       // "a:p\0w": NUL would cut the password short
      Basic("a:" + std::string(kMaxPasswordBytes + 1, 'p')),  // over-long password
      "Basic " + std::string(4000, 'Q'),                      // over-long header
  };
  for (const std::string& header : refused) {
    EXPECT_FALSE(ParseBasicAuthorization(header).has_value()) << header;
  }
}

}  // namespace
}  // namespace zeb::server
