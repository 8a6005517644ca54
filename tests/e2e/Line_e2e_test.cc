// Lines (directory numbers) through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

class LineTest : public RoutingTest {
 protected:
  std::string AddLine(const std::string& pattern, const std::string& partition = "<routePartition/>") {
    return CallForId("addLine", NewLine(pattern, partition));
  }
};

TEST_F(LineTest, AddGetUpdateRemoveRoundTrip) {
  const std::string partition = AddPartition("Staff"), css = AddCSS("Forward");
  const std::string group = CallForId(
      "addCallPickupGroup", "<addCallPickupGroup><callPickup><pattern>*77</pattern><usage/></callPickup></addCallPickupGroup>");
  const std::string profile = InsertNamed<zdl::CVoiceMessagingProfileList>("Mailbox");
  // usage names a route, yet a directory number is added; what follows the last position is
  // ignored, and a forward without a calling search space is not shown.
  const std::string byCss = "<callingSearchSpace uuid=\"" + css + "\"/>";
  const std::string id = CallForId(
      "addLine",
      "<addLine><newLine><pattern>1000</pattern><description>Desk</description><usage>Route</usage>"
      "<routePartitionName>staff</routePartitionName><callForwardAll><forwardToVoiceMail>true</forwardToVoiceMail>" +
          byCss + "<destination>2000</destination></callForwardAll><callForwardBusy>" + byCss +
          "<destination>2500</destination></callForwardBusy><callForwardNoAnswer><callingSearchSpace/><destination>3000</destination>"
          "</callForwardNoAnswer><callPickupGroup uuid=\"" + group + "\"/><callWaitingEnabled>On</callWaitingEnabled>"
          "<cfaCSSClause>ignored</cfaCSSClause><mwiStatus>ignored</mwiStatus><shareLineAppearanceCSS uuid=\"" + css +
          "\"/><useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum><voiceMailProfile uuid=\"" +
          profile + "\"/><junk/></newLine></addLine>",
      kLenient);
  const std::string neighborhood = InsertNamed<zdl::CAARNeighborhoodList>("North & South");
  Db().Execute("UPDATE NumPlan SET fkAARNeighborhood = ? WHERE pkid = ?",
               {zdl::CZDLID(neighborhood), zdl::CZDLID(id)});

  const std::string aar = "<aarNeighborhood  uuid=\"" + neighborhood + "\">\r\n" + El("name", "North &amp; South") +
                          "</aarNeighborhood>\r\n";
  const std::string busy = "<callForwardBusy>\r\n" + El("forwardToVoiceMail", "false") +
                           Ref("callingSearchSpace", css) + El("destination", "2500") + "</callForwardBusy>\r\n";
  EXPECT_EQ(
      Got("getLine",
          "<directoryNumber  uuid=\"" + id + "\">\r\n" + El("pattern", "1000") + El("usage", "Device") +
              Ref("routePartition", partition) + aar + "<callForwardAll>\r\n" +
              El("forwardToVoiceMail", "true") + Ref("callingSearchSpace", css) + El("destination", "2000") +
              "</callForwardAll>\r\n" + busy + Ref("callPickupGroup", group) +
              El("callWaitingEnabled", "On") + El("cfaCSSClause", "") + El("mwiStatus", "Default") +
              Ref("shareLineAppearanceCSS", css) + El("useFullyQualCallingPartyNum", "Default") +
              Ref("voiceMailProfile", profile) + "</directoryNumber>\r\n"),
      ById("getLine", id));

  // Empty elements clear: no partition, no forward, no pickup group, no profile.
  EXPECT_EQ(Standard("updateLine", id),
            Call("<updateLine><pattern>1000</pattern><routePartitionName>Staff</routePartitionName>"
                 "<routeFilterId>ignored</routeFilterId><newPattern>1001</newPattern><description/>"
                 "<newRoutePartitionId/><callForwardAll><callingSearchSpace/><destination/></callForwardAll>"
                 "<callPickupGroupId/><callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/>"
                 "<shareLineAppearanceCSSId/><useFullyQualCallingPartyNum>On</useFullyQualCallingPartyNum>"
                 "<voiceMailProfileId/></updateLine>"));
  EXPECT_EQ(Got("getLine", "<directoryNumber  uuid=\"" + id + "\">\r\n" + El("pattern", "1001") +
                               El("usage", "Device") + Ref("routePartition", "") + aar + busy +
                               Ref("callPickupGroup", "") + El("callWaitingEnabled", "Off") +
                               El("cfaCSSClause", "") + El("mwiStatus", "Default") +
                               Ref("shareLineAppearanceCSS", "") + El("useFullyQualCallingPartyNum", "On") +
                               "</directoryNumber>\r\n"),
            Call("<getLine><pattern>1001</pattern><routePartitionId/><routeFilterId/></getLine>"));

  EXPECT_EQ(Standard("removeLine", id, "10"),
            Call("<zeb:removeLine sequence=\"10\"><zeb:uuid>" + id + "</zeb:uuid></zeb:removeLine>"));
  // By identifier getLine builds what it finds: nothing.
  EXPECT_EQ(Response("getLine", "<return>\r\n</return>\r\n"), ById("getLine", id));
}

