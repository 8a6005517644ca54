// Access control seen from clients: roles from a group file and from the directory server's
// groups, the 403 and 429 answers with their trace records, counters and audit rows, the group
// file's reload, and sign-in by binding on the directory server.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "e2e/DirectoryServer.h"
#include "e2e/TlsConnection.h"
#include "e2e/ZebdProcess.h"
#include "support/DatabaseSnapshot.h"
#include "support/SoapText.h"
#include "zdl/Base64.h"

namespace zeb::test {
namespace {

std::string Base64Of(const std::string& text) {
  return zdl::Base64(std::vector<unsigned char>(text.begin(), text.end()));
}

std::string Basic(const std::string& user, const std::string& password) {
  return "Authorization: Basic " + Base64Of(user + ":" + password) + "\r\n";
}

std::string PostAs(int port, const std::string& user, const std::string& password,
                   const std::string& element) {
  return Exchange(port, SoapRequest(SoapEnvelope(element), Basic(user, password)), Millis(30'000));
}
// A GET as user, of the service documents or (with the same credentials) of the admin listener.
std::string GetAs(int port, const std::string& user, const std::string& password, const std::string& path) {
  return Exchange(port, "GET " + path + " HTTP/1.1\r\nHost: zebd\r\n" + Basic(user, password) + "\r\n",
                  Millis(30'000));
}

// Every row but the audit log's: a refused attempt adds an audit row and nothing else.
std::string ConfigurationOf(const ZebdProcess& zebd) {
  std::string snapshot = DatabaseSnapshot(zebd.dbPath());
  const std::size_t from = snapshot.find("[AuditLog]\n");
  if (from == std::string::npos) return snapshot;
  const std::size_t to = snapshot.find("\n[", from);
  return snapshot.erase(from, to == std::string::npos ? std::string::npos : to + 1 - from);
}

bool HasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// The whole answer of a method refused to its caller: status line, headers, plain Client fault.
std::string Refused(const std::string& statusAndHeaders, std::string text) {
  for (std::size_t at = 0; (at = text.find('"', at)) != std::string::npos; at += 6) text.replace(at, 1, "&quot;");
  const std::string envelope = Envelope(PlainFault("SOAP-ENV:Client", text));
  return statusAndHeaders + "Content-Type: text/xml\r\nContent-Length: " + std::to_string(envelope.size()) +
         "\r\n\r\n" + envelope;
}

// The 403 answer to user calling a method that needs role, when the user has `has` ("no role", say).
std::string Forbidden(const std::string& user, const std::string& method, const std::string& role,
                      const std::string& has) {
  return Refused("HTTP/1.1 403 Forbidden\r\n", "User \"" + user + "\" may not call " + method +
                                                   ": it needs the " + role + " role, and the user has " +
                                                   has + ".");
}

const std::string kOk = "HTTP/1.1 200 OK";

const std::string kGetPartition = "<getRoutePartition><name>P1</name></getRoutePartition>";
const std::string kListParameters =
    "<listServiceParameters><nodeName>CM1</nodeName><serviceType>Directory</serviceType></"
    "listServiceParameters>";

// ---------------------------------------------------------------------------------------------
// Roles from a group file, rate limits

class AccessTest : public ::testing::Test {
 protected:
  // The auth file of the tests: mon, prov, alice and nobody, each with password "<name>-pw".
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    std::ofstream users(*dir_ / "users");
    for (const char* user : {"mon", "prov", "alice", "nobody"})
      users << AuthLine(user, user + std::string("-pw")) << "\n";
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::string Groups(const std::string& text) {
    static int files = 0;
    const std::string path = *dir_ / ("groups-" + std::to_string(++files));
    std::ofstream(path) << text;
    return path;
  }
  static std::unique_ptr<ZebdProcess> Start(std::vector<std::string> extra) {
    extra.insert(extra.begin(), {"--auth-file", *dir_ / "users", "--admin-listen", "0"});
    return std::make_unique<ZebdProcess>(extra);
  }
  static std::string As(const ZebdProcess& zebd, const std::string& user, const std::string& element) {
    return PostAs(zebd.port(), user, user + "-pw", element);
  }

  inline static std::unique_ptr<TempDir> dir_;
};

TEST_F(AccessTest, EachRoleCallsWhatItMayAndIsRefusedTheRestBeforeAnyDatabaseWork) {
  auto zebd = Start({"--group-file", Groups("# who may do what\nread: mon\nwrite: prov\nadmin: alice\n")});
  ASSERT_EQ(kOk, StatusLineOf(As(*zebd, "prov", AddPartitionRequest("P1"))));
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "mon", kGetPartition)));
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "alice", kListParameters)));

