// What only a directory server shows: names with its syntax, real multi-values, hashes it
// verifies, outages, and settings it refuses. Skipped unless ZEB_TEST_LDAP names a test server.
#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>

#include "e2e/DirectoryServer.h"
#include "e2e/ZebdTest.h"
#include "support/TempDir.h"
#include "zdl/directory/LdapConnection.h"

namespace zeb::test {
namespace {

std::string AddUserRequest(const std::string& rn, const std::string& more = "") {
  return "<addUser><newUser><firstname>F</firstname><lastname>L</lastname><ldapRN>" + rn +
         "</ldapRN><ldapDN/><email/><password>pw-1</password><pin>1234</pin>" + more + "</newUser></addUser>";
}

class DirectoryServerTest : public ZebdTest {
 protected:
  void SetUp() override {
    if (!server_.available()) GTEST_SKIP() << "ZEB_TEST_LDAP names no test directory server";
    base_ = server_.MakeUserBase();
    UseDirectoryServer(zebd_, server_, base_);
  }
  std::string Snapshot() const override { return ZebdTest::Snapshot() + server_.Dump(base_); }

  void AddUser(const std::string& rn, const std::string& more = "") {
    EXPECT_EQ(Standard("addUser", "true"), Call(AddUserRequest(rn, more)));
  }
  std::string ParameterUpdate(const std::string& name, const std::string& value) {
    return "<updateServiceParameter><name>" + name + "</name><processNodeName>EnterpriseWideData</processNodeName>"
           "<service>Directory</service><newValue>" + value + "</newValue></updateServiceParameter>";
  }

