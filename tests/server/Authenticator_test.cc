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

  std::string dir_;
  std::string path_;
  std::unique_ptr<Authenticator> authenticator_;
};

TEST_F(AuthenticatorTest, VerifiedHeaderIsTrustedForAWhileAndNoLonger) {
  const Clock::time_point t0 = Clock::now();
  Authenticator::Attempt attempt = authenticator_->Begin(&kAlice, "10.0.0.1", t0);
  ASSERT_EQ(Verdict::kCheck, attempt.verdict);
  EXPECT_EQ("alice", attempt.user);
  ASSERT_TRUE(Authenticator::Check(attempt));
  authenticator_->Finish(attempt, true, "10.0.0.1", t0);

  // From anywhere, within the cache time, without a check.
  attempt = authenticator_->Begin(&kAlice, "10.0.0.2", t0 + seconds(59));
  EXPECT_EQ(Verdict::kAccepted, attempt.verdict);
  EXPECT_EQ("alice", attempt.user);
  EXPECT_EQ(Verdict::kCheck, authenticator_->Begin(&kAlice, "10.0.0.1", t0 + seconds(61)).verdict);
}

// A directory that knows alice (password "alice-pw", in the write group) and is down while
// `down` is set; counts the sign-ins it is asked for.
struct FakeDirectory {
  bool down = false;
  int asked = 0;
  Authenticator::CheckResult operator()(const std::string& user, const std::string& password) {
    ++asked;
    Authenticator::CheckResult result;
    if (down) {
      result.outcome = Authenticator::CheckResult::Outcome::kUnavailable;
      result.reason = "The directory cannot be used: Can't contact LDAP server.";
      return result;
    }
    result.knownUser = user == "alice";
    if (result.knownUser && password == "alice-pw") {
      result.outcome = Authenticator::CheckResult::Outcome::kPassed;
      result.role = Role::kWrite;
    }
    return result;
  }
};

TEST(DirectoryAuthenticatorTest, SignInsAreCachedWithTheirRoleFailuresThrottledOutagesNot) {
  FakeDirectory directory;
  Authenticator::Policy policy;
  policy.cacheTime = seconds(5);
  Authenticator authenticator([&directory](const std::string& u, const std::string& p) { return directory(u, p); },
                              policy);
  const Clock::time_point t0 = Clock::now();
  auto signIn = [&](std::string_view header, Clock::time_point now) {
    Authenticator::Attempt attempt = authenticator.Begin(&header, "10.0.0.9", now);
    if (attempt.verdict != Verdict::kCheck) return attempt;
    EXPECT_LE(attempt.notBefore, now + seconds(1));
    const Authenticator::CheckResult result = Authenticator::Verify(attempt);
    authenticator.Finish(attempt, result, "10.0.0.9", now);
    attempt.verdict = result.passed() ? Verdict::kAccepted : Verdict::kRefused;
    attempt.role = result.role;
    return attempt;
  };

  // The directory is down: no sign-in, and nothing counted against the address.
  directory.down = true;
  EXPECT_EQ(Verdict::kRefused, signIn(kAlice, t0).verdict);
  EXPECT_EQ(t0, authenticator.Begin(&kAlice, "10.0.0.9", t0).notBefore);
  directory.down = false;

  Authenticator::Attempt signedIn = signIn(kAlice, t0);
  EXPECT_EQ(Verdict::kAccepted, signedIn.verdict);
  EXPECT_EQ(Role::kWrite, signedIn.role);
  const int asked = directory.asked;
  Authenticator::Attempt cached = authenticator.Begin(&kAlice, "10.0.0.1", t0 + seconds(4));
  EXPECT_EQ(Verdict::kAccepted, cached.verdict);
  EXPECT_EQ(Role::kWrite, cached.role);
  EXPECT_EQ(asked, directory.asked);
  EXPECT_EQ(Verdict::kCheck, authenticator.Begin(&kAlice, "10.0.0.1", t0 + seconds(6)).verdict);
  // SIGHUP forgets the sign-ins.
  authenticator.ReloadUsers();
  EXPECT_EQ(Verdict::kCheck, authenticator.Begin(&kAlice, "10.0.0.1", t0 + seconds(1)).verdict);

  // "alice:wrong" fails and slows the address down; the bool form caches no directory sign-in.
  EXPECT_EQ(Verdict::kRefused, signIn("Basic YWxpY2U6d3Jvbmc=", t0).verdict);
  EXPECT_LT(t0, authenticator.Begin(&kAlice, "10.0.0.9", t0).notBefore);
  Authenticator::Attempt attempt = authenticator.Begin(&kAlice, "10.0.0.3", t0);
  authenticator.Finish(attempt, Authenticator::Check(attempt), "10.0.0.3", t0);
  EXPECT_EQ(Verdict::kCheck, authenticator.Begin(&kAlice, "10.0.0.3", t0).verdict);
}

}  // namespace
}  // namespace zeb::server
