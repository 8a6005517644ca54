#include "server/AuthFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/PasswordHash.h"
#include "server/TestHashes.h"

namespace zeb::server {
namespace {

using test::MakeHash;

// The right password of each scheme, hashed by the usual tools, is accepted in Secure_e2e_test.
TEST(PasswordHash, OnlyTheExactPasswordOfASlowSchemeVerifies) {
  for (const char* prefix : {"$y$", "$2b$", "$6$"}) {
    const std::string hash = MakeHash(prefix, "pass word:1");
    EXPECT_TRUE(IsSupportedHash(hash)) << hash;
    for (const char* wrong : {"", "pass word:", "pass word:12", "Pass word:1"}) {
      EXPECT_FALSE(VerifyPassword(wrong, hash)) << prefix << " '" << wrong << "'";
    }
  }
  // Fast schemes are refused even with the right password; so is what is no hash at all.
  for (const std::string& refused : {MakeHash("$1$", "pw"), std::string("$apr1$abc$def"), std::string("pw"),
                                     std::string(""), std::string("$y$"), std::string("$6$")}) {
    EXPECT_FALSE(IsSupportedHash(refused)) << refused;
    EXPECT_FALSE(VerifyPassword("pw", refused)) << refused;
  }
  EXPECT_FALSE(VerifyPassword("pw", "$y$j9T$broken"));
}

TEST(UserTable, ParsesUsableLinesAndExplainsTheOthers) {
  const std::string yes = MakeHash("$y$", "a");
  const std::string bcrypt = MakeHash("$2b$", "b");
  const std::string md5 = MakeHash("$1$", "c");
  const std::vector<std::string> lines = {
      "# operators",                       // 1
      "alice:" + yes + "\r",               // 2: written with CR LF
      "",                                  // 3
      "bob:" + bcrypt,                     // 4
      "carol:" + md5,                      // 5
      "dave",                              // 6
      ":" + yes,                           // 7
      "alice:" + bcrypt,                   // 8
      "abcdefghijklmnopqrstuvwxy:" + yes,  // 9: 25 bytes
      "abcdefghijklmnopqrstuvwx:" + yes,   // 10: 24 bytes
      "e\tve:" + yes,                      // 11
      "frank:" + yes + ":19000:0",         // 12: shadow-style fields
      "Bob:" + yes,                        // 13: no final line feed
  };
  std::string text;
  for (const std::string& line : lines) text += line + (&line == &lines.back() ? "" : "\n");
  std::vector<std::string> warnings;
  UserTable table = UserTable::Parse(text, &warnings);

  EXPECT_EQ(4u, table.size());
  ASSERT_NE(nullptr, table.Find("alice"));
  EXPECT_EQ(yes, *table.Find("alice"));  // the first line of a name counts; no CR kept
  ASSERT_NE(nullptr, table.Find("bob"));
  EXPECT_EQ(bcrypt, *table.Find("bob"));
  EXPECT_NE(nullptr, table.Find("Bob"));  // names match exactly
  EXPECT_NE(nullptr, table.Find("abcdefghijklmnopqrstuvwx"));
  EXPECT_EQ(nullptr, table.Find("carol"));
  EXPECT_EQ(yes, table.decoyHash());

  const std::vector<std::string> expected = {
      "line 5: not a yescrypt, bcrypt or SHA-512 crypt hash (make one with mkpasswd or htpasswd -B); the "
      "line is ignored",
      "line 6: not of the form user:hash; the line is ignored",
      "line 7: empty user name; the line is ignored",
      "line 8: user 'alice' appears again; the line is ignored",
      "line 9: user name longer than 24 bytes; the line is ignored",
      "line 11: control character in the user name; the line is ignored",
      "line 12: not a yescrypt, bcrypt or SHA-512 crypt hash (make one with mkpasswd or htpasswd -B); the "
      "line is ignored",
  };
  EXPECT_EQ(expected, warnings);
}

}  // namespace
}  // namespace zeb::server
