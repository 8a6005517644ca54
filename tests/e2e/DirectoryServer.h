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
  // Without privateDir, the server ZEB_TEST_LDAP names (available() is false when it names
  // none); with it, a server of its own started there, and stopped and removed with this.
  explicit TestDirectoryServer(const std::string& privateDir = "");
  ~TestDirectoryServer();
  TestDirectoryServer(const TestDirectoryServer&) = delete;
  TestDirectoryServer& operator=(const TestDirectoryServer&) = delete;

  bool available() const { return !dir_.empty(); }
  const std::string& url() const { return url_; }
  const std::string& managerDn() const { return managerDn_; }
  std::string managerPasswordFile() const { return dir_ + "/manager.pw"; }

  // Makes a fresh organizational unit under the server's user base and returns its DN.
  std::string MakeUserBase();
  // Adds the entries of an LDIF text as the manager; throws std::runtime_error when refused.
  void Add(const std::string& ldif);
  // Every entry right below base with every attribute, as sorted LDIF lines.
  std::string Dump(const std::string& base) const;
  // The values of an attribute of the entry below base whose uid is rn, as stored.
  std::vector<std::string> Values(const std::string& base, const std::string& rn, const std::string& attribute) const;
  // Runs an ldap-utils program against the server, bound as the manager when asManager.
  CommandResult Ldap(const std::string& program, std::vector<std::string> args, bool asManager = true) const;
  // Runs tests/ldap/slapd.sh with action ("halt" stops the server, "resume" starts it again).
  void Script(const std::string& action) const;

 private:
  std::string dir_;
  bool owned_ = false;
  std::string url_, base_, managerDn_;
  std::vector<std::string> madeBases_;
};

// Points the cluster of zebd at base on server with `zebd directory` and expects it to succeed.
void UseDirectoryServer(const ZebdProcess& zebd, const TestDirectoryServer& server, const std::string& base);

}  // namespace zeb::test
