#include "e2e/DirectoryServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TempDir.h"
#include "zdl/Base64.h"

namespace zeb::test {

namespace {

const std::string kScript = std::string(ZEB_SOURCE_DIR) + "/tests/ldap/slapd.sh";

std::string FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

}  // namespace

TestDirectoryServer::TestDirectoryServer(const std::string& privateDir) : owned_(!privateDir.empty()) {
  const char* shared = std::getenv("ZEB_TEST_LDAP");
  dir_ = owned_ ? privateDir : shared ? shared : "";
  if (dir_.empty()) return;
  if (owned_) Script("start");
  url_ = FirstLine(dir_ + "/url");
  base_ = FirstLine(dir_ + "/base");
  managerDn_ = FirstLine(dir_ + "/manager-dn");
  if (url_.empty()) throw std::runtime_error("no test directory server in " + dir_);
}

TestDirectoryServer::~TestDirectoryServer() {
  if (owned_) {
    RunCommand({"bash", kScript, "stop", dir_});  // never throws: this is a destructor
    return;
  }
  for (const std::string& base : madeBases_) Ldap("ldapdelete", {"-r", base});
}

void TestDirectoryServer::Script(const std::string& action) const {
  const CommandResult result = RunCommand({"bash", kScript, action, dir_}, Millis(30'000));
  if (result.exitCode != 0) throw std::runtime_error("slapd.sh " + action + " failed: " + result.err);
}

CommandResult TestDirectoryServer::Ldap(const std::string& program, std::vector<std::string> args,
                                        bool asManager) const {
  std::vector<std::string> argv = {program, "-x", "-H", url_};
  if (asManager) argv.insert(argv.end(), {"-D", managerDn_, "-y", managerPasswordFile()});
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv);
}

std::string TestDirectoryServer::MakeUserBase() {
  static std::atomic<int> counter{0};
  const std::string ou = "t" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  const std::string base = "ou=" + ou + "," + base_;
  Add("dn: " + base + "\nobjectClass: organizationalUnit\nou: " + ou + "\n");
  madeBases_.push_back(base);
  return base;
}

void TestDirectoryServer::Add(const std::string& ldif) {
  TempDir dir;
  std::ofstream(dir / "add.ldif") << ldif;
  const CommandResult added = Ldap("ldapadd", {"-f", dir / "add.ldif"});
  if (added.exitCode != 0) throw std::runtime_error("cannot add entries: " + added.err);
}

std::string TestDirectoryServer::Dump(const std::string& base) const {
  const CommandResult found = Ldap("ldapsearch", {"-LLL", "-o", "ldif-wrap=no", "-b", base, "-s", "one", "*"});
  std::vector<std::string> lines;
  std::istringstream in(found.out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  std::string text = "exit " + std::to_string(found.exitCode) + "\n";
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::vector<std::string> TestDirectoryServer::Values(const std::string& base, const std::string& rn,
                                                     const std::string& attribute) const {
  const CommandResult found =
      Ldap("ldapsearch", {"-LLL", "-o", "ldif-wrap=no", "-b", base, "-s", "one", "(uid=" + rn + ")", attribute});
  std::vector<std::string> values;
  std::istringstream in(found.out);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, attribute.size() + 2, attribute + ": ") == 0) {
      values.push_back(line.substr(attribute.size() + 2));
    } else if (std::vector<unsigned char> bytes;
               line.compare(0, attribute.size() + 3, attribute + ":: ") == 0 &&
               zdl::FromBase64(line.substr(attribute.size() + 3), bytes)) {
      values.emplace_back(bytes.begin(), bytes.end());  // a value that is not plain ASCII text
    }
  }
  return values;
}

void UseDirectoryServer(const ZebdProcess& zebd, const TestDirectoryServer& server, const std::string& base) {
  const CommandResult result =
      RunZebd({"directory", "--db", zebd.dbPath(), "--secret-key", zebd.keyPath(), "--url", server.url(),
               "--user-base", base, "--manager-dn", server.managerDn(), "--manager-password-file",
               server.managerPasswordFile()});
  ASSERT_EQ(0, result.exitCode) << result.out << result.err;
}

}  // namespace zeb::test
