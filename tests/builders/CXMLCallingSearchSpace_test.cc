#include "builders/CXMLCallingSearchSpace.h"

#include <gtest/gtest.h>

#include "builders/CXMLRoutePartition.h"
#include "dispatch/ProcessSOAPRequest.h"
#include "support/SoapText.h"
#include "support/TempDir.h"
#include "zdl/Records.h"

namespace zeb {
namespace {

class CallingSearchSpaceBuilderTest : public ::testing::Test {
 protected:
  CallingSearchSpaceBuilderTest() : db_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {
    session_.ExecScript(
        "INSERT INTO RoutePartition (pkid, Name) VALUES ('{00000000-0000-0000-0000-0000000000A1}', 'P<1>');"
        "INSERT INTO CallingSearchSpace (pkid, Name, Clause) VALUES ('{00000000-0000-0000-0000-0000000000A2}', 'C', "
        "'P<1>');"
        "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition, SortOrder) VALUES "
        "('{00000000-0000-0000-0000-0000000000A3}', '{00000000-0000-0000-0000-0000000000A2}', "
        "'{00000000-0000-0000-0000-0000000000A1}', 4)");
  }

  std::string Build(RenderMode mode) {
    CXMLCallingSearchSpace element;
    element.BuildFromDatabase(session_, css_, mode);
    return element.ToString();
  }

  // Runs one request in-process against this database.
  std::string Process(const std::string& request) {
    zdl::CGenericBuffer buffer;
    RequestContext context;
    context.db = &session_;
    ProcessSOAPRequest(test::RequestEnvelope(request).c_str(), buffer, context);
    return buffer.str();
  }

  test::TempDir dir_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
  zdl::CZDLSession& session_;
  const zdl::CZDLID partition_{"{00000000-0000-0000-0000-0000000000A1}"};
  const zdl::CZDLID css_{"{00000000-0000-0000-0000-0000000000A2}"};
};

// getCSS and getDevicePool show the name forms; the device form nests the cached partition.
TEST_F(CallingSearchSpaceBuilderTest, CachedPartitionKeepsItsTextUntilThisServerChangesIt) {
  const std::string member =
      "<member  index=\"4\">\r\n" + test::PartitionElement(partition_.str(), "P&lt;1&gt;") + "</member>\r\n";
  EXPECT_NE(std::string::npos, Build(RenderMode::kNamespaces).find(member));
  session_.Execute("UPDATE RoutePartition SET Name = 'Elsewhere' WHERE pkid = ?", {partition_});
  EXPECT_NE(std::string::npos, Build(RenderMode::kNamespaces).find(member));
  const std::string response =
      Process("<updateRoutePartition><uuid>" + partition_.str() + "</uuid><newName>Renamed</newName></updateRoutePartition>");
  EXPECT_NE(std::string::npos, response.find("<return>" + partition_.str() + "</return>"));
  EXPECT_NE(std::string::npos, Build(RenderMode::kNamespaces).find("<name>Renamed</name>"));
}

TEST_F(CallingSearchSpaceBuilderTest, UnknownOrNullIdentifierBuildsNothing) {
  CXMLCallingSearchSpace none, unknown;
  none.BuildFromDatabase(session_, zdl::CZDLID(), RenderMode::kFull);
  unknown.BuildFromDatabase(session_, zdl::CZDLID::New(), RenderMode::kFull);
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_EQ("", unknown.ToString());
}

}  // namespace
}  // namespace zeb
