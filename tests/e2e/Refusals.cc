#include "e2e/Refusals.h"

#include <gtest/gtest.h>

#include "e2e/ZebdTest.h"

namespace zeb::test {

std::string MethodOf(const std::string& request) {
  const std::size_t end = request.find_first_of(" />", 1);
  const std::string name = request.substr(1, end - 1);
  const std::size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

void ExpectAllRefused(const ZebdProcess& zebd, const std::vector<RefusalCase>& cases,
                      const std::function<std::string()>& snapshot) {
  const auto state = [&] { return snapshot ? snapshot() : DatabaseSnapshot(zebd.dbPath()); };
  // A refusal changes nothing, so one snapshot taken first stands for the state before each.
  const std::string before = state();
  for (const RefusalCase& c : cases) {
    const std::string message = (c.code == kUnexpectedNode ? "Unexpected element. " : "") + c.message;
    const std::string response = PostSoap(zebd.port(), SoapEnvelope(c.request));
    EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(response)) << c.request;
    EXPECT_EQ(FaultEnvelope(SchemaHost(), MethodOf(c.request), c.code, message), BodyOf(response)) << c.request;
    EXPECT_EQ(before, state()) << "the refused request changed the database: " << c.request;
  }
}

}  // namespace zeb::test
