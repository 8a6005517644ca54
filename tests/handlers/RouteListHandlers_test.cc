#include "handlers/dialplan/RouteListHandlers.h"

#include <gtest/gtest.h>

#include "soap/ZebExceptions.h"

namespace zeb {
namespace {

TEST(VariantToLongTest, RoundsFractionsToEvenAndAllowsBlanksAndSigns) {
  const std::pair<const char*, long> cases[] = {
      {" 12 ", 12}, {"+3", 3},   {"-40", -40}, {"0.5", 0},          {"1.5", 2},
      {"2.5", 2},   {"2.51", 3}, {"-3.5", -4}, {".7", 1},           {"4.", 4},
      {"\t9\r\n", 9}, {"2147483647", 2147483647}, {"-2147483648", -2147483648L},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(value, VariantToLong(text)) << text;
}

TEST(VariantToLongTest, RefusesTextThatIsNotANumberOrOutOfRange) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"", kComTypeMismatch},   {" ", kComTypeMismatch},   {"1x", kComTypeMismatch},    {"1 2", kComTypeMismatch},
      {"-", kComTypeMismatch},  {".", kComTypeMismatch},   {"0x10", kComTypeMismatch},  {"2147483648", 0x8002000Au},
      {"-2147483649", 0x8002000Au}, {"99999999999999999999", 0x8002000Au},
  };
  for (const auto& [text, code] : cases) {
    try {
      VariantToLong(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const CComError& error) {
      EXPECT_EQ(code, error.Error()) << text;
    }
  }
}

}  // namespace
}  // namespace zeb