TEST_F(LineTest, SamePatternInTwoPartitionsAreTwoLines) {
  const std::string p1 = AddPartition("P1");
  AddPartition("P2");
  const std::string first = AddLine("3000", "<routePartition uuid=\"" + p1 + "\"/>");
  const std::string second = AddLine("3000", "<routePartitionName>P2</routePartitionName>");
  const std::string none = AddLine("3000");
  EXPECT_NE(first, second);
  EXPECT_EQ(
      Standard("removeLine", second),
      Call("<removeLine><pattern>3000</pattern><routePartitionName>P2</routePartitionName><routeFilterId/>"
           "</removeLine>"));
  EXPECT_EQ(Standard("removeLine", none),
            Call("<removeLine><pattern>3000</pattern><routePartitionName/><routeFilterId/></removeLine>"));
  EXPECT_EQ(Standard("removeLine", first), Call("<removeLine><pattern>3000</pattern><routePartitionId>" + p1 +
                                                "</routePartitionId><routeFilterId/></removeLine>"));
}

TEST_F(LineTest, LineOnADeviceCannotBeRemoved) {
  const std::string line = AddLine("4000");
  Db().Execute("INSERT INTO DeviceNumPlanMap (pkid, fkDevice, fkNumPlan, NumPlanIndex) VALUES (?, ?, ?, 1)",
               {zdl::CZDLID::New(), zdl::CZDLID(InsertDevice("SEP000000000001", 7)), zdl::CZDLID(line)});
  ExpectRefused(
      "<removeLine><uuid>" + line + "</uuid></removeLine>", "removeLine", 4,
      "The Number Plan entry \"4000\" cannot be removed because it is still used by a line appearance of "
      "Device \"SEP000000000001\".");
}

TEST_F(LineTest, LineMethodsRefuseNumbersOfOtherKinds) {
  const std::string group = CallForId(
      "addCallPickupGroup", "<addCallPickupGroup><callPickup><pattern>5000</pattern><usage/></callPickup></addCallPickupGroup>");
  const std::string byPattern = "<pattern>5000</pattern><routePartitionId/><routeFilterId/>";
  const std::string message = "The NumPlan specified is not a Directory Number.";
  ExpectAllRefused(zebd_, {
      {"<getLine>" + byPattern + "</getLine>", kNotFound, message},
      {"<removeLine><uuid>" + group + "</uuid></removeLine>", kNotFound, message},
      // The pattern is taken in its partition whatever its usage.
      {NewLine("5000"), 3, "The pattern 5000 already exists in this route partition."},
  });
}

TEST_F(LineTest, RefusalsNameTheProblemAndChangeNothing) {
  AddLine("6000");
  const std::string line = "<addLine><newLine><pattern>6001</pattern>";
  const std::string head = line + "<usage/><routePartition/>";
  const std::string toPickup = head + "<callPickupGroup/>";
  const std::string tail = "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>"
                           "<shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum>"
                           "</newLine></addLine>";
  const std::string end = "</newLine></addLine>";
  const std::string byPattern = "<updateLine><pattern>6000</pattern><routePartitionId/><routeFilterId/>";
  ExpectAllRefused(zebd_, {
      {"<addLine/>", kUnexpectedNode, "Found NULL, expecting <newLine>"},
      {line + "<usage/><routePartitionId>{00000000-0000-0000-0000-000000000001}</routePartitionId>" + end,
       kUnexpectedNode, "Deprecated element. Please use <routePartition>."},
      {line + "<usage/><routePartitionName>Nope</routePartitionName>" + end, kNotFound,
       "The specified Route Partition was not found."},
      {head + "<callForwardAll><destination/></callForwardAll>" + tail, kUnexpectedNode,
       "Found <destination>, expecting <callingSearchSpace>."},
      {head + "<callForwardNoAnswer><callingSearchSpaceId/></callForwardNoAnswer>" + tail, kUnexpectedNode,
       "Deprecated element <callingSearchSpaceId>. Please use uuid attribute of <callingSearchSpace>."},
      {head + "<callForwardAll><callingSearchSpace uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/><destination/>"
              "</callForwardAll><callPickupGroup/>" + tail,
       5, "The Calling Search Space {00000000-0000-0000-0000-00000000DEAD} referred to by this Number Plan entry "
          "does not exist."},
      {toPickup + "<callWaitingEnabled>Maybe</callWaitingEnabled>" + end, 8, "Invalid Parameter: Maybe"},
      {"<updateLine><pattern>6000</pattern><routePartitionName>Nope</routePartitionName></updateLine>", kNotFound,
       "Route Partition not found."},
      {"<updateLine><pattern>7000</pattern><routePartitionId/><routeFilterId/></updateLine>", kNotFound,
       "Directory Number not found."},
      {byPattern + "<newPattern/></updateLine>", kInvalidValue, "Then element, <pattern>, must have a value."},
      {byPattern + "<description>x</description><mwiStatus/></updateLine>", kUnexpectedNode,
       "<mwiStatus> is not a valid element of this request type."},
      {byPattern + "<newRoutePartitionId>{00000000-0000-0000-0000-00000000DEAD}</newRoutePartitionId></updateLine>",
       5, "The Route Partition {00000000-0000-0000-0000-00000000DEAD} referred to by this Number Plan entry does "
          "not exist."},
      {"<removeLine><pattern>7000</pattern><routePartitionId/><routeFilterId/></removeLine>", kNotFound,
       "The specified Directory Number was not found."},
  });
}

}  // namespace
}  // namespace zeb::test
