// Lines (directory numbers) through real HTTP.
#include "e2e/ZebdTest.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"

namespace zeb::test {
namespace {

// "<tag>text</tag>" and "<tag  uuid="id"></tag>" lines of an expected response.
std::string El(const std::string& tag, const std::string& text) {
  return "<" + tag + ">" + text + "</" + tag + ">\r\n";
}
std::string Ref(const std::string& tag, const std::string& id) {
  return "<" + tag + "  uuid=\"" + id + "\"></" + tag + ">\r\n";
}

class LineTest : public ZebdTest {
 protected:
  std::string AddCss(const std::string& name) {
    return CallForId("addCSS", "<addCSS><newCSS><name>" + name + "</name><members/></newCSS></addCSS>");
  }
  // A line with only the required elements; partition is the routePartition element's text.
  std::string AddLine(const std::string& pattern, const std::string& partition = "<routePartition/>") {
    return CallForId("addLine",
                     "<addLine><newLine><pattern>" + pattern + "</pattern><usage/>" + partition +
                         "<callPickupGroup/><callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/>"
                         "<mwiStatus/><shareLineAppearanceCSS/>"
                         "<useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></newLine></addLine>");
  }
  std::string GetLine(const std::string& id) { return Call("<getLine><uuid>" + id + "</uuid></getLine>"); }
  std::string LineResponse(const std::string& element) {
    return Response("getLine", "<return>\r\n" + element + "</return>\r\n");
  }

