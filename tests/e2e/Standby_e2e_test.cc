// A primary PostgreSQL cluster and a hot standby streaming from it, started by the test on
// loopback, with a zebd node on each: the standby's node serves what the primary's node wrote,
// drops its caches when the replay moves, forwards writes to the primary's node (or says why it
// cannot), and `zebd copy` reads from the standby. Skipped without PostgreSQL's programs.
#include <glob.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "e2e/ZebdTest.h"
#include "extension/StandbyGate.h"
#include "support/PgScratchDatabase.h"
#include "support/TempDir.h"
#include "support/TestSecretKey.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::test {
namespace {

const std::string kClusterScript = std::string(ZEB_SOURCE_DIR) + "/tests/pg/cluster.sh";
constexpr Millis kClusterTimeout{90'000};
// The standby's node polls its replay every 500 ms; on loopback the replay takes milliseconds.
// The rest is room for a busy machine.
constexpr Millis kFreshWithin{3'000};

bool HaveStandbyPrograms() {
  glob_t found{};
  const bool have = glob("/usr/lib/postgresql/*/bin/pg_basebackup", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
  globfree(&found);
  return have;
}

std::string Cluster(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"bash", kClusterScript};
  argv.insert(argv.end(), args.begin(), args.end());
  const CommandResult result = RunCommand(argv, kClusterTimeout);
  if (result.exitCode != 0) throw std::runtime_error("cluster.sh " + args[0] + ": " + result.err);
  return result.out.substr(0, result.out.find('\n'));
}

class StandbyTest : public ::testing::Test {
 protected:
  // The clusters are made once for the suite: initdb and the base backup are what cost.
  static void SetUpTestSuite() {
    if (!HaveStandbyPrograms()) return;
    dir_ = new TempDir();
    // The clusters run as an unprivileged user when the tests run as root.
    chmod(dir_->path().c_str(), 0755);
    primaryDb_ = Cluster({"start", dir_->path() + "/primary"});
    // The schema and seed rows first, so that the base backup carries them.
    zdl::CZDLDatabase::Open(primaryDb_, TestSecretKey());
    standbyDb_ = Cluster({"standby", dir_->path() + "/standby", primaryDb_});
  }
  static void TearDownTestSuite() {
    if (!dir_) return;
    for (const char* cluster : {"/standby", "/primary"}) {
      RunCommand({"bash", kClusterScript, "stop", dir_->path() + cluster}, kClusterTimeout);
    }
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (!HaveStandbyPrograms()) GTEST_SKIP() << "no pg_basebackup: apt-get install postgresql";
    primary_ = std::make_unique<ZebdProcess>(std::vector<std::string>{"--db", primaryDb_});
    standby_ = StandbyNode({"--primary-url", PrimaryUrl(), "--admin-listen", "127.0.0.1:0"});
  }

  static std::unique_ptr<ZebdProcess> StandbyNode(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", standbyDb_});
    return std::make_unique<ZebdProcess>(args);
  }
  std::string PrimaryUrl() const { return "http://127.0.0.1:" + std::to_string(primary_->port()) + "/"; }

  static std::string AddPartition(const ZebdProcess& node, const std::string& name) {
    return PostElement(node.port(), AddPartitionRequest(name));
  }
  static std::string GetPartition(const ZebdProcess& node, const std::string& id) {
    return PostElement(node.port(),
                       "<getRoutePartition><partitionId>" + id + "</partitionId></getRoutePartition>");
  }
  // Whether the standby's node serves the partition with the name within kFreshWithin.
  bool StandbyServes(const std::string& id, const std::string& name) const {
    return Eventually([&] { return GetPartition(*standby_, id) == GotPartition(id, name); }, kFreshWithin);
  }
  // Rows of the primary's database that the SQL counts.
  static long long Count(const std::string& sql) {
    auto database = zdl::CZDLDatabase::Open(primaryDb_, TestSecretKey());
    zdl::CZDLSession& session = database->Session();
    zdl::CZDLReadScope snapshot(session);
    return session.Query(sql).rows.at(0).at(0).AsInt();
  }

  inline static TempDir* dir_ = nullptr;
  inline static std::string primaryDb_, standbyDb_;
  std::unique_ptr<ZebdProcess> primary_;
  std::unique_ptr<ZebdProcess> standby_;
};

TEST_F(StandbyTest, ARenameOnThePrimaryIsServedByTheStandbyWithinTheBound) {
  const std::string id = ReturnText(AddPartition(*primary_, "Before"));
  ASSERT_EQ(38u, id.size());
  // Served, and so cached, by the standby's node.
  ASSERT_TRUE(StandbyServes(id, "Before")) << GetPartition(*standby_, id);
  ASSERT_EQ(StandardResponse(SchemaHost(), "updateRoutePartition", id),
            PostElement(primary_->port(), "<updateRoutePartition><uuid>" + id +
                                              "</uuid><newName>After</newName></updateRoutePartition>"));
  const auto renamed = std::chrono::steady_clock::now();
  EXPECT_TRUE(StandbyServes(id, "After")) << GetPartition(*standby_, id);
  EXPECT_LT(ElapsedMs(renamed), kFreshWithin.count());
  EXPECT_EQ("ready: read-only standby, replication delay 0.00 s\n",
            BodyOf(AdminRequest(standby_->adminPort(), "/readyz")));
}

TEST_F(StandbyTest, AWriteToTheStandbyIsForwardedAndReadableThroughBoth) {
  const std::string response = PostSoap(standby_->port(), SoapEnvelope(AddPartitionRequest("Forwarded")));
  const std::string id = ReturnText(BodyOf(response));
  ASSERT_EQ(38u, id.size()) << response;
  const std::string added = StandardResponse(SchemaHost(), "addRoutePartition", id);
  EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(added.size()) +
                "\r\n\r\n" + added,
            response);
  EXPECT_EQ(GotPartition(id, "Forwarded"), GetPartition(*primary_, id));
  EXPECT_TRUE(StandbyServes(id, "Forwarded")) << GetPartition(*standby_, id);
  // The standby's trace says where the answer came from; the primary's audit row who forwarded it.
  EXPECT_NE(std::string::npos, standby_->TraceFile().find("Forwarded to " + PrimaryUrl() + "\r\nHTTP/1.1 200 OK"));
  EXPECT_EQ(1, Count("SELECT count(*) FROM AuditLog WHERE Method = 'addRoutePartition' AND ForwardedBy LIKE '%:" +
                     std::to_string(standby_->port()) + " for 127.0.0.1'"));
  // A second write goes over the kept-alive connection.
  EXPECT_EQ(38u, ReturnText(AddPartition(*standby_, "ForwardedAgain")).size());
  // The primary's node restarted on its port closed that connection: the next write takes a new one.
  const std::string port = std::to_string(primary_->port());
  ASSERT_EQ(0, primary_->Stop());
  primary_ = std::make_unique<ZebdProcess>(
      std::vector<std::string>{"--db", primaryDb_, "--listen", "127.0.0.1:" + port});
  EXPECT_EQ(38u, ReturnText(AddPartition(*standby_, "AfterRestart")).size());
}

TEST_F(StandbyTest, AWriteTheStandbyCannotForwardIsRefusedAndChangesNothing) {
  const std::string url = PrimaryUrl();
  const std::string port = std::to_string(primary_->port());
  ASSERT_EQ(0, primary_->Stop());
  const ForwardFailure refused("cannot connect to 127.0.0.1:" + port + ": Connection refused", false);
  EXPECT_EQ(Envelope(PlainFault("SOAP-ENV:Server", ForwardFailureText("addRoutePartition", url, refused))),
            AddPartition(*standby_, "Lost"));
  EXPECT_EQ(0, Count("SELECT count(*) FROM RoutePartition WHERE Name = 'Lost'"));

  // Without a primary to forward to, a write is refused before any work.
  const auto alone = StandbyNode({});
  EXPECT_EQ(Envelope(PlainFault("SOAP-ENV:Client", ReadOnlyRefusalText("addRoutePartition"))),
            AddPartition(*alone, "Alone"));
  EXPECT_EQ(0, Count("SELECT count(*) FROM RoutePartition WHERE Name = 'Alone'"));
}

TEST_F(StandbyTest, CopyReadsFromTheStandby) {
  TempDir target;
  const CommandResult copied = RunZebd({"copy", "--from", standbyDb_, "--to", target / "copy.db"});
  EXPECT_EQ(0, copied.exitCode) << copied.err;
  EXPECT_NE(std::string::npos, copied.out.find("RoutePartition")) << copied.out;
}

}  // namespace
}  // namespace zeb::test