  const std::string before = ConfigurationOf(*zebd);
  EXPECT_EQ(Forbidden("mon", "addRoutePartition", "write", "the read role"),
            As(*zebd, "mon", AddPartitionRequest("P2")));
  EXPECT_EQ(Forbidden("prov", "listServiceParameters", "admin", "the write role"),
            As(*zebd, "prov", kListParameters));
  // A known user in no group may call nothing, nor read the service documents; an unknown
  // password is still 401.
  EXPECT_EQ(Forbidden("nobody", "getRoutePartition", "read", "no role"), As(*zebd, "nobody", kGetPartition));
  const std::string wsdl = GetAs(zebd->port(), "nobody", "nobody-pw", "/QMSApi/ZEB/V1/zebsoap.wsdl");
  EXPECT_EQ("HTTP/1.1 403 Forbidden", StatusLineOf(wsdl));
  EXPECT_EQ(
      "User \"nobody\" may not read the service documents: they need the read role, and the user has no "
      "role.\n",
      BodyOf(wsdl));
  EXPECT_EQ(kOk, StatusLineOf(GetAs(zebd->port(), "mon", "mon-pw", "/QMSApi/ZEB/V1/zebsoap.xsd")));
  EXPECT_EQ("HTTP/1.1 401 Unauthorized", StatusLineOf(PostAs(zebd->port(), "mon", "guess", kGetPartition)));
  EXPECT_EQ(before, ConfigurationOf(*zebd));

  // Traced with the status line, counted by method, and recorded as refused attempts (written
  // apart from the request, so they may take a moment).
  const std::string trace = zebd->TraceFile();
  EXPECT_TRUE(Contains(trace, "Client User ID: mon\r\n"));
  EXPECT_TRUE(Contains(trace, "ResponseContents: \r\nHTTP/1.1 403 Forbidden\r"));
  const std::string metrics = BodyOf(GetAs(zebd->adminPort(), "alice", "alice-pw", "/metrics"));
  EXPECT_TRUE(HasLine(metrics, "zebd_forbidden_total{method=\"addRoutePartition\"} 1")) << metrics;
  EXPECT_TRUE(HasLine(metrics, "zebd_forbidden_total{method=\"listServiceParameters\"} 1"));
  EXPECT_TRUE(HasLine(metrics, "zebd_forbidden_total{method=\"getRoutePartition\"} 1"));
  EXPECT_TRUE(HasLine(metrics, "zebd_requests_total{method=\"addRoutePartition\",outcome=\"Client\"} 1"));
  std::string audit;
  EXPECT_TRUE(Eventually([&] {
    audit = RunZebd({"audit", "--db", zebd->dbPath()}).out;
    return Occurrences(audit, "\"refusal\":\"forbidden\"") == 3;
  })) << audit;
  EXPECT_TRUE(Contains(audit,
                       "\"user\":\"mon\",\"clientAddress\":\"127.0.0.1\",\"method\":\"addRoutePartition\","
                       "\"recordTable\":\"\",\"recordId\":\"\",\"refusal\":\"forbidden\",\"request\":\"<"));
  // The change prov made is a row without a refusal.
  EXPECT_TRUE(Contains(audit,
                       "\"user\":\"prov\",\"clientAddress\":\"127.0.0.1\",\"method\":\"addRoutePartition\","
                       "\"recordTable\":\"RoutePartition\""));
}

TEST_F(AccessTest, SighupReadsTheGroupFileAgainAndABadOneKeepsTheRolesInUse) {
  const std::string groups = Groups("read: mon\n");
  auto zebd = Start({"--group-file", groups});
  EXPECT_EQ("HTTP/1.1 403 Forbidden", StatusLineOf(As(*zebd, "mon", AddPartitionRequest("P1"))));
  // The users the group file leaves without a role are named at start and after every reading.
  const std::string roleless =
      "has users without a role in group file '" + groups + "', who may call no method: ";
  EXPECT_TRUE(Contains(zebd->StderrText(), roleless + "alice, nobody, prov\n"));

  std::ofstream(groups) << "read: mon\nwrite: mon prov carl\n";
  zebd->Signal(SIGHUP);
  ASSERT_TRUE(
      Eventually([&] { return zebd->StderrText().find("read again (3 users)") != std::string::npos; }));
  const std::string log = zebd->StderrText();
  EXPECT_TRUE(Contains(log,
                       "line 2: 'mon' is also in the read group (line 1); the higher "
                       "role, write, is theirs"));
  EXPECT_TRUE(Contains(log, "zebd: reload: group file '" + groups + "' names users that auth file '" +
                                std::string(*dir_ / "users") + "' does not: carl\n"));
  EXPECT_TRUE(Contains(log, roleless + "alice, nobody\n"));
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "mon", AddPartitionRequest("P1"))));

  std::ofstream(groups) << "read mon\n";
  zebd->Signal(SIGHUP);
  ASSERT_TRUE(Eventually([&] { return zebd->StderrText().find("keeping the roles read before") != std::string::npos; }));
  EXPECT_TRUE(Contains(zebd->StderrText(), "line 1: no colon"));
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "mon", AddPartitionRequest("P2"))));
}