  // Opens the database zebd serves, for rows the API cannot make.
  std::unique_ptr<zdl::CZDLDatabase> OpenDatabase() { return zdl::CZDLDatabase::Open(zebd_.dbPath()); }
  template <class List>
  std::string InsertNamed(const std::string& name) {
    auto db = OpenDatabase();
    List list(db->Session());
    auto record = list.Insert();
    record->PutName(name);
    list.Update();
    return record->GetID().str();
  }
};

TEST_F(LineTest, AddGetUpdateRemoveRoundTrip) {
  const std::string partition = AddPartition("Staff"), css = AddCss("Forward");
  const std::string group = CallForId(
      "addCallPickupGroup", "<addCallPickupGroup><callPickup><pattern>*77</pattern><usage/></callPickup></addCallPickupGroup>");
  const std::string profile = InsertNamed<zdl::CVoiceMessagingProfileList>("Mailbox");
  // usage names a route, yet a directory number is added; what follows the last position is
  // ignored, and a forward without a calling search space is not shown.
  const std::string id = CallForId(
      "addLine",
      "<addLine><newLine><pattern>1000</pattern><description>Desk</description><usage>Route</usage>"
      "<routePartitionName>staff</routePartitionName>"
      "<callForwardAll><forwardToVoiceMail>true</forwardToVoiceMail><callingSearchSpace uuid=\"" +
          css +
          "\"/><destination>2000</destination></callForwardAll>"
          "<callForwardBusy><callingSearchSpace uuid=\"" +
          css +
          "\"/><destination/></callForwardBusy>"
          "<callForwardNoAnswer><callingSearchSpace/><destination>3000</destination></callForwardNoAnswer>"
          "<callPickupGroup uuid=\"" +
          group +
          "\"/><callWaitingEnabled>On</callWaitingEnabled>"
          "<cfaCSSClause>ignored</cfaCSSClause><mwiStatus>ignored</mwiStatus>"
          "<shareLineAppearanceCSS uuid=\"" +
          css +
          "\"/>"
          "<useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum><voiceMailProfile uuid=\"" +
          profile + "\"/><junk/></newLine></addLine>",
      kLenient);
  const std::string neighborhood = InsertNamed<zdl::CAARNeighborhoodList>("North & South");
  OpenDatabase()->Session().Execute("UPDATE NumPlan SET fkAARNeighborhood = ? WHERE pkid = ?",
                                    {zdl::CZDLID(neighborhood), zdl::CZDLID(id)});

  const std::string settings =
      El("callWaitingEnabled", "On") + El("cfaCSSClause", "") + El("mwiStatus", "Default");
  EXPECT_EQ(LineResponse(
                "<directoryNumber  uuid=\"" + id + "\">\r\n" + El("pattern", "1000") + El("usage", "Device") +
                Ref("routePartition", partition) + "<aarNeighborhood  uuid=\"" + neighborhood + "\">\r\n" +
                El("name", "North &amp; South") + "</aarNeighborhood>\r\n" + "<callForwardAll>\r\n" +
                El("forwardToVoiceMail", "true") + Ref("callingSearchSpace", css) +
                El("destination", "2000") + "</callForwardAll>\r\n<callForwardBusy>\r\n" +
                El("forwardToVoiceMail", "false") + Ref("callingSearchSpace", css) + El("destination", "") +
                "</callForwardBusy>\r\n" + Ref("callPickupGroup", group) + settings +
                Ref("shareLineAppearanceCSS", css) + El("useFullyQualCallingPartyNum", "Default") +
                Ref("voiceMailProfile", profile) + "</directoryNumber>\r\n"),
            GetLine(id));

  // Empty elements clear: no partition, no forward, no pickup group, no profile.
  EXPECT_EQ(Standard("updateLine", id),
            Call("<updateLine><pattern>1000</pattern><routePartitionName>Staff</routePartitionName>"
                 "<routeFilterId>ignored</routeFilterId><newPattern>1001</newPattern><description/>"
                 "<newRoutePartitionId/><callForwardAll><callingSearchSpace/><destination/></callForwardAll>"
                 "<callPickupGroupId/><callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/>"
                 "<shareLineAppearanceCSSId/><useFullyQualCallingPartyNum>On</useFullyQualCallingPartyNum>"
                 "<voiceMailProfileId/></updateLine>"));
  const std::string updated =
      "<directoryNumber  uuid=\"" + id + "\">\r\n" + El("pattern", "1001") + El("usage", "Device") +
      Ref("routePartition", "") + "<aarNeighborhood  uuid=\"" + neighborhood + "\">\r\n" +
      El("name", "North &amp; South") + "</aarNeighborhood>\r\n<callForwardBusy>\r\n" +
      El("forwardToVoiceMail", "false") + Ref("callingSearchSpace", css) + El("destination", "") +
      "</callForwardBusy>\r\n" + Ref("callPickupGroup", "") + El("callWaitingEnabled", "Off") +
      El("cfaCSSClause", "") + El("mwiStatus", "Default") + Ref("shareLineAppearanceCSS", "") +
      El("useFullyQualCallingPartyNum", "On") + "</directoryNumber>\r\n";
  EXPECT_EQ(LineResponse(updated),
            Call("<getLine><pattern>1001</pattern><routePartitionId/><routeFilterId/></getLine>"));

  EXPECT_EQ(Standard("removeLine", id), Call("<removeLine><uuid>" + id + "</uuid></removeLine>"));
  // By identifier getLine builds what it finds: nothing.
  EXPECT_EQ(Response("getLine", "<return></return>\r\n"), GetLine(id));
}

TEST_F(LineTest, PrefixedElementsAndSequenceAreHandled) {
  const std::string id = CallForId(
      "addLine",
      "<zeb:addLine><zeb:newLine><zeb:pattern>2[0-4]XX</zeb:pattern><zeb:usage/><zeb:routePartition/>"
      "<zeb:callPickupGroup/><zeb:callWaitingEnabled>Default</zeb:callWaitingEnabled><zeb:cfaCSSClause/>"
      "<zeb:mwiStatus/><zeb:shareLineAppearanceCSS/>"
      "<zeb:useFullyQualCallingPartyNum>Off</zeb:useFullyQualCallingPartyNum></zeb:newLine></zeb:addLine>");
  EXPECT_EQ(Standard("updateLine", id, "9"), Call("<zeb:updateLine sequence=\"9\"><zeb:uuid>" + id +
                                                  "</zeb:uuid><zeb:description>d</zeb:description>"
                                                  "</zeb:updateLine>"));
  EXPECT_EQ(Standard("removeLine", id, "10"),
            Call("<zeb:removeLine sequence=\"10\"><zeb:pattern>2[0-4]XX</zeb:pattern><zeb:routePartitionId/>"
                 "<zeb:routeFilterId/></zeb:removeLine>"));
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
  {
    auto db = OpenDatabase();
    zdl::CDeviceList devices(db->Session());
    auto phone = devices.Insert();
    phone->PutName("SEP000000000001");
    phone->PutProduct(7);
    devices.Update();
    zdl::CDeviceNumPlanMapList appearances(db->Session());
    auto appearance = appearances.Insert();
    appearance->PutDeviceID(phone->GetID());
    appearance->PutNumPlanID(zdl::CZDLID(line));
    appearance->PutNumPlanIndex(1);
    appearances.Update();
  }
  ExpectRefused(
      "<removeLine><uuid>" + line + "</uuid></removeLine>", "removeLine", 4,
      "The Number Plan entry \"4000\" cannot be removed because it is still used by a line appearance of "
      "Device \"SEP000000000001\".");
}

TEST_F(LineTest, LineMethodsRefuseNumbersOfOtherKinds) {
  const std::string group =
      CallForId("addCallPickupGroup",
                "<addCallPickupGroup><callPickup><pattern>5000</pattern><usage/></callPickup></addCallPickupGroup>");
  const std::string byPattern = "<pattern>5000</pattern><routePartitionId/><routeFilterId/>";
  const std::string message = "The NumPlan specified is not a Directory Number.";
  ExpectRefused("<getLine>" + byPattern + "</getLine>", "getLine", kNotFound, message);
  ExpectRefused("<getLine><uuid>" + group + "</uuid></getLine>", "getLine", kNotFound, message);
  ExpectRefused("<updateLine>" + byPattern + "<description>x</description></updateLine>", "updateLine",
                kNotFound, message);
  ExpectRefused("<removeLine><uuid>" + group + "</uuid></removeLine>", "removeLine", kNotFound, message);
  // The pattern is taken in its partition whatever its usage.
  ExpectRefused(
      "<addLine><newLine><pattern>5000</pattern><usage/><routePartition/>"
      "<callPickupGroup/>"
      "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>"
      "<shareLineAppearanceCSS/>"
      "<useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></newLine></addLine>",
      "addLine", 3, "The pattern 5000 already exists in this route partition.");
}

TEST_F(LineTest, RefusalsNameTheProblemAndChangeNothing) {
  AddLine("6000");
  const std::string line = "<addLine><newLine><pattern>6001</pattern>";
  const std::string head = line + "<usage/><routePartition/>";
  const std::string toPickup = head + "<callPickupGroup/>";
  const std::string toShare =
      toPickup + "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>";
  const std::string tail =
      "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>"
      "<shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum>"
      "</newLine></addLine>";
  const std::string byPattern = "<pattern>6000</pattern><routePartitionId/><routeFilterId/>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addLine/>", "addLine", kUnexpectedNode, "Unexpected element. Found NULL, expecting <newLine>"},
      {"<addLine><n/></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern>"},
      {"<addLine><newLine><usage/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. Found <usage>, expecting <pattern>."},
      {"<addLine><newLine><pattern/></newLine></addLine>", "addLine", kInvalidValue,
       "The element, <pattern>, must contain a value."},
      {line + "</newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting more elements."},
      {line + "<description/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <usage>."},
      {line + "<routePartition/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. Found <routePartition>, expecting <usage>."},
      {line + "<usage/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <routePartitionId>."},
      {line + "<usage/><routePartitionId>{00000000-0000-0000-0000-000000000001}</routePartitionId></newLine>"
              "</addLine>",
       "addLine", kUnexpectedNode, "Unexpected element. Deprecated element. Please use <routePartition>."},
      {line + "<usage/><callPickupGroup/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. Found <callPickupGroup>, expecting <routePartition> or <routePartitionName>."},
      {line + "<usage/><routePartitionName>Nope</routePartitionName></newLine></addLine>", "addLine", kNotFound,
       "The specified Route Partition was not found."},
      {head + "</newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <callPickupGroupId>"},
      {head + "<callForwardAll><destination/></callForwardAll>" + tail, "addLine", kUnexpectedNode,
       "Unexpected element. Found <destination>, expecting <callingSearchSpace>."},
      {head + "<callForwardAll><forwardToVoiceMail/></callForwardAll>" + tail, "addLine", kInvalidValue,
       "The element, <forwardToVoiceMail>, must contain a value."},
      {head + "<callForwardBusy><forwardToVoiceMail>TRUE</forwardToVoiceMail></callForwardBusy>" + tail,
       "addLine", kInvalidValue, "Invalid boolean value: TRUE"},
      {head + "<callForwardNoAnswer><callingSearchSpaceId/></callForwardNoAnswer>" + tail, "addLine",
       kUnexpectedNode,
       "Unexpected element. Deprecated element <callingSearchSpaceId>. Please use uuid attribute of "
       "<callingSearchSpace>."},
      {head + "<callForwardAll><callingSearchSpace/></callForwardAll>" + tail, "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <destination>"},
      {head + "<callForwardAll><callingSearchSpace/><x/></callForwardAll>" + tail, "addLine", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <destination>."},
      {head +
           "<callForwardAll><callingSearchSpace "
           "uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/><destination/>"
           "</callForwardAll><callPickupGroup/>" +
           tail,
       "addLine", 5,
       "The Calling Search Space {00000000-0000-0000-0000-00000000DEAD} referred to by this Number Plan "
       "entry does "
       "not exist."},
      {head + "<callPickupGroupId/>" + tail, "addLine", kUnexpectedNode,
       "Unexpected element. Deprecated element <callPickupGroupId>. Please use <callPickupGroup>."},
      {head + "<cfaCSSClause/>" + tail, "addLine", kUnexpectedNode,
       "Unexpected element. Found <cfaCSSClause>, expecting <callPickupGroup>."},
      {toPickup + "</newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <callWaitingEnabled>"},
      {toPickup + "<callWaitingEnabled/></newLine></addLine>", "addLine", kInvalidValue,
       "The element, <callWaitingEnabled>, must contain a value."},
      {toPickup + "<callWaitingEnabled>Maybe</callWaitingEnabled></newLine></addLine>", "addLine", 8,
       "Invalid Parameter: Maybe"},
      {toPickup + "<callWaitingEnabled>On</callWaitingEnabled></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <cfaCSSClause>"},
      {toPickup + "<callWaitingEnabled>On</callWaitingEnabled><mwiStatus/></newLine></addLine>", "addLine",
       kUnexpectedNode, "Unexpected element. Found <mwiStatus>, expecting <cfaCSSClause>."},
      {toPickup + "<callWaitingEnabled>On</callWaitingEnabled><cfaCSSClause/></newLine></addLine>", "addLine",
       kUnexpectedNode, "Unexpected element. NULL element found, expecting <mwiStatus>"},
      {toShare + "</newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <shareLineAppearanceCSSId>"},
      {toShare + "<shareLineAppearanceCSSId/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. Deprecated element <shareLineAppearanceCSSId>. Please use "
       "<shareLineAppearanceCSS>."},
      {toShare + "<shareLineAppearanceCSS/></newLine></addLine>", "addLine", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <useFullyQualCallingPartyNum>"},
      {toShare + "<shareLineAppearanceCSS/><useFullyQualCallingPartyNum/></newLine></addLine>", "addLine",
       kInvalidValue, "The element, <useFullyQualCallingPartyNum>, must contain a value."},
      {"<updateLine/>", "updateLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern> or <uuid>"},
      {"<updateLine><name>x</name></updateLine>", "updateLine", kUnexpectedNode,
       "Unexpected element. Found <name>, expecting <uuid> or <pattern>."},
      {"<updateLine><uuid/></updateLine>", "updateLine", kInvalidValue,
       "The element, <uuid>, must have a value."},
      {"<updateLine><pattern>6000</pattern></updateLine>", "updateLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <routePartitionId>"},
      {"<updateLine><pattern>6000</pattern><routePartition/></updateLine>", "updateLine", kUnexpectedNode,
       "Unexpected element. Found <routePartition>, expecting <routePartitionId> or <routePartitionName>."},
      {"<updateLine><pattern>6000</pattern><routePartitionName>Nope</routePartitionName></updateLine>",
       "updateLine", kNotFound, "Route Partition not found."},
      {"<updateLine><pattern>6000</pattern><routePartitionId/></updateLine>", "updateLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <routeFilterId>"},
      {"<updateLine><pattern>6000</pattern><routePartitionId/><routeFilterName/></updateLine>", "updateLine",
       kUnexpectedNode, "Unexpected element. Found <routeFilterName>, expecting <routeFilterId>."},
      {"<updateLine><pattern>7000</pattern><routePartitionId/><routeFilterId/></updateLine>", "updateLine",
       kNotFound, "Directory Number not found."},
      {"<updateLine>" + byPattern + "<newPattern/></updateLine>", "updateLine", kInvalidValue,
       "Then element, <pattern>, must have a value."},
      {"<updateLine>" + byPattern + "<newRoutePartitionName>Nope</newRoutePartitionName></updateLine>",
       "updateLine", kNotFound, "Route Partition not found."},
      {"<updateLine>" + byPattern + "<callWaitingEnabled/></updateLine>", "updateLine", kInvalidValue,
       "Then element, <callWaitingEnabled>, must have a value."},
      {"<updateLine>" + byPattern + "<useFullyQualCallingPartyNum/></updateLine>", "updateLine",
       kInvalidValue, "Then element, <useFullyQualCallingPartyNum>, must have a value."},
      {"<updateLine>" + byPattern + "<description>x</description><mwiStatus/></updateLine>", "updateLine",
       kUnexpectedNode, "Unexpected element. <mwiStatus> is not a valid element of this request type."},
      {"<updateLine>" + byPattern +
           "<newRoutePartitionId>{00000000-0000-0000-0000-00000000DEAD}"
           "</newRoutePartitionId></updateLine>",
       "updateLine", 5,
       "The Route Partition {00000000-0000-0000-0000-00000000DEAD} referred to by this Number Plan entry "
       "does not "
       "exist."},
      {"<removeLine/>", "removeLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <pattern>"},
      {"<removeLine><pattern>7000</pattern><routePartitionId/><routeFilterId/></removeLine>", "removeLine",
       kNotFound, "The specified Directory Number was not found."},
      {"<removeLine><uuid>{00000000-0000-0000-0000-00000000DEAD}</uuid></removeLine>", "removeLine",
       kNotFound, "The specified Directory Number was not found."},
      {"<getLine/>", "getLine", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <pattern>"},
      {"<getLine><uuid/></getLine>", "getLine", kInvalidValue, "The element, <uuid>, must have a value."},
      {"<getLine><pattern>7000</pattern><routePartitionId/><routeFilterId/></getLine>", "getLine", kNotFound,
       "The specified Directory Number was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
