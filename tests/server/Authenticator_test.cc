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

// "Basic " + base64("alice:alice-pw"), and the same with the password of bob.
const std::string_view kAlice = "Basic YWxpY2U6YWxpY2UtcHc=";
const std::string_view kAliceWithBobsPassword = "Basic YWxpY2U6Ym9iLXB3";
const std::string_view kMalloryWithAlicesPassword = "Basic bWFsbG9yeTphbGljZS1wdw==";

class AuthenticatorTest : public ::testing::Test {
 protected:
  AuthenticatorTest() {
    char pattern[] = "/tmp/zeb-authenticator-XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ + "/users";
    aliceHash_ = test::MakeHash("$y$", "alice-pw");
    Write("alice:" + aliceHash_ + "\nbob:" + test::MakeHash("$2b$", "bob-pw") + "\n");
    authenticator_ = std::make_unique<Authenticator>(path_, [](const std::string&) {});
  }
  ~AuthenticatorTest() override { std::filesystem::remove_all(dir_); }

  void Write(const std::string& text) {
    std::ofstream(path_ + ".new") << text;
    std::filesystem::rename(path_ + ".new", path_);
  }

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
  std::string aliceHash_;
  std::unique_ptr<Authenticator> authenticator_;
};

TEST_F(AuthenticatorTest, MissingOrMalformedHeaderIsRefusedWithoutACheck) {
  const Clock::time_point now = Clock::now();
  EXPECT_EQ(Verdict::kRefused, authenticator_->Begin(nullptr, "10.0.0.1", now).verdict);
  const std::string_view bearer = "Bearer abc";
  EXPECT_EQ(Verdict::kRefused, authenticator_->Begin(&bearer, "10.0.0.1", now).verdict);
}

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

TEST_F(AuthenticatorTest, ChangedOrRemovedUserIsCheckedAgainAtOnce) {
  const Clock::time_point t0 = Clock::now();
  ASSERT_EQ(Verdict::kAccepted, Authenticate(kAlice, "10.0.0.1", t0));

  Write("alice:" + test::MakeHash("$y$", "new-pw") + "\n");
  EXPECT_EQ(Verdict::kRefused, Authenticate(kAlice, "10.0.0.1", t0 + seconds(1)));

  Write("alice:" + aliceHash_ + "\n");
  ASSERT_EQ(Verdict::kAccepted, Authenticate(kAlice, "10.0.0.2", t0 + seconds(2)));
  Write("bob:" + aliceHash_ + "\n");
  EXPECT_EQ(Verdict::kRefused, Authenticate(kAlice, "10.0.0.2", t0 + seconds(3)));
}

TEST_F(AuthenticatorTest, UnknownUserIsCheckedAgainstADecoyAndNeverPasses) {
  const Clock::time_point t0 = Clock::now();
  Authenticator::Attempt attempt;
  // The decoy is alice's hash, and this is alice's password: still no entry for mallory.
  EXPECT_EQ(Verdict::kRefused, Authenticate(kMalloryWithAlicesPassword, "10.0.0.1", t0, &attempt));
  EXPECT_FALSE(attempt.knownUser);
  EXPECT_EQ(aliceHash_, attempt.hash);
  EXPECT_EQ(Verdict::kRefused, Authenticate(kAliceWithBobsPassword, "10.0.0.3", t0));
}

TEST_F(AuthenticatorTest, FailuresDelayLaterChecksFromTheSameAddressOnly) {
  const Clock::time_point t0 = Clock::now();
  ASSERT_EQ(Verdict::kRefused, Authenticate(kAliceWithBobsPassword, "10.0.0.1", t0));
  ASSERT_EQ(Verdict::kRefused, Authenticate(kAliceWithBobsPassword, "10.0.0.1", t0));

  Authenticator::Attempt attempt = authenticator_->Begin(&kAlice, "10.0.0.1", t0);
  EXPECT_EQ(Verdict::kCheck, attempt.verdict);
  EXPECT_EQ(t0 + std::chrono::milliseconds(400), attempt.notBefore);
  EXPECT_EQ(t0, authenticator_->Begin(&kAlice, "10.0.0.2", t0).notBefore);
}

}  // namespace
}  // namespace zeb::server