TEST_F(AccessTest, BadGroupFileOrAccessOptionsStopTheStart) {
  const std::string users = *dir_ / "users";
  CommandResult bad = RunZebd({"--listen", "127.0.0.1:0", "--db", *dir_ / "x.db", "--trace-dir", *dir_ / "t",
                               "--auth-file", users, "--group-file", Groups("read: mon\nauditors: x\n")});
  EXPECT_EQ(1, bad.exitCode);
  EXPECT_TRUE(Contains(bad.err, "line 2: unknown role \"auditors\" (read, write or admin)"));
  const std::vector<std::vector<std::string>> refused = {
      {"--group-file", users},
      {"--role-group", "read=cn=r"},
      {"--auth-directory"},
      {"--auth-directory", "--role-group", "read=cn=r", "--auth-file", users},
      {"--auth-directory", "--role-group", "readers=cn=r"},
      {"--auth-directory", "--role-group", "read=cn=r", "--role-group", "read=cn=s"},
      {"--rate-limit", "10/m"},
      {"--write-rate-limit", "2/s,burst=0"},
  };
  for (const auto& args : refused) {
    const CommandResult result = RunZebd(args);
    EXPECT_EQ(2, result.exitCode) << testing::PrintToString(args) << result.err;
  }
}

TEST_F(AccessTest, WritesOverTheLimitAre429WithRetryAfterPerUserAndReadsGoOn) {
  auto zebd = Start({"--write-rate-limit", "0.01/s,burst=2", "--rate-limit", "1000"});
  ASSERT_EQ(kOk, StatusLineOf(As(*zebd, "prov", AddPartitionRequest("P1"))));
  ASSERT_EQ(kOk, StatusLineOf(As(*zebd, "prov", AddPartitionRequest("P2"))));
  const std::string before = DatabaseSnapshot(zebd->dbPath());
  const std::string refused = As(*zebd, "prov", AddPartitionRequest("P3"));
  // A token comes every 100 s: the wait is what is left of it.
  const int seconds = std::atoi(refused.c_str() + refused.find("Retry-After: ") + 13);
  EXPECT_LE(90, seconds);
  EXPECT_GE(100, seconds);
  const std::string wait = std::to_string(seconds);
  EXPECT_EQ(Refused("HTTP/1.1 429 Too Many Requests\r\nRetry-After: " + wait + "\r\n",
                    "User \"prov\" is over its rate limit of 0.01/s,burst=2 for write and admin methods: retry after " +
                        wait + " s."),
            refused);
  EXPECT_EQ(before, DatabaseSnapshot(zebd->dbPath()));
  // Without a group file everyone is admin, and each user has buckets of its own.
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "prov", kGetPartition)));
  EXPECT_EQ(kOk, StatusLineOf(As(*zebd, "alice", AddPartitionRequest("P3"))));
  const std::string metrics = BodyOf(GetAs(zebd->adminPort(), "alice", "alice-pw", "/metrics"));
  EXPECT_TRUE(HasLine(metrics, "zebd_rate_limited_total{method=\"addRoutePartition\"} 1")) << metrics;
  EXPECT_TRUE(HasLine(metrics, "zebd_rate_limited_total{method=\"getRoutePartition\"} 0"));
}

// ---------------------------------------------------------------------------------------------
// Sign-in on the directory server

// An LDIF line whose value may hold any byte.
std::string Attribute(const std::string& name, const std::string& value) {
  return name + ":: " + Base64Of(value) + "\n";
}

class DirectorySignInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.available()) GTEST_SKIP() << "ZEB_TEST_LDAP names no test directory server";
    base_ = server_.MakeUserBase();
    server_.Add(
        Ldif({{"mon", "mon:pw-ä"}, {"prov", "prov-pw"}, {"zoë", "zoë-pw"}, {"stranger", "stranger-pw"}},
             {{"readers", {"mon"}}, {"writers", {"prov"}}, {"admins", {"zoë"}}}));
    Start(server_);
  }

  // The entries of users (name, password) and of groups (name, members) below base_.
  std::string Ldif(const std::vector<std::pair<std::string, std::string>>& users,
                   const std::vector<std::pair<std::string, std::vector<std::string>>>& groups) const {
    std::string ldif;
    for (const auto& [user, password] : users) {
      ldif += Attribute("dn", "uid=" + user + "," + base_) + "objectClass: inetOrgPerson\n" +
              Attribute("uid", user) + Attribute("cn", user) + Attribute("sn", user) +
              Attribute("userPassword", password) + "\n";
    }
    for (const auto& [group, members] : groups) {
      ldif += "dn: cn=" + group + "," + base_ + "\nobjectClass: groupOfNames\ncn: " + group + "\n";
      for (const std::string& member : members) ldif += Attribute("member", "uid=" + member + "," + base_);
      ldif += "\n";
    }
    return ldif;
  }

  // zebd with directory sign-in on the cluster whose directory is server.
  void Start(const TestDirectoryServer& server) {
    setup_ = std::make_unique<ZebdProcess>();
    UseDirectoryServer(*setup_, server, base_);
    setup_->Stop();
    zebd_ = std::make_unique<ZebdProcess>(std::vector<std::string>{
        "--db", setup_->dbPath(), "--auth-directory", "--auth-directory-cache", "30", "--role-group",
        "read=cn=readers," + base_, "--role-group", "write=cn=writers," + base_, "--role-group",
        "admin=cn=admins," + base_});
  }

  std::string As(const std::string& user, const std::string& password, const std::string& element) {
    return PostAs(zebd_->port(), user, password, element);
  }

  TestDirectoryServer server_;
  std::string base_;
  std::unique_ptr<ZebdProcess> setup_, zebd_;
};

TEST_F(DirectorySignInTest, MembersGetTheRoleOfTheirGroupAndOnlyTheRightPasswordSignsIn) {
  EXPECT_EQ(kOk, StatusLineOf(As("prov", "prov-pw", AddPartitionRequest("P1"))));
  EXPECT_EQ(kOk, StatusLineOf(As("mon", "mon:pw-ä", kGetPartition)));
  EXPECT_EQ(Forbidden("mon", "addRoutePartition", "write", "the read role"),
            As("mon", "mon:pw-ä", AddPartitionRequest("P2")));
  EXPECT_EQ(kOk, StatusLineOf(As("zoë", "zoë-pw", kListParameters)));
  EXPECT_EQ(Forbidden("stranger", "getRoutePartition", "read", "no role"),
            As("stranger", "stranger-pw", kGetPartition));
  // Wrong, empty and other people's passwords; a name that is the uid only without regard to
  // case; a name with filter syntax.
  for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{
           {"mon", "mon:pw-a"}, {"mon", ""}, {"prov", "mon:pw-ä"}, {"MON", "mon:pw-ä"}, {"*", "mon:pw-ä"},
           {"nobody", "x"}}) {
    EXPECT_EQ("HTTP/1.1 401 Unauthorized", StatusLineOf(As(user, password, kGetPartition))) << user << ":" << password;
  }
  EXPECT_TRUE(Contains(zebd_->StderrText(), "authentication of 'mon' from 127.0.0.1 failed"));
  EXPECT_TRUE(Contains(zebd_->StderrText(), "authentication of an unknown user from 127.0.0.1 failed"));
}

TEST_F(DirectorySignInTest, UnreachableDirectoryIs503WithAReasonAndNeverASignIn) {
  TempDir dir;
  TestDirectoryServer own(dir / "ldap");
  base_ = own.MakeUserBase();
  own.Add(Ldif({{"mon", "mon-pw"}, {"prov", "prov-pw"}}, {{"readers", {"mon", "prov"}}}));
  Start(own);
  ASSERT_EQ(kOk, StatusLineOf(As("mon", "mon-pw", kGetPartition)));

  own.Script("halt");
  const std::string unavailable =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 57\r\n\r\n"
      "The directory cannot be used: Can't contact LDAP server.\n";
  EXPECT_EQ(unavailable, As("prov", "prov-pw", kGetPartition));
  EXPECT_EQ(unavailable, As("prov", "wrong", kGetPartition));
  // A sign-in made before the outage stays good for its cache time.
  EXPECT_EQ(kOk, StatusLineOf(As("mon", "mon-pw", kGetPartition)));
  own.Script("resume");
  EXPECT_EQ(kOk, StatusLineOf(As("prov", "prov-pw", kGetPartition)));
}

}  // namespace
}  // namespace zeb::test