  TestDirectoryServer server_;
  std::string base_;
};

TEST_F(DirectoryServerTest, NamesWithDirectorySyntaxAreJustNames) {
  const std::vector<std::string> names = {"*)(uid=*", "a,ou=x", "Zo\xc3\xab", "back\\slash", "#lead+plus"};
  for (const std::string& rn : names) AddUser(rn);
  for (const std::string& rn : names) {
    const std::string user = CallWith("getUser", "ldapRN", rn);
    EXPECT_TRUE(Contains(user, "<ldapRN>" + rn + "</ldapRN>"));
  }
  EXPECT_TRUE(
      Contains(CallWith("getUser", "ldapRN", "a,ou=x"), "<ldapDN>uid=a\\2Cou\\3Dx," + base_ + "</ldapDN>"));
  // A wildcard or a filter is looked up as the name it is, and names no one.
  for (const std::string probe : {"*", "a*", "*)(objectClass=*"}) {
    ExpectRefused("<removeUser><ldapRN>" + probe + "</ldapRN></removeUser>", "removeUser", kNotFound,
                  "User: " + probe + " not found.");
  }
  EXPECT_EQ(Standard("removeUser", "true"), CallWith("removeUser", "ldapRN", "*)(uid=*"));
  const std::string left = server_.Dump(base_);
  EXPECT_FALSE(Contains(left, "uid: *)(uid=*"));
  EXPECT_TRUE(Contains(left, "uid: a,ou=x"));
}

// The server's own match ignores leading, trailing and repeated blanks; a name matches as it
// does in the embedded directory: exactly, but for letter case.
TEST_F(DirectoryServerTest, ANearNameIsNotTheUser) {
  AddUser("sp");
  AddUser("t  w");
  for (const std::string near : {"sp ", " sp", "t w"}) {
    ExpectRefused("<getUser><ldapRN>" + near + "</ldapRN></getUser>", "getUser", kNotFound,
                  "The user: " + near + " was not found.");
    ExpectRefused("<removeUser><ldapRN>" + near + "</ldapRN></removeUser>", "removeUser", kNotFound,
                  "User: " + near + " not found.");
  }
  EXPECT_TRUE(Contains(CallWith("getUser", "ldapRN", "SP"), "<ldapRN>sp</ldapRN>"));
  const std::string added = Call(AddUserRequest("sp "));
  EXPECT_TRUE(Contains(added,
                       "The directory server refused the user name \"sp \": it takes it for the name of an "
                       "existing user, as it ignores leading, trailing and repeated blanks in names."));
  const std::string left = server_.Dump(base_);
  EXPECT_TRUE(Contains(left, "uid: sp\n"));
  EXPECT_TRUE(Contains(left, "uid: t  w"));
}

// A name the server will not take gets a fault with its reason, not the outage fault.
TEST_F(DirectoryServerTest, ANameTheServerRefusesSaysWhy) {
  const std::string name(16000, 'n');
  const std::string added = Call(AddUserRequest(name));
  EXPECT_TRUE(Contains(added, "<code>8</code>"));
  EXPECT_TRUE(Contains(added, "The directory server refused the user name \"" + name.substr(0, 64) +
                                  "...\" (16000 bytes): Invalid DN syntax (invalid DN)."));
}

// An entry made outside zebd with a user name another entry has: which one is meant is
// ambiguous, and nothing is read or changed.
TEST_F(DirectoryServerTest, TwoEntriesWithOneUserNameAreAnErrorThatChangesNothing) {
  AddUser("twin");
  TempDir dir;
  std::ofstream(dir / "twin.ldif") << "dn: cn=Other Twin," << base_
                                   << "\nobjectClass: inetOrgPerson\ncn: Other Twin\nsn: Twin\nuid: twin\n";
  ASSERT_EQ(0, server_.Ldap("ldapadd", {"-f", dir / "twin.ldif"}).exitCode);
  const std::string before = server_.Dump(base_);
  for (const std::string request : {"<removeUser><ldapRN>twin</ldapRN></removeUser>",
                                    "<updateUser><ldapRN>twin</ldapRN><lastname>X</lastname></updateUser>",
                                    "<getUser><ldapRN>twin</ldapRN></getUser>"}) {
    const std::string answer = Call(request);
    EXPECT_TRUE(Contains(answer, "The directory holds 2 entries with the user name \"twin\" ("));
    EXPECT_TRUE(Contains(answer, "the name is ambiguous, and nothing was read or changed."));
  }
  EXPECT_EQ(before, server_.Dump(base_));
}

TEST_F(DirectoryServerTest, ValueListsAreValuesAndSecretsAreHashesTheServerVerifies) {
  AddUser("multi", "<associatedDevices><device>SEP1</device><device>SEP2</device><device>sep1</device>"
                   "</associatedDevices><phoneProfiles><profileName>P1</profileName><profileName>P2</profileName>"
                   "</phoneProfiles>");
  EXPECT_EQ((std::vector<std::string>{"SEP1", "SEP2"}), server_.Values(base_, "multi", "zebDeviceName"));
  EXPECT_EQ((std::vector<std::string>{"P1", "P2"}), server_.Values(base_, "multi", "zebDeviceProfile"));
  EXPECT_EQ((std::vector<std::string>{"P1"}), server_.Values(base_, "multi", "zebDefaultDeviceProfile"));
  // The user binds with the password it was given, and with nothing else.
  const std::string dn = "uid=multi," + base_;
  EXPECT_EQ(0, server_.Ldap("ldapwhoami", {"-D", dn, "-w", "pw-1"}, false).exitCode);
  EXPECT_NE(0, server_.Ldap("ldapwhoami", {"-D", dn, "-w", "1234"}, false).exitCode);
}

TEST_F(DirectoryServerTest, SettingsTheDirectoryRefusesAreNotWritten) {
  const std::string prefix = "The directory settings were not changed: ";
  const struct {
    std::string name, value, reason;
  } cases[] = {
      {"DirectoryURL", "http://127.0.0.1/", "The directory URL \"http://127.0.0.1/\" is not one ldap:// or ldaps:// URL."},
      {"DirectoryURL", "ldap://127.0.0.1:1", "The directory cannot be used: Can't contact LDAP server."},
      {"DirectoryUserBase", "ou=nowhere," + base_, "The user base \"ou=nowhere," + base_ + "\" does not exist."},
      {"DirectoryManagerDn", "cn=nobody,dc=zeb,dc=test",
       "The directory refused the manager credentials cn=nobody,dc=zeb,dc=test."},
      {"DirectoryManagerPassword", "guess",
       "The directory refused the manager credentials " + server_.managerDn() + "."},
      {"DirectoryStartTLS", "yes", "DirectoryStartTLS is true or false."},
  };
  for (const auto& c : cases) {
    ExpectRefused(ParameterUpdate(c.name, c.value), "updateServiceParameter", kInvalidValue,
                  c.name == "DirectoryStartTLS" ? c.reason : prefix + c.reason);
  }
  // The test server speaks no TLS.
  const std::string tls = Call(ParameterUpdate("DirectoryStartTLS", "true"));
  EXPECT_TRUE(Contains(tls, prefix + "The directory cannot be used: StartTLS failed"));
  AddUser("still");
}

TEST_F(DirectoryServerTest, TheDirectoryCommandChecksBeforeItWrites) {
  TempDir dir;
  { std::ofstream(dir / "wrong.pw") << "guess\n"; }
  const std::string before = Snapshot();
  auto command = [&](const std::string& url, const std::string& base, const std::string& passwordFile) {
    return RunZebd({"directory", "--db", zebd_.dbPath(), "--secret-key", zebd_.keyPath(), "--url", url,
                    "--user-base", base, "--manager-dn", server_.managerDn(), "--manager-password-file",
                    passwordFile});
  };
  const CommandResult refused = command(server_.url(), base_, dir / "wrong.pw");
  EXPECT_EQ(1, refused.exitCode);
  EXPECT_EQ("zebd directory: refused, nothing was changed: The directory refused the manager credentials " +
                server_.managerDn() + ".\n",
            refused.err);
  EXPECT_EQ(1, command(server_.url(), base_, dir / "missing.pw").exitCode);
  EXPECT_EQ(2, RunZebd({"directory", "--db", zebd_.dbPath(), "--url", server_.url()}).exitCode);
  EXPECT_EQ(before, Snapshot());

  AddUser("kept");
  const CommandResult embedded =
      RunZebd({"directory", "--db", zebd_.dbPath(), "--secret-key", zebd_.keyPath(), "--url", ""});
  EXPECT_EQ(0, embedded.exitCode) << embedded.err;
  EXPECT_TRUE(Contains(embedded.out, "the cluster's directory is now the embedded directory"));
  EXPECT_EQ(Fault("getUser", kNotFound, "The user: kept was not found."),
            CallWith("getUser", "ldapRN", "kept"));
  UseDirectoryServer(zebd_, server_, base_);
  EXPECT_TRUE(Contains(CallWith("getUser", "ldapRN", "kept"), "<ldapRN>kept</ldapRN>"));
}

// Stopping the directory makes the user methods fail at once with the unusable-database fault,
// a directory that stops answering makes them fail after the time-out; once it is back they work
// again, without a restart of zebd.
TEST(DirectoryOutageTest, RequestsFailClearlyAndRecoverWithoutARestart) {
  if (!TestDirectoryServer().available()) GTEST_SKIP() << "ZEB_TEST_LDAP names no test directory server";
  TempDir dir;
  TestDirectoryServer server(dir / "slapd");
  ZebdProcess zebd;
  UseDirectoryServer(zebd, server, server.MakeUserBase());
  auto call = [&](const std::string& request) { return PostElement(zebd.port(), request); };
  const std::string get = "<getUser><ldapRN>ola</ldapRN></getUser>";
  ASSERT_TRUE(Contains(call(AddUserRequest("ola")), "<return>true</return>"));
  server.Script("halt");
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& request : {get, std::string("<listUserByName><firstname/><lastname/></listUserByName>")}) {
    const std::string answer = call(request);
    EXPECT_TRUE(Contains(answer, "The directory cannot be used: Can't contact LDAP server."));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  server.Script("resume");
  EXPECT_TRUE(Contains(call(get), "<ldapRN>ola</ldapRN>"));

  // A server that takes connections but answers nothing holds a request no longer than one
  // operation's time-out (it is not asked twice).
  server.Script("freeze");
  RawConnection client(zebd.port());
  client.Send(SoapRequest(SoapEnvelope(get)));
  const auto frozen = std::chrono::steady_clock::now();
  const std::string answer = BodyOf(client.ReadResponse(Millis(60'000)));
  EXPECT_TRUE(Contains(answer, "The directory cannot be used: Timed out."));
  EXPECT_LT(std::chrono::steady_clock::now() - frozen, zdl::LdapConnection::kOperationTimeout + std::chrono::seconds(5));
  server.Script("thaw");
  EXPECT_TRUE(Contains(call(get), "<ldapRN>ola</ldapRN>"));
}

// A directory server that stops answering holds only the requests that need it: with two clients
// looping getUser on it, other methods answer in their usual time; readiness names the directory
// within a second, and shows its recovery.
TEST(DirectoryOutageTest, AHungServerHoldsOnlyTheRequestsThatNeedIt) {
  if (!TestDirectoryServer().available()) GTEST_SKIP() << "ZEB_TEST_LDAP names no test directory server";
  TempDir dir;
  TestDirectoryServer server(dir / "slapd");
  ZebdProcess zebd({"--admin-listen", "0", "--request-timeout", "4"});
  UseDirectoryServer(zebd, server, server.MakeUserBase());
  auto call = [&](const std::string& request) { return PostElement(zebd.port(), request); };
  auto admin = [&](const std::string& path) { return AdminRequest(zebd.adminPort(), path); };
  ASSERT_TRUE(Contains(call(AddPartitionRequest("P")), "<return>"));
  server.Script("freeze");
  std::atomic<bool> stop{false};
  std::atomic<int> userFaults{0};
  std::vector<std::thread> loops;
  for (int i = 0; i < 2; ++i) {
    loops.emplace_back([&] {
      while (!stop) {
        if (call("<getUser><ldapRN>ola</ldapRN></getUser>").find("<code>7</code>") != std::string::npos) ++userFaults;
      }
    });
  }
  std::this_thread::sleep_for(Millis(300));
  long long slowest = 0;
  for (int i = 0; i < 20; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Contains(call("<getRoutePartition><partitionName>P</partitionName></getRoutePartition>"),
                         "<name>P</name>"));
    slowest = std::max(slowest, ElapsedMs(start));
  }
  EXPECT_GT(1000, slowest);
  const auto probed = std::chrono::steady_clock::now();
  const std::string notReady = admin("/readyz");
  EXPECT_GT(2000, ElapsedMs(probed));
  EXPECT_EQ("HTTP/1.1 503 Service Unavailable", StatusLineOf(notReady));
  EXPECT_EQ(0u, BodyOf(notReady).find("directory")) << notReady;
  stop = true;
  for (auto& loop : loops) loop.join();
  EXPECT_LT(0, userFaults.load());
  server.Script("thaw");
  EXPECT_TRUE(Eventually([&] { return StatusLineOf(admin("/readyz")) == "HTTP/1.1 200 OK"; }, Millis(5'000)));
  const std::string metrics = BodyOf(admin("/metrics"));
  EXPECT_TRUE(Contains(metrics, "zebd_directory_errors_total{kind=\"unavailable\"} "));
  EXPECT_FALSE(Contains(metrics, "zebd_directory_errors_total{kind=\"unavailable\"} 0\n"));
  EXPECT_TRUE(Contains(metrics, "zebd_database_errors_total{kind=\"unavailable\"} 0\n"));
}

// A node without the key of a database's secrets says so and does not start, and leaves no key
// file of its own behind.
TEST(SecretKeyStartTest, ANodeWithoutTheKeyRefusesToStart) {
  ZebdProcess first;
  ASSERT_EQ(0, first.Stop());
  TempDir dir;
  const CommandResult refused = RunZebd({"--listen", "127.0.0.1:0", "--db", first.dbPath(), "--trace-dir",
                                         dir / "trace", "--secret-key", dir / "other.key"});
  EXPECT_EQ(1, refused.exitCode);
  EXPECT_TRUE(Contains(refused.err, "this node has no secret key file " + dir / "other.key"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.key"));
}

}  // namespace
}  // namespace zeb::test
