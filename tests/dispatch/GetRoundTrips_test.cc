// How many round trips to PostgreSQL a get costs once the session is warm (its statements
// prepared, the caches filled): at most two, whatever the record references, so that a get's
// latency does not grow with the distance to the database server. Runs the request road
// in-process on a fresh PostgreSQL database; skipped without one (ZEB_TEST_PG).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/ProcessSOAPRequest.h"
#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "support/SoapText.h"
#include "support/TestSecretKey.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"

namespace zeb {
namespace {

constexpr std::uint64_t kMaxRoundTrips = 2;
constexpr long kRouteListProduct = 37;

class GetRoundTripsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string server = test::PgScratchDatabase::ServerForTests();
    if (server.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
    scratch_ = std::make_unique<test::PgScratchDatabase>(server, test::ZebdBuildStamp());
    db_ = zdl::CZDLDatabase::Open(scratch_->location(), test::TestSecretKey());
  }

  zdl::CZDLSession& session() { return db_->Session(); }

  std::string Process(const std::string& request) {
    zdl::CGenericBuffer buffer;
    RequestContext context;
    context.db = &session();
    ProcessSOAPRequest(test::RequestEnvelope(request).c_str(), buffer, context);
    return buffer.str();
  }

  void Add(const std::string& request) {
    const std::string response = Process(request);
    ASSERT_EQ(std::string::npos, response.find("Fault")) << request << "\n" << response;
  }

  // The round trips of the request's second run (the first warms the session up).
  std::uint64_t RoundTrips(const std::string& request) {
    Process(request);
    const std::uint64_t before = session().roundTrips();
    const std::string response = Process(request);
    EXPECT_EQ(std::string::npos, response.find("Fault")) << request << "\n" << response;
    return session().roundTrips() - before;
  }

  // The records the gets read: a phone with two lines, speed dials, an add-on module, services,
  // both calling search spaces, a location and a default profile; a route list of one group, a
  // route pattern to it and a user.
  void AddRecords() {
    Add("<addRoutePartition><p><name>Internal</name></p></addRoutePartition>");
    Add("<addCSS><c><name>Office</name><members><member index=\"1\"><routePartitionName>Internal</routePartitionName>"
        "</member></members></c></addCSS>");
    Add("<addCSS><c><name>Overflow</name><members/></c></addCSS>");
    for (const char* pattern : {"1000", "1001"}) {
      Add(std::string("<addLine><newLine><pattern>") + pattern +
          "</pattern><usage/><routePartitionName>Internal</routePartitionName><callPickupGroup/>"
          "<callWaitingEnabled>On</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/>"
          "<useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum></newLine></addLine>");
    }
    Add("<addLocation><location><name>HQ</name><id>1</id><kbits>512</kbits></location></addLocation>");
    Add("<addDeviceProfile><p><name>Roaming</name><product/><model/><class/><protocol/><protocolSide/><lines>"
        "<lineIdentifier><directoryNumber>1000</directoryNumber><routePartitionName>Internal</routePartitionName>"
        "</lineIdentifier></lines></p></addDeviceProfile>");
    Add("<addPhone><newPhone><name>SEP1</name><description>Reception</description><product>Desk Phone 40</product>"
        "<model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide>"
        "<callingSearchSpaceName>Office</callingSearchSpaceName><devicePoolName>Default</devicePoolName>"
        "<locationName>HQ</locationName><automatedAlternateRoutingCSSName>Overflow</automatedAlternateRoutingCSSName>"
        "<lines><line index=\"1\"><label>Main</label><display>Reception</display><dirn><pattern>1000</pattern>"
        "<usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn><ringSetting>Ring</ringSetting>"
        "</line><line index=\"2\"><label>Second</label><display>Back</display><dirn><pattern>1001</pattern>"
        "<usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn></line></lines>"
        "<phoneTemplateName>Standard Desk Phone 40</phoneTemplateName><speeddials><speeddial index=\"1\"><dirn>2000"
        "</dirn><label>Boss</label></speeddial></speeddials><addOnModules><addOnModule index=\"1\"><loadInformation>"
        "AM.1-0</loadInformation><phoneTemplateId>{5EED0000-0000-0000-0008-000000000004}</phoneTemplateId>"
        "</addOnModule></addOnModules><idleTimeout>30</idleTimeout><servicesURL>http://svc</servicesURL><services>"
        "<service><name>Directory</name><url>http://d</url><voxbeamServiceName>Corporate Directory"
        "</voxbeamServiceName></service></services><softkeyTemplateName>Standard Feature</softkeyTemplateName>"
        "<defaultProfileName>Roaming</defaultProfileName><enableExtensionMobility>true</enableExtensionMobility>"
        "</newPhone></addPhone>");
    zdl::CDeviceList devices(session());
    auto routeList = devices.Insert();
    routeList->PutName("RL1");
    routeList->PutProduct(kRouteListProduct);
    devices.Update();
    zdl::CRouteGroupList groups(session());
    auto group = groups.Insert();
    group->PutName("RG1");
    groups.Update();
    zdl::CRouteListList members(session());
    auto member = members.Insert();
    member->PutDeviceID(routeList->GetID());
    member->PutRouteGroupID(group->GetID());
    members.Update();
    Add("<addRoutePattern><newPattern><pattern>9.@</pattern><usage/><routePartitionName>Internal</routePartitionName>"
        "<blockEnable>false</blockEnable><calledPartyTransformationMask/><callingPartyTransformationMask/>"
        "<useCallingPartyPhoneMask/><dialPlan/><dialPlanWizardGenId/><digitDiscardInstruction/><messageWaiting/>"
        "<networkLocation/><patternUrgency>false</patternUrgency><prefixDigitsOut/><routeFilter/>"
        "<destination><routeListName>RL1</routeListName></destination></newPattern></addRoutePattern>");
    Add("<addUser><newUser><firstname>Ivy</firstname><lastname>Ro</lastname><ldapRN>ivy</ldapRN><ldapDN/><email/>"
        "<password>Pw-q8Zr!x</password><pin>7391</pin></newUser></addUser>");
  }

  std::unique_ptr<test::PgScratchDatabase> scratch_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
};

TEST_F(GetRoundTripsTest, EveryGetTakesAtMostTwoRoundTrips) {
  AddRecords();
  const std::vector<std::pair<const char*, std::string>> gets = {
      {"getPhone", "<getPhone><phoneName>SEP1</phoneName></getPhone>"},
      {"getLine", "<getLine><pattern>1000</pattern><routePartitionName>Internal</routePartitionName><routeFilterId/>"
                  "</getLine>"},
      {"getCSS", "<getCSS><name>Office</name></getCSS>"},
      {"getRoutePartition", "<getRoutePartition><partitionName>Internal</partitionName></getRoutePartition>"},
      {"getDevicePool", "<getDevicePool><name>Default</name></getDevicePool>"},
      {"getRoutePattern", "<getRoutePattern><pattern>9.@</pattern><routePartitionName>Internal</routePartitionName>"
                          "<routeFilterId/></getRoutePattern>"},
      {"getDeviceProfile", "<getDeviceProfile><profileName>Roaming</profileName></getDeviceProfile>"},
      {"getRouteList", "<getRouteList><name>RL1</name></getRouteList>"},
      {"getLocation", "<getLocation><name>HQ</name></getLocation>"},
      {"getUser", "<getUser><ldapRN>ivy</ldapRN></getUser>"},
  };
  for (const auto& [method, request] : gets) {
    EXPECT_LE(RoundTrips(request), kMaxRoundTrips) << method;
  }
}

}  // namespace
}  // namespace zeb
