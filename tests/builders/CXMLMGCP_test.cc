// The MGCP gateway element reads its tree with a fixed number of statements, and renders each
// endpoint device exactly as that device's own element.
#include "builders/CXMLMGCP.h"

#include <gtest/gtest.h>

#include "builders/CXMLGatewayEndpoint.h"
#include "e2e/GatewayTest.h"
#include "dispatch/ProcessSOAPRequest.h"
#include "support/TempDir.h"

namespace zeb {
namespace {

class MGCPBuilderTest : public ::testing::Test {
 protected:
  MGCPBuilderTest() : db_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  // Adds a gateway with units x subunits endpoints, each made by endpoint(name); returns its id.
  zdl::CZDLID AddGateway(const std::string& domain, int units, int subunits,
                         const std::function<std::string(const std::string&)>& endpoint) {
    std::string tree;
    for (int u = 0; u < units; ++u) {
      tree += "<unit index=\"" + std::to_string(u) + "\"><product>Voice Network Module</product><subunits>";
      for (int s = 0; s < subunits; ++s) {
        const std::string name = domain + "-" + std::to_string(u) + "-" + std::to_string(s);
        tree += "<subunit index=\"" + std::to_string(s) + "\"><product>Two-Port FXS</product><endpoints><endpoint "
                "index=\"0\">" + endpoint(name) + "</endpoint></endpoints></subunit>";
      }
      tree += "</subunits></unit>";
    }
    const std::string response = Process(
        "<addMGCP><newMGCP><domainName>" + domain + "</domainName><product>Branch Gateway 2</product><model/>"
        "<dialcoreGroupName>Default</dialcoreGroupName><units>" + tree + "</units><scratch/><vendorConfig/>"
        "<versionStamp/><loadInformation/></newMGCP></addMGCP>");
    const std::size_t at = response.find("<return>{");
    EXPECT_NE(std::string::npos, at) << response;
    return zdl::CZDLID(response.substr(at + 8, 38));
  }

  std::string Process(const std::string& element) {
    zdl::CGenericBuffer buffer(20480);
    RequestContext context;
    context.versionStamp = "{STAMP}";
    context.db = &session_;
    ProcessSOAPRequest(("<Envelope><Body>" + element + "</Body></Envelope>").c_str(), buffer, context);
    return buffer.str();
  }

  // The gateway element; statements receives the number of statements it took.
  std::string Build(const zdl::CZDLID& id, std::uint64_t* statements) {
    CXMLMGCP element;
    const std::uint64_t before = session_.statementsRun();
    element.BuildFromDatabase(session_, id, RenderMode::kNames, "{STAMP}");
    *statements = session_.statementsRun() - before;
    return element.ToString();
  }

  test::TempDir dir_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
  zdl::CZDLSession& session_;
};

std::string Analog(const std::string& name) { return test::AnalogGatewayRequest(name, test::AnalogPort(1, false)); }

TEST_F(MGCPBuilderTest, StatementsDoNotGrowWithTheTreeAndEndpointsRenderAsTheirOwnElements) {
  std::uint64_t small = 0, large = 0;
  const zdl::CZDLID one = AddGateway("small", 1, 1, Analog);
  Build(one, &small);  // fills the type table caches
  Build(one, &small);
  int next = 0;
  const zdl::CZDLID mixed = AddGateway("mixed", 3, 3, [&](const std::string& name) {
    switch (next++ % 3) {
      case 0: return Analog(name);
      case 1: return test::T1GatewayRequest(name, "u-law");
      default: return test::PriGatewayRequest(name);
    }
  });
  const std::string element = Build(mixed, &large);
  EXPECT_EQ(small, large);

  zdl::CFastAccess members(session_, "MGCPDeviceMember");
  members.SelectCustom("SELECT fkDevice FROM MGCPDeviceMember WHERE fkMGCP = ?", {mixed});
  ASSERT_EQ(9u, members.Count());
  for (; !members.IsEOF(); members.MoveNext()) {
    CXMLElement alone;
    CXMLDevice::AddTo(alone, session_, members.getID("fkDevice"), RenderMode::kNames, "{STAMP}");
    const std::string device = alone.ToString();
    EXPECT_NE(std::string::npos, element.find(device)) << device;
  }
}

}  // namespace
}  // namespace zeb
