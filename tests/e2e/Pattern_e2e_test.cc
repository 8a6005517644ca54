// Translation patterns, route patterns, call park numbers and call pickup groups through real
// HTTP.
#include "e2e/ZebdTest.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/Records.h"

namespace zeb::test {
namespace {

const char kNode[] = "{5EED0000-0000-0000-0001-000000000001}";  // the seeded node ZEBNODE1
const char kMissing[] = "{00000000-0000-0000-0000-00000000DEAD}";

std::string El(const std::string& tag, const std::string& text) {
  return "<" + tag + ">" + text + "</" + tag + ">\r\n";
}
std::string Ref(const std::string& tag, const std::string& id) {
  return "<" + tag + "  uuid=\"" + id + "\"></" + tag + ">\r\n";
}

class PatternTest : public ZebdTest {
 protected:
  std::unique_ptr<zdl::CZDLDatabase> OpenDatabase() { return zdl::CZDLDatabase::Open(zebd_.dbPath()); }
  // A record that only has a name, written where the API cannot write it.
  template <class List>
  std::string InsertNamed(const std::string& name) {
    auto db = OpenDatabase();
    List list(db->Session());
    auto record = list.Insert();
    record->PutName(name);
    list.Update();
    return record->GetID().str();
  }
  std::string InsertDevice(const std::string& name, long product) {
    auto db = OpenDatabase();
    zdl::CDeviceList devices(db->Session());
    auto device = devices.Insert();
    device->PutName(name);
    device->PutProduct(product);
    devices.Update();
    return device->GetID().str();
  }
  long long CountRows(const std::string& table) {
    return OpenDatabase()->Session().Query("SELECT COUNT(*) FROM " + table).rows[0][0].AsInt();
  }
  std::string Got(const std::string& method, const std::string& element) {
    return Response(method, "<return>\r\n" + element + "</return>\r\n");
  }

