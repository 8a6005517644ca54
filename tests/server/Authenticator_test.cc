#include "server/Authenticator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "server/TestHashes.h"

namespace zeb::server {
namespace {

using Clock = Authenticator::Clock;
using Verdict = Authenticator::Verdict;
using std::chrono::seconds;

// "Basic " + base64("alice:alice-pw").
const std::string_view kAlice = "Basic YWxpY2U6YWxpY2UtcHc=";

class AuthenticatorTest : public ::testing::Test {
 protected:
  AuthenticatorTest() {
    char pattern[] = "/tmp/zeb-authenticator-XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ + "/users";
    std::ofstream(path_) << "alice:" << test::MakeHash("$y$", "alice-pw") << "\n";
    authenticator_ = std::make_unique<Authenticator>(path_, [](const std::string&) {});
  }
  ~AuthenticatorTest() override { std::filesystem::remove_all(dir_); }

  // Runs Begin and, when it asks for one, the check and Finish; returns the outcome.
  Verdict Authenticate(std::string_view header, const std::string& address, Clock::time_point now,
                       Authenticator::Attempt* begun = nullptr) {
    Authenticator::Attempt attempt = authenticator_->Begin(&header, address, now);
    if (begun != nullptr) *begun = attempt;
    if (attempt.verdict != Verdict::kCheck) return attempt.verdict;
    bool passed = Authenticator::Check(attempt);
    authenticator_->Finish(attempt, passed, address, now);
    return passed ? Verdict::kAccepted : Verdict::kRefused;
  }

  std::string dir_;
  std::string path_;
  std::unique_ptr<Authenticator> authenticator_;
};

TEST_F(AuthenticatorTest, VerifiedHeaderIsTrustedForAWhileAndNoLonger) {
  const Clock::time_point t0 = Clock::now();
  Authenticator::Attempt attempt;
  EXPECT_EQ(Verdict::kAccepted, Authenticate(kAlice, "10.0.0.1", t0, &attempt));
  EXPECT_EQ(Verdict::kCheck, attempt.verdict);
  EXPECT_EQ("alice", attempt.user);

  // From anywhere, within the cache time, without a check.
  attempt = authenticator_->Begin(&kAlice, "10.0.0.2", t0 + seconds(59));
  EXPECT_EQ(Verdict::kAccepted, attempt.verdict);
  EXPECT_EQ("alice", attempt.user);
  EXPECT_EQ(Verdict::kCheck, authenticator_->Begin(&kAlice, "10.0.0.1", t0 + seconds(61)).verdict);
}

}  // namespace
}  // namespace zeb::server
