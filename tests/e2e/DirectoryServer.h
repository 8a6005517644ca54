// The directory server of the end-to-end tests: the one ZEB_TEST_LDAP names (a directory made by
// tests/ldap/slapd.sh), or a private one a test starts for itself. Each test keeps its users
// under a base of its own, so that tests running in parallel do not see each other's users.
#pragma once

#include <string>
#include <vector>

#include "e2e/ZebdProcess.h"

namespace zeb::test {

// Which directory a user test runs on.
enum class DirectoryKind { kEmbedded, kServer };

class TestDirectoryServer {
 public:
  // The server ZEB_TEST_LDAP names; available() is false when the variable is not set.
  TestDirectoryServer();
  // A private server started in dir (tests/ldap/slapd.sh start), stopped and removed with this.
  static TestDirectoryServer StartPrivate(const std::string& dir);
  ~TestDirectoryServer();
  TestDirectoryServer(TestDirectoryServer&& other) noexcept;
  TestDirectoryServer(const TestDirectoryServer&) = delete;
  TestDirectoryServer& operator=(const TestDirectoryServer&) = delete;

  bool available() const { return !dir_.empty(); }
  const std::string& url() const { return url_; }
  const std::string& managerDn() const { return managerDn_; }
  std::string managerPasswordFile() const { return dir_ + "/manager.pw"; }

  // Makes a fresh organizational unit under the server's user base and returns its DN.
  std::string MakeUserBase();
  // Every entry below base (not base itself) with every attribute, as sorted LDIF lines.
  std::string Dump(const std::string& base) const;
  // The values of an attribute of the entry below base whose uid is rn, as stored.
  std::vector<std::string> Values(const std::string& base, const std::string& rn, const std::string& attribute) const;
  // Runs an ldap-utils program (ldapsearch, ldapwhoami, ...) against the server; the manager's
  // bind arguments are added when asManager.
  CommandResult Ldap(const std::string& program, std::vector<std::string> args, bool asManager = true) const;

  // Stops the server and starts it again (tests/ldap/slapd.sh halt, resume).
  void Halt();
  void Resume();

 private:
  explicit TestDirectoryServer(const std::string& dir, bool owned);
  void ReadSettings();

  std::string dir_;
  bool owned_ = false;
  std::string url_, base_, managerDn_;
  std::vector<std::string> madeBases_;
};

// Points the cluster of zebd at base on server with `zebd directory` and expects it to succeed.
void UseDirectoryServer(const ZebdProcess& zebd, const TestDirectoryServer& server, const std::string& base);

}  // namespace zeb::test