  // Positions 5 to 16 of the add order with nothing set.
  static std::string Routing() {
    return "<blockEnable/><calledPartyTransformationMask/><callingPartyTransformationMask/>"
           "<useCallingPartyPhoneMask/><dialPlan/><dialPlanWizardGenId/>"
           "<digitDiscardInstruction/><messageWaiting/>"
           "<networkLocation/><patternUrgency/><prefixDigitsOut/><routeFilter/>";
  }
  std::string AddTranslation(const std::string& pattern, const std::string& partition = "") {
    return CallForId("addTransPattern", "<addTransPattern><newPattern><pattern>" + pattern + "</pattern><usage/>" +
                                            partition + Routing() +
                                            "<callingSearchSpace/></newPattern></addTransPattern>");
  }
  // The common content of a pattern with nothing set but its pattern, usage and partition.
  static std::string PlainContent(const std::string& pattern, const std::string& usage,
                                  const std::string& partition) {
    return El("pattern", pattern) + El("description", "") + El("usage", usage) +
           El("routePartitionName", partition) + El("blockEnable", "false") +
           El("calledPartyTransformationMask", "") + El("callingPartyTransformationMask", "") +
           El("useCallingPartyPhoneMask", "Off") +
           "<dialPlan  uuid=\"\">\r\n<name></name>\r\n<description></description>\r\n</dialPlan>\r\n" +
           El("dialPlanWizardGenId", "0") + El("digitDiscardInstructionName", "") +
           El("messageWaiting", "Default") + El("networkLocation", "OnNet") + El("patternUrgency", "false") +
           El("prefixDigitsOut", "") + El("routeFilterName", "");
  }
};

TEST_F(PatternTest, TranslationPatternRoundTrip) {
  const std::string partition = AddPartition("Outside");
  CallForId("addCSS", "<addCSS><newCSS><name>Trunks</name><members/></newCSS></addCSS>");
  const std::string plan = InsertNamed<zdl::CDialPlanList>("Plan");
  InsertNamed<zdl::CDigitDiscardInstructionList>("PreDot");
  InsertNamed<zdl::CRouteFilterList>("Local");
  const std::string id = CallForId(
      "addTransPattern",
      "<addTransPattern><newPattern><pattern>9.@</pattern><description>Out &amp; about</description><usage/>"
      "<routePartitionName>outside</routePartitionName><blockEnable>true</blockEnable>"
      "<calledPartyTransformationMask>XXXX</calledPartyTransformationMask><callingPartyTransformationMask/>"
      "<useCallingPartyPhoneMask>On</useCallingPartyPhoneMask><dialPlanName>Plan</dialPlanName>"
      "<dialPlanWizardGenId>5</dialPlanWizardGenId><digitDiscardInstructionName>PreDot"
      "</digitDiscardInstructionName>"
      "<messageWaiting>Wink</messageWaiting><networkLocation>OffNet</networkLocation>"
      "<patternUrgency>true</patternUrgency><prefixDigitsOut>0</prefixDigitsOut>"
      "<routeFilterName>Local</routeFilterName><callingSearchSpaceName>Trunks</callingSearchSpaceName>"
      "<extra/>"
      "</newPattern></addTransPattern>",
      kLenient);
  const std::string full =
      "<pattern  uuid=\"" + id + "\">\r\n" + El("pattern", "9.@") + El("description", "Out &amp; about") +
      El("usage", "Translation") + El("routePartitionName", "Outside") + El("blockEnable", "true") +
      El("calledPartyTransformationMask", "XXXX") + El("callingPartyTransformationMask", "") +
      El("useCallingPartyPhoneMask", "On") + "<dialPlan  uuid=\"" + plan + "\">\r\n" + El("name", "Plan") +
      El("description", "") + "</dialPlan>\r\n" + El("dialPlanWizardGenId", "0") +
      El("digitDiscardInstructionName", "PreDot") + El("messageWaiting", "Wink") +
      El("networkLocation", "OffNet") + El("patternUrgency", "true") + El("prefixDigitsOut", "0") +
      El("routeFilterName", "Local") + El("callingSearchSpaceName", "Trunks") + "</pattern>\r\n";
  // By pattern the partition and the route filter both count.
  EXPECT_EQ(Got("getTransPattern", full),
            Call("<getTransPattern><pattern>9.@</pattern><routePartitionName>Outside</routePartitionName>"
                 "<routeFilterName>Local</routeFilterName></getTransPattern>"));
  EXPECT_EQ(Fault("getTransPattern", kNotFound, "The specified translation pattern was not found."),
            Call("<getTransPattern><pattern>9.@</pattern><routePartitionId>" + partition +
                 "</routePartitionId><routeFilterId/></getTransPattern>"));

  EXPECT_EQ(
      Standard("updateTransPattern", id),
      Call("<updateTransPattern><uuid>" + id +
           "</uuid><newPattern>9.[2-9]XX!</newPattern><description/>"
           "<routePartitionName/><blockEnable>false</blockEnable><calledPartyTransformationMask/>"
           "<useCallingPartyPhoneMask>Off</useCallingPartyPhoneMask><dialPlanId/><dialPlanWizardGenId/>"
           "<digitDiscardInstructionName/><messageWaiting>Default</messageWaiting>"
           "<networkLocation>OnNet</networkLocation><patternUrgency>false</patternUrgency><prefixDigitsOut/>"
           "<routeFilterId/><callingSearchSpaceId/></updateTransPattern>"));
  EXPECT_EQ(Got("getTransPattern", "<pattern  uuid=\"" + id + "\">\r\n" +
                                       PlainContent("9.[2-9]XX!", "Translation", "") +
                                       El("callingSearchSpaceName", "") + "</pattern>\r\n"),
            Call("<getTransPattern><uuid>" + id + "</uuid></getTransPattern>"));
  EXPECT_EQ(Standard("removeTransPattern", id),
            Call("<removeTransPattern><pattern>9.[2-9]XX!</pattern><routePartitionId/><routeFilterId/>"
                 "</removeTransPattern>"));
  EXPECT_EQ(0, CountRows("NumPlan"));
}

TEST_F(PatternTest, RoutePatternKeepsItsDestinationInADeviceMap) {
  InsertDevice("RL1", 37);
  const std::string gateway = InsertDevice("GW1", 30);
  const std::string id =
      CallForId("addRoutePattern",
                "<addRoutePattern><newPattern><pattern>8[1-5]XX!</pattern><usage/>" + Routing() +
                    "<destination><routeListName>rl1</routeListName></destination><withTag>T</withTag>"
                    "<withValueClause>V</withValueClause></newPattern></addRoutePattern>");
  const std::string get =
      "<getRoutePattern><pattern>8[1-5]XX!</pattern><routePartitionId/><routeFilterId/>"
      "</getRoutePattern>";
  EXPECT_EQ(
      Got("getRoutePattern", "<pattern  uuid=\"" + id + "\">\r\n" + PlainContent("8[1-5]XX!", "Route", "") +
                                 "<destination>\r\n" + El("routeListName", "RL1") + "</destination>\r\n" +
                                 El("withTag", "T") + "</pattern>\r\n"),
      Call(get));

  EXPECT_EQ(Standard("updateRoutePattern", id),
            Call("<updateRoutePattern><uuid>" + id +
                 "</uuid><description>via gateway</description>"
                 "<destination><gateway uuid=\"" +
                 gateway + "\"/></destination><withTag/></updateRoutePattern>"));
  const std::string viaGateway =
      "<destination>\r\n" + El("gatewayName", "GW1") + "</destination>\r\n" + El("withTag", "");
  EXPECT_NE(std::string::npos, Call(get).find(viaGateway));
  EXPECT_EQ(1, CountRows("DeviceNumPlanMap"));

  EXPECT_EQ(Standard("removeRoutePattern", id),
            Call("<removeRoutePattern><uuid>" + id + "</uuid></removeRoutePattern>"));
  EXPECT_EQ(0, CountRows("DeviceNumPlanMap"));
  EXPECT_EQ(0, CountRows("NumPlan"));
}

TEST_F(PatternTest, DestinationOfARoutePatternCannotBeRemoved) {
  const std::string routeList = InsertDevice("RL1", 37);
  CallForId("addRoutePattern", "<addRoutePattern><newPattern><pattern>0.!</pattern><usage/>" + Routing() +
                                   "<destination><routeList uuid=\"" + routeList +
                                   "\"/></destination></newPattern>"
                                   "</addRoutePattern>");
  auto db = OpenDatabase();
  zdl::CDeviceList devices(db->Session());
  devices.SelectByID(zdl::CZDLID(routeList));
  devices.Delete();
  try {
    devices.Update();
    ADD_FAILURE() << "the route list was removed";
  } catch (const zdl::CZDLException& e) {
    EXPECT_EQ(zdl::kZDLStillReferenced, e.GetExceptionID());
    EXPECT_EQ(
        "The Device \"RL1\" cannot be removed because it is still the destination of Route Pattern \"0.!\".",
        e.GetExceptionStr());
  }
  EXPECT_EQ(
      1u,
      db->Session().Query("SELECT pkid FROM Device WHERE pkid = ?", {zdl::CZDLID(routeList)}).rows.size());
}

TEST_F(PatternTest, WildcardsAreKeptAndPatternsAreUniqueWithinTheirPartitionAndFilter) {
  AddPartition("A");
  AddPartition("B");
  for (const std::string pattern : {"X", "!", "9.@", "[1-5]", "\\+1.[2-9]XX&lt;&gt;"}) {
    AddTranslation(pattern, "<routePartitionName>A</routePartitionName>");
    const std::string inB = AddTranslation(pattern, "<routePartitionName>B</routePartitionName>");
    const std::string inNone = AddTranslation(pattern);
    EXPECT_EQ(Got("getTransPattern", "<pattern  uuid=\"" + inB + "\">\r\n" +
                                         PlainContent(pattern, "Translation", "B") +
                                         El("callingSearchSpaceName", "") + "</pattern>\r\n"),
              Call("<getTransPattern><pattern>" + pattern +
                   "</pattern><routePartitionName>B</routePartitionName>"
                   "<routeFilterId/></getTransPattern>"));
    EXPECT_NE(std::string::npos, Call("<getTransPattern><pattern>" + pattern + "</pattern><routePartitionId/>"
                                      "<routeFilterId/></getTransPattern>")
                                     .find("<pattern  uuid=\"" + inNone + "\">"));
  }
  // A pattern is unique in its partition whatever kind of number holds it.
  const std::string gateway = InsertDevice("GW", 30);
  ExpectRefused(
      "<addRoutePattern><newPattern><pattern>9.@</pattern><usage/><routePartitionName>A</routePartitionName>" +
          Routing() + "<destination><gateway uuid=\"" + gateway + "\"/></destination></newPattern></addRoutePattern>",
      "addRoutePattern", 3, "The pattern 9.@ already exists in this route partition.");
  ExpectRefused("<addCallPickupGroup><callPickup><pattern>X</pattern><usage/></callPickup></addCallPickupGroup>",
                "addCallPickupGroup", 3, "The pattern X already exists in this route partition.");

  // The route filter is part of the key: one @-pattern of a partition serves several filters.
  InsertNamed<zdl::CRouteFilterList>("RF1");
  InsertNamed<zdl::CRouteFilterList>("RF2");
  auto viaFilter = [&](const std::string& filter) {
    std::string routing = Routing();
    routing.replace(routing.find("<routeFilter/>"), 14, "<routeFilterName>" + filter + "</routeFilterName>");
    return "<addRoutePattern><newPattern><pattern>9.@</pattern><usage/>"
           "<routePartitionName>A</routePartitionName>" + routing +
           "<destination><gateway uuid=\"" + gateway + "\"/></destination></newPattern></addRoutePattern>";
  };
  CallForId("addRoutePattern", viaFilter("RF1"));
  const std::string second = CallForId("addRoutePattern", viaFilter("RF2"));
  EXPECT_NE(std::string::npos, Call("<getRoutePattern><pattern>9.@</pattern><routePartitionName>A"
                                    "</routePartitionName><routeFilterName>RF2</routeFilterName></getRoutePattern>")
                                   .find("<pattern  uuid=\"" + second + "\">"));
  ExpectRefused(viaFilter("rf2"), "addRoutePattern", 3, "The pattern 9.@ already exists in this route partition.");
}

TEST_F(PatternTest, CompanionRowsAreWrittenWithTheirNumberOrNotAtAll) {
  ExpectRefused(
      "<addRoutePattern><newPattern><pattern>1</pattern><usage/>" + Routing() + "<destination><gateway uuid=\"" +
          std::string(kMissing) + "\"/></destination></newPattern></addRoutePattern>",
      "addRoutePattern", 5,
      "The Device " + std::string(kMissing) + " referred to by this line appearance does not exist.");
  ExpectRefused(
      "<addCallPark><callPark><pattern>700</pattern><usage/><dialcoreId>" + std::string(kMissing) +
          "</dialcoreId></callPark></addCallPark>",
      "addCallPark", 5,
      "The Dialcore " + std::string(kMissing) + " referred to by this Call Park node map does not exist.");
}

TEST_F(PatternTest, CallParkRoundTrip) {
  const std::string partition = AddPartition("Park");
  const std::string id = CallForId(
      "addCallPark",
      "<addCallPark><callPark><pattern>70[0-9]</pattern><description>Lobby</description><usage/>"
      "<routePartitionName>park</routePartitionName><dialcoreName>zebnode1</dialcoreName></callPark>"
      "</addCallPark>");
  EXPECT_EQ(Got("getCallPark", "<callPark  uuid=\"" + id + "\">\r\n" + El("pattern", "70[0-9]") +
                                   El("usage", "Call Park") + Ref("routePartition", partition) +
                                   El("dialcoreId", kNode) + "</callPark>\r\n"),
            Call("<getCallPark><pattern>70[0-9]</pattern><routePartitionName>Park</routePartitionName>"
                 "<routeFilterId/></getCallPark>"));
  EXPECT_EQ(Standard("updateCallPark", id, "3"),
            Call("<zeb:updateCallPark sequence=\"3\"><zeb:uuid>" + id +
                 "</zeb:uuid>"
                 "<zeb:newPattern>71[0-9]</zeb:newPattern><zeb:newRoutePartitionId/><zeb:dialcoreId>" +
                 std::string(kNode) + "</zeb:dialcoreId></zeb:updateCallPark>"));
  EXPECT_EQ(Got("getCallPark", "<callPark  uuid=\"" + id + "\">\r\n" + El("pattern", "71[0-9]") +
                                   El("usage", "Call Park") + El("dialcoreId", kNode) + "</callPark>\r\n"),
            Call("<getCallPark><uuid>" + id + "</uuid></getCallPark>"));
  EXPECT_EQ(1, CountRows("DialcoreCallParkMap"));
  EXPECT_EQ(
      Standard("removeCallPark", id),
      Call("<removeCallPark><pattern>71[0-9]</pattern><routePartitionId/><routeFilterId/></removeCallPark>"));
  EXPECT_EQ(0, CountRows("DialcoreCallParkMap"));
}

TEST_F(PatternTest, CallPickupRoundTripAndAGroupInUseStays) {
  const std::string partition = AddPartition("Team");
  const std::string id =
      CallForId("addCallPickupGroup",
                "<addCallPickupGroup><callPickup><pattern>*88</pattern><usage/><routePartition uuid=\"" +
                    partition + "\"/></callPickup></addCallPickupGroup>");
  EXPECT_EQ(Got("getCallPickupGroup", "<callPickup  uuid=\"" + id + "\">\r\n" + El("pattern", "*88") +
                                          El("usage", "Call Pickup Group") + "<routePartition  uuid=\"" +
                                          partition + "\">\r\n" + El("name", "Team") + El("description", "") +
                                          El("dialPlanWizardGenId", "0") +
                                          "</routePartition>\r\n</callPickup>\r\n"),
            Call("<getCallPickupGroup><uuid>" + id + "</uuid></getCallPickupGroup>"));
  EXPECT_EQ(
      Standard("updateCallPickupGroup", id),
      Call("<updateCallPickupGroup><pattern>*88</pattern><routePartitionName>Team</routePartitionName>"
           "<routeFilterId/><description>d</description><newRoutePartitionName/></updateCallPickupGroup>"));
  EXPECT_EQ(Got("getCallPickupGroup", "<callPickup  uuid=\"" + id + "\">\r\n" + El("pattern", "*88") +
                                          El("usage", "Call Pickup Group") + "</callPickup>\r\n"),
            Call("<getCallPickupGroup><pattern>*88</pattern><routePartitionId/><routeFilterId/>"
                 "</getCallPickupGroup>"));
  CallForId("addLine",
            "<addLine><newLine><pattern>1000</pattern><usage/><routePartition/><callPickupGroup uuid=\"" + id +
                "\"/><callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>"
                "<shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum>"
                "</newLine></addLine>");
  ExpectRefused(
      "<removeCallPickupGroup><uuid>" + id + "</uuid></removeCallPickupGroup>", "removeCallPickupGroup", 4,
      "The Number Plan entry \"*88\" cannot be removed because it is still used by Number Plan entry "
      "\"1000\".");
}

TEST_F(PatternTest, PatternRefusalsNameTheProblemAndChangeNothing) {
  const std::string line = CallForId(
      "addLine",
      "<addLine><newLine><pattern>500</pattern><usage/><routePartition/><callPickupGroup/>"
      "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/>"
      "<useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></newLine></addLine>");
  const std::string trans = AddTranslation("600");
  const std::string byTrans = "<pattern>600</pattern><routePartitionId/><routeFilterId/>";
  const std::string head = "<addTransPattern><newPattern><pattern>1</pattern><usage/>";
  // The add order up to position n (1-based, after the head) with nothing set.
  const char* positions[] = {"<blockEnable/>",
                             "<calledPartyTransformationMask/>",
                             "<callingPartyTransformationMask/>",
                             "<useCallingPartyPhoneMask/>",
                             "<dialPlan/>",
                             "<dialPlanWizardGenId/>",
                             "<digitDiscardInstruction/>",
                             "<messageWaiting/>",
                             "<networkLocation/>",
                             "<patternUrgency/>",
                             "<prefixDigitsOut/>",
                             "<routeFilter/>"};
  auto upTo = [&](int count) {
    std::string text = head;
    for (int i = 0; i < count; ++i) text += positions[i];
    return text;
  };
  const std::string route = "<addRoutePattern><newPattern><pattern>1</pattern><usage/>" + Routing();
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addTransPattern/>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <newPattern>"},
      {"<addTransPattern><p/></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern>"},
      {"<addTransPattern><newPattern><usage/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found <usage>, expecting <pattern>."},
      {"<addTransPattern><newPattern><pattern>1</pattern></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting more elements"},
      {"<addTransPattern><newPattern><pattern>1</pattern><description/></newPattern></addTransPattern>", "addTransPattern",
       kInvalidValue, "The element, <description>, must contain a value."},
      {"<addTransPattern><newPattern><pattern>1</pattern><description>d</description></newPattern></addTransPattern>",
       "addTransPattern", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <usage>"},
      {head + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <routePartitionId>"},
      {head + "<routePartitionId/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Deprecated element <routePartitionId>. Please use <routePartition> or "
       "<routePartitionName>."},
      {head + "<routePartitionName>Nope</routePartitionName></newPattern></addTransPattern>", "addTransPattern",
       kNotFound, "The specified Route Partition was not found."},
      {head + "<routePartition/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <blockEnable>"},
      {head + "<x/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <blockEnable>."},
      {head + "<blockEnable>yes</blockEnable></newPattern></addTransPattern>", "addTransPattern", kInvalidValue,
       "Invalid boolean value: yes"},
      {upTo(1) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <calledPartyTransformationMask>"},
      {upTo(2) + "<x/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <callingPartyTransformationMask>."},
      {upTo(3) + "<useCallingPartyPhoneMask>Sometimes</useCallingPartyPhoneMask></newPattern></addTransPattern>",
       "addTransPattern", 8, "Invalid Parameter: Sometimes"},
      {upTo(4) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <dialPlan>"},
      {upTo(4) + "<x/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <dialPlan> or <dialPlanName>."},
      {upTo(4) + "<dialPlanId/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Deprecated element <dialPlanId>. Please use <dialPlan> or <dialPlanName>."},
      {upTo(4) + "<dialPlanName>Nope</dialPlanName></newPattern></addTransPattern>", "addTransPattern", kNotFound,
       "Dial Plan not found."},
      {upTo(5) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <dialPlanWizardGenId>"},
      {upTo(6) + "<digitDiscardInstructionId/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Deprecated element <digitDiscardInstructionId>. Please use "
       "<digitDiscardInstruction> or "
       "<digitDiscardInstructionName>."},
      {upTo(6) + "<digitDiscardInstructionName>Nope</digitDiscardInstructionName></newPattern></addTransPattern>",
       "addTransPattern", kNotFound, "DigitDiscardInstruction not found."},
      {upTo(7) + "<messageWaiting>Glow</messageWaiting></newPattern></addTransPattern>", "addTransPattern", 8,
       "Invalid Parameter: Glow"},
      {upTo(8) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <networkLocation>"},
      {upTo(9) + "<patternUrgency>1</patternUrgency></newPattern></addTransPattern>", "addTransPattern", kInvalidValue,
       "Invalid boolean value: 1"},
      {upTo(10) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <prefixDigitsOut>"},
      {upTo(11) + "<routeFilterId/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Deprecated element <routeFilterId>. Please use <routeFilter> or "
       "<routeFilterName>."},
      {upTo(11) + "<routeFilterName>Nope</routeFilterName></newPattern></addTransPattern>", "addTransPattern",
       kNotFound, "RouteFilter not found."},
      {upTo(12) + "</newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <callingSearchSpace>"},
      {upTo(12) + "<callingSearchSpaceId/></newPattern></addTransPattern>", "addTransPattern", kUnexpectedNode,
       "Unexpected element. Deprecated element <callingSearchSpaceId>. Please use <callingSearchSpace> or "
       "<callingSearchSpaceName>."},
      {upTo(12) + "<callingSearchSpaceName>Nope</callingSearchSpaceName></newPattern></addTransPattern>",
       "addTransPattern", kNotFound, "Calling Search Space not found."},
      // Without a value a translation pattern is written without one, and the library refuses it.
      {"<addTransPattern><newPattern><pattern/><usage/>" + Routing() + "<callingSearchSpace/></newPattern></addTransPattern>",
       "addTransPattern", 6, "The Number Plan entry cannot be written without a value for DNOrPattern."},
      {"<addRoutePattern><newPattern><pattern/></newPattern></addRoutePattern>", "addRoutePattern", kInvalidValue,
       "The element, <pattern>, must have a value."},
      {route + "</newPattern></addRoutePattern>", "addRoutePattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <destination>"},
      {route + "<callingSearchSpace/></newPattern></addRoutePattern>", "addRoutePattern", kUnexpectedNode,
       "Unexpected element. Found <callingSearchSpace>, expecting <destination>."},
      {route + "<destination/></newPattern></addRoutePattern>", "addRoutePattern", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <gateway> or <routeList>."},
      {route + "<destination><gateway/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <gateway>."},
      {route + "<destination><zeb:routeList/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <routeList>."},
      {route + "<destination><gatewayName/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kInvalidValue, "The element, <gatewayName>, must contain a value."},
      {route + "<destination><routeListName/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kInvalidValue, "The element, <routeListName>, must contain a value."},
      {route + "<destination><routeListName>Nope</routeListName></destination></newPattern></addRoutePattern>",
       "addRoutePattern", kNotFound, "Route List not found."},
      {route + "<destination><gatewayId/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kUnexpectedNode,
       "Unexpected element. Deprecated element <gatewayId>. Please use <gateway> or <gatewayName>."},
      {route + "<destination><routeListId/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kUnexpectedNode,
       "Unexpected element. Deprecated element <routeListId>. Please use <routeList> or "
       "<routeListName>."},
      {route + "<destination><device/></destination></newPattern></addRoutePattern>", "addRoutePattern",
       kUnexpectedNode, "Unexpected element. Found <device>, expecting <gateway> or <routeList>."},
      {"<updateTransPattern/>", "updateTransPattern", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern> or <uuid>"},
      {"<updateTransPattern><pattern>600</pattern><routePartitionId/></updateTransPattern>",
       "updateTransPattern", kUnexpectedNode, "Unexpected element. Found NULL, expecting <routeFilterId>"},
      {"<updateTransPattern><pattern>600</pattern><routePartitionId/><routeFilter/></updateTransPattern>",
       "updateTransPattern", kUnexpectedNode,
       "Unexpected element. Found <routeFilter>, expecting <routeFilterId> or <routeFilterName>."},
      {"<updateTransPattern><pattern>600</pattern><routePartitionId/><routeFilterName>Nope</routeFilterName>"
       "</updateTransPattern>",
       "updateTransPattern", kNotFound, "Route Filter not found."},
      {"<updateTransPattern><pattern>601</pattern><routePartitionId/><routeFilterId/></updateTransPattern>",
       "updateTransPattern", kNotFound, "Translation Pattern not found."},
      {"<updateTransPattern><uuid>" + line + "</uuid></updateTransPattern>", "updateTransPattern", kNotFound,
       "The NumPlan specified is not a Translation Pattern."},
      {"<updateTransPattern>" + byTrans + "<blockEnable/></updateTransPattern>", "updateTransPattern",
       kInvalidValue, "The element, <blockEnable>, must have a value."},
      {"<updateTransPattern>" + byTrans + "<useCallingPartyPhoneMask/></updateTransPattern>",
       "updateTransPattern", kInvalidValue, "The element, <useCallingPartyPhoneMask>, must have a value."},
      {"<updateTransPattern>" + byTrans + "<messageWaiting/></updateTransPattern>", "updateTransPattern",
       kInvalidValue, "The element, <messageWaiting>, must have a value."},
      {"<updateTransPattern>" + byTrans + "<networkLocation/></updateTransPattern>", "updateTransPattern",
       kInvalidValue, "The element, <networkLocation>, must have a value."},
      {"<updateTransPattern>" + byTrans + "<patternUrgency/></updateTransPattern>", "updateTransPattern",
       kInvalidValue, "The element, <patternUrgency>, must have a value."},
      {"<updateTransPattern>" + byTrans +
           "<routePartitionName>Nope</routePartitionName></updateTransPattern>",
       "updateTransPattern", kNotFound, "Route Partition not found."},
      {"<updateTransPattern>" + byTrans + "<dialPlanName>Nope</dialPlanName></updateTransPattern>",
       "updateTransPattern", kNotFound, "Dial Plan not found."},
      {"<updateTransPattern>" + byTrans +
           "<digitDiscardInstructionName>Nope</digitDiscardInstructionName>"
           "</updateTransPattern>",
       "updateTransPattern", kNotFound, "Digit Discard Instruction not found."},
      {"<updateTransPattern>" + byTrans + "<routeFilterName>Nope</routeFilterName></updateTransPattern>",
       "updateTransPattern", kNotFound, "Route Filter not found."},
      {"<updateTransPattern>" + byTrans +
           "<callingSearchSpaceName>Nope</callingSearchSpaceName></updateTransPattern>",
       "updateTransPattern", kNotFound, "Calling Search Space not found."},
      {"<updateTransPattern>" + byTrans + "<destination/></updateTransPattern>", "updateTransPattern",
       kUnexpectedNode, "Unexpected element. <destination> is not a valid element of this request type."},
      {"<updateRoutePattern><uuid>" + trans + "</uuid></updateRoutePattern>", "updateRoutePattern", kNotFound,
       "The NumPlan specified is not a Route Pattern."},
      {"<updateRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></updateRoutePattern>",
       "updateRoutePattern", kNotFound, "Route Pattern not found."},
      {"<removeTransPattern/>", "removeTransPattern", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <pattern>"},
      {"<removeTransPattern><pattern>601</pattern><routePartitionId/><routeFilterId/></removeTransPattern>",
       "removeTransPattern", kNotFound, "The specified tranlsation pattern was not found."},
      {"<removeTransPattern><uuid>" + line + "</uuid></removeTransPattern>", "removeTransPattern", kNotFound,
       "The NumPlan specified is not a Translation Pattern."},
      {"<removeRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></removeRoutePattern>",
       "removeRoutePattern", kNotFound, "The specified route pattern was not found."},
      {"<getTransPattern><name/></getTransPattern>", "getTransPattern", kUnexpectedNode,
       "Unexpected element. Found <name>, expecting <uuid> or <pattern>."},
      {"<getTransPattern><uuid/></getTransPattern>", "getTransPattern", kInvalidValue,
       "The element, <uuid>, must have a value."},
      {"<getRoutePattern><uuid>" + trans + "</uuid></getRoutePattern>", "getRoutePattern", kNotFound,
       "The NumPlan specified is not a Route Pattern."},
      {"<getRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></getRoutePattern>",
       "getRoutePattern", kNotFound, "The specified Route Pattern was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

TEST_F(PatternTest, RoutePatternUpdateRefusals) {
  const std::string gateway = InsertDevice("GW1", 30);
  const std::string id =
      CallForId("addRoutePattern", "<addRoutePattern><newPattern><pattern>2</pattern><usage/>" + Routing() +
                                       "<destination><gatewayName>GW1</gatewayName></destination>"
                                       "</newPattern></addRoutePattern>");
  const std::string byId = "<updateRoutePattern><uuid>" + id + "</uuid>";
  struct Case {
    std::string request;
    int code;
    std::string message;
  } cases[] = {
      {byId + "<newPattern/></updateRoutePattern>", kInvalidValue,
       "The element, <pattern>, must have a value."},
      // Only translation patterns accept names here.
      {byId + "<routePartitionName>x</routePartitionName></updateRoutePattern>", kUnexpectedNode,
       "Unexpected element. <routePartitionName> is not a valid element of this request type."},
      {byId + "<destination/></updateRoutePattern>", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <gatewayId> or <routeListId>."},
      {byId + "<destination><gatewayId/></destination></updateRoutePattern>", kInvalidValue,
       "The element, <gatewayId>, must contain a value."},
      {byId + "<destination><routeListId>" + std::string(kMissing) +
           "</routeListId></destination>"
           "</updateRoutePattern>",
       5, "The Device " + std::string(kMissing) + " referred to by this line appearance does not exist."},
      // The new destination was written before the trailing element was found; it is undone.
      {byId + "<destination><gateway uuid=\"" + gateway +
           "\"/></destination><withTag/><x/></updateRoutePattern>",
       kUnexpectedNode, "Unexpected element. <x> is not a valid element of this request type."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, "updateRoutePattern", c.code, c.message);
}

TEST_F(PatternTest, CallParkAndPickupRefusals) {
  AddPartition("P");
  CallForId("addCallPark",
            "<addCallPark><callPark><pattern>700</pattern><usage/><dialcoreName>ZEBNODE1</dialcoreName></callPark>"
            "</addCallPark>");
  CallForId("addCallPickupGroup",
            "<addCallPickupGroup><callPickup><pattern>800</pattern><usage/></callPickup></addCallPickupGroup>");
  const std::string park = "<addCallPark><callPark><pattern>701</pattern><usage/>";
  const std::string byPark = "<pattern>700</pattern><routePartitionId/><routeFilterId/>";
  const std::string byPickup = "<pattern>800</pattern><routePartitionId/><routeFilterId/>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addCallPark/>", "addCallPark", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <callPark>"},
      {"<addCallPark><c/></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern>"},
      {"<addCallPark><callPark><pattern/></callPark></addCallPark>", "addCallPark", kInvalidValue,
       "The element, <pattern>, must have a value."},
      {"<addCallPark><callPark><pattern>701</pattern></callPark></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting more elements."},
      {"<addCallPark><callPark><pattern>701</pattern><description/></callPark></addCallPark>", "addCallPark",
       kUnexpectedNode, "Unexpected element. NULL element found, expecting <usage>."},
      {"<addCallPark><callPark><pattern>701</pattern><x/></callPark></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <usage>."},
      {park + "</callPark></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting more elements."},
      {park + "<routePartitionName>P</routePartitionName></callPark></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <dialcoreId>"},
      {park + "<dialcore/></callPark></addCallPark>", "addCallPark", kUnexpectedNode,
       "Unexpected element. Found <dialcore>, expecting <dialcoreId> or <dialcoreName>."},
      {park + "<dialcoreId/></callPark></addCallPark>", "addCallPark", kInvalidValue,
       "The element, <dialcoreId>, must contain a value."},
      {park + "<dialcoreName/></callPark></addCallPark>", "addCallPark", kInvalidValue,
       "The element, <dialcoreName>, must have a value."},
      {park + "<dialcoreName>Nope</dialcoreName></callPark></addCallPark>", "addCallPark", kNotFound,
       "The specified Dialcore was not found."},
      {"<updateCallPark/>", "updateCallPark", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <pattern> or <uuid>"},
      {"<updateCallPark><pattern/></updateCallPark>", "updateCallPark", kInvalidValue,
       "The element, <pattern>, must have a value."},
      {"<updateCallPark><pattern>701</pattern><routePartitionId/><routeFilterId/></updateCallPark>",
       "updateCallPark", kNotFound, "Call Park not found."},
      {"<updateCallPark>" + byPickup + "</updateCallPark>", "updateCallPark", kNotFound,
       "The NumPlan specified is not a Call Park."},
      {"<updateCallPark>" + byPark + "<newPattern/></updateCallPark>", "updateCallPark", kInvalidValue,
       "The element, <newPattern>, must have a value."},
      {"<updateCallPark>" + byPark + "<newRoutePartitionName>Nope</newRoutePartitionName></updateCallPark>",
       "updateCallPark", kNotFound, "The specified Route Partition was not found."},
      {"<updateCallPark>" + byPark + "<dialcoreId/></updateCallPark>", "updateCallPark", kInvalidValue,
       "The element, <dialcoreId>, must have a value."},
      {"<updateCallPark>" + byPark + "<dialcoreName/></updateCallPark>", "updateCallPark", kInvalidValue,
       "The element, <dialcoreName>, must have a value."},
      {"<updateCallPark>" + byPark + "<dialcoreName>ZEBNODE1</dialcoreName><usage/></updateCallPark>",
       "updateCallPark", kUnexpectedNode,
       "Unexpected element. <usage> is not a valid element of this request type."},
      {"<removeCallPark><pattern>701</pattern><routePartitionId/><routeFilterId/></removeCallPark>",
       "removeCallPark", kNotFound, "The specified call park was not found."},
      {"<getCallPark><pattern>701</pattern><routePartitionId/><routeFilterId/></getCallPark>", "getCallPark",
       kNotFound, "The specified Call Park was not found."},
      {"<getCallPark>" + byPickup + "</getCallPark>", "getCallPark", kNotFound,
       "The NumPlan specified is not a Call Park."},
      {"<addCallPickupGroup/>", "addCallPickupGroup", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <callPickup>"},
      {"<addCallPickupGroup><callPickup><pattern>801</pattern><description>d</description></callPickup></addCallPickupGroup>",
       "addCallPickupGroup", kUnexpectedNode, "Unexpected element. NULL element found, expecting <usage>."},
      {"<addCallPickupGroup><callPickup><pattern>801</pattern><usage/><routePartitionId/></callPickup></addCallPickupGroup>",
       "addCallPickupGroup", kUnexpectedNode,
       "Unexpected element. Deprecated element <routePartitionId>. Please use <routePartition> or "
       "<routePartitionName>."},
      {"<updateCallPickupGroup><pattern>801</pattern><routePartitionId/><routeFilterId/>"
       "</updateCallPickupGroup>",
       "updateCallPickupGroup", kNotFound, "Call Pickup not found."},
      {"<updateCallPickupGroup>" + byPark + "</updateCallPickupGroup>", "updateCallPickupGroup", kNotFound,
       "The NumPlan specified is not a Call Pickup."},
      {"<updateCallPickupGroup>" + byPickup + "<dialcoreId/></updateCallPickupGroup>",
       "updateCallPickupGroup", kUnexpectedNode,
       "Unexpected element. <dialcoreId> is not a valid element of this request type."},
      {"<removeCallPickupGroup><pattern>801</pattern><routePartitionId/><routeFilterId/>"
       "</removeCallPickupGroup>",
       "removeCallPickupGroup", kNotFound, "The specified call pickup group was not found."},
      {"<getCallPickupGroup><pattern>801</pattern><routePartitionId/><routeFilterId/></getCallPickupGroup>",
       "getCallPickupGroup", kNotFound, "The specified Call Pickup Group was not found."},
      {"<getCallPickupGroup><uuid/></getCallPickupGroup>", "getCallPickupGroup", kInvalidValue,
       "The element, <uuid>, must have a value."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
