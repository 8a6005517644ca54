// Translation patterns, route patterns, call park numbers and call pickup groups through real
// HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

const char kNode[] = "{5EED0000-0000-0000-0001-000000000001}";  // the seeded node ZEBNODE1
const std::string kMissing = "{00000000-0000-0000-0000-00000000DEAD}";

class PatternTest : public RoutingTest {
 protected:
  std::string AddTranslation(const std::string& pattern, const std::string& partition = "") {
    return CallForId("addTransPattern", "<addTransPattern><newPattern><pattern>" + pattern + "</pattern><usage/>" +
                                            partition + Routing() + "<callingSearchSpace/></newPattern></addTransPattern>");
  }
  // A route pattern to the gateway, in partition A, through the route filter named filter.
  static std::string RouteVia(const std::string& gateway, const std::string& filter) {
    return "<addRoutePattern><newPattern><pattern>9.@</pattern><usage/><routePartitionName>A</routePartitionName>" +
           Replace(Routing(), "<routeFilter/>", "<routeFilterName>" + filter + "</routeFilterName>") +
           "<destination><gateway uuid=\"" + gateway + "\"/></destination></newPattern></addRoutePattern>";
  }
  // The content of a pattern with nothing set but its pattern, usage and partition.
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
  static std::string PlainTranslation(const std::string& id, const std::string& pattern,
                                      const std::string& partition) {
    return "<pattern  uuid=\"" + id + "\">\r\n" + PlainContent(pattern, "Translation", partition) +
           El("callingSearchSpaceName", "") + "</pattern>\r\n";
  }
};

// An add skips an empty boolean, which the schema does not describe (it asks for true or false).
TEST_F(PatternTest, EmptyBooleansOfAnAddAreSkipped) {
  const std::string routing = Replace(Replace(Routing(), "<blockEnable>false</blockEnable>", "<blockEnable/>"),
                                     "<patternUrgency>false</patternUrgency>", "<patternUrgency/>");
  const std::string id = CallForId("addTransPattern",
                                   "<addTransPattern><newPattern><pattern>7</pattern><usage/>" + routing +
                                       "<callingSearchSpace/></newPattern></addTransPattern>",
                                   kLenient);
  EXPECT_EQ(Got("getTransPattern", PlainTranslation(id, "7", "")),
            Call("<getTransPattern><uuid>" + id + "</uuid></getTransPattern>"));
}

TEST_F(PatternTest, TranslationPatternRoundTrip) {
  const std::string partition = AddPartition("Outside");
  AddCSS("Trunks");
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
      "</digitDiscardInstructionName><messageWaiting>Wink</messageWaiting><networkLocation>OffNet</networkLocation>"
      "<patternUrgency>true</patternUrgency><prefixDigitsOut>0</prefixDigitsOut>"
      "<routeFilterName>Local</routeFilterName><callingSearchSpaceName>Trunks</callingSearchSpaceName>"
      "<extra/></newPattern></addTransPattern>",
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
  EXPECT_EQ(Got("getTransPattern", PlainTranslation(id, "9.[2-9]XX!", "")),
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
  const std::string get = "<getRoutePattern><pattern>8[1-5]XX!</pattern><routePartitionId/><routeFilterId/>"
                          "</getRoutePattern>";
  auto element = [&](const std::string& destination, const std::string& description, const std::string& tag) {
    return "<pattern  uuid=\"" + id + "\">\r\n" +
           Replace(PlainContent("8[1-5]XX!", "Route", ""), El("description", ""), El("description", description)) +
           "<destination>\r\n" + destination + "</destination>\r\n" + El("withTag", tag) + "</pattern>\r\n";
  };
  EXPECT_EQ(Got("getRoutePattern", element(El("routeListName", "RL1"), "", "T")), Call(get));

  EXPECT_EQ(Standard("updateRoutePattern", id),
            Call("<updateRoutePattern><uuid>" + id + "</uuid><description>via gateway</description>"
                 "<destination><gateway uuid=\"" + gateway + "\"/></destination><withTag/></updateRoutePattern>"));
  EXPECT_EQ(Got("getRoutePattern", element(El("gatewayName", "GW1"), "via gateway", "")), Call(get));
  EXPECT_EQ(1, CountRows("DeviceNumPlanMap"));

  EXPECT_EQ(Standard("removeRoutePattern", id),
            Call("<removeRoutePattern><uuid>" + id + "</uuid></removeRoutePattern>"));
  EXPECT_EQ(0, CountRows("DeviceNumPlanMap"));
  EXPECT_EQ(0, CountRows("NumPlan"));
}

TEST_F(PatternTest, WildcardsAreKeptAndPatternsAreUniqueWithinTheirPartitionAndFilter) {
  AddPartition("A");
  AddPartition("B");
  for (const std::string pattern : {"X", "9.@", "\\+1.[2-9]XX&lt;&gt;"}) {
    AddTranslation(pattern, "<routePartitionName>A</routePartitionName>");
    const std::string inB = AddTranslation(pattern, "<routePartitionName>B</routePartitionName>");
    const std::string inNone = AddTranslation(pattern);
    EXPECT_EQ(Got("getTransPattern", PlainTranslation(inB, pattern, "B")),
              Call("<getTransPattern><pattern>" + pattern + "</pattern><routePartitionName>B</routePartitionName>"
                   "<routeFilterId/></getTransPattern>"));
    EXPECT_EQ(Got("getTransPattern", PlainTranslation(inNone, pattern, "")),
              Call("<getTransPattern><pattern>" + pattern + "</pattern><routePartitionId/><routeFilterId/>"
                   "</getTransPattern>"));
  }
  // The route filter is part of the key: one @-pattern of a partition serves several filters.
  const std::string gateway = InsertDevice("GW", 30);
  InsertNamed<zdl::CRouteFilterList>("RF1");
  InsertNamed<zdl::CRouteFilterList>("RF2");
  CallForId("addRoutePattern", RouteVia(gateway, "RF1"));
  const std::string second = CallForId("addRoutePattern", RouteVia(gateway, "RF2"));
  EXPECT_EQ(Standard("removeRoutePattern", second),
            Call("<removeRoutePattern><pattern>9.@</pattern><routePartitionName>A</routePartitionName>"
                 "<routeFilterName>RF2</routeFilterName></removeRoutePattern>"));
  CallForId("addRoutePattern", RouteVia(gateway, "RF2"));
  // A pattern is unique in its partition whatever kind of number holds it.
  ExpectAllRefused(zebd_, {
      {"<addRoutePattern><newPattern><pattern>9.@</pattern><usage/><routePartitionName>A</routePartitionName>" + Routing() +
           "<destination><gateway uuid=\"" + gateway + "\"/></destination></newPattern></addRoutePattern>",
       3, "The pattern 9.@ already exists in this route partition."},
      {"<addCallPickupGroup><callPickup><pattern>X</pattern><usage/></callPickup></addCallPickupGroup>", 3,
       "The pattern X already exists in this route partition."},
      {RouteVia(gateway, "rf2"), 3, "The pattern 9.@ already exists in this route partition."},
  });
}

TEST_F(PatternTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string line = CallForId("addLine", NewLine("500"));
  const std::string trans = AddTranslation("600");
  const std::string gateway = InsertDevice("GW1", 30);
  const std::string routeId = CallForId("addRoutePattern", "<addRoutePattern><newPattern><pattern>2</pattern><usage/>" +
                                                               Routing() + "<destination><gatewayName>GW1"
                                                               "</gatewayName></destination></newPattern></addRoutePattern>");
  const std::string byTrans = "<pattern>600</pattern><routePartitionId/><routeFilterId/>";
  const std::string byRoute = "<updateRoutePattern><uuid>" + routeId + "</uuid>";
  const std::string head = "<addTransPattern><newPattern><pattern>1</pattern><usage/>";
  const std::string end = "</newPattern></addTransPattern>";
  // An add with nothing set but the element that replaces the empty one named.
  auto with = [&](const std::string& empty, const std::string& element) {
    return head + Replace(Routing(), "<" + empty + "/>", element) + "<callingSearchSpace/>" + end;
  };
  const std::string route = "<addRoutePattern><newPattern><pattern>1</pattern><usage/>" + Routing();
  const std::string routeEnd = "</newPattern></addRoutePattern>";
  ExpectAllRefused(zebd_, {
      {"<addTransPattern/>", kUnexpectedNode, "Found NULL, expecting <newPattern>"},
      {head + "<routePartitionId/>" + end, kUnexpectedNode,
       "Deprecated element <routePartitionId>. Please use <routePartition> or <routePartitionName>."},
      {head + "<routePartitionName>Nope</routePartitionName>" + end, kNotFound,
       "The specified Route Partition was not found."},
      {with("useCallingPartyPhoneMask", "<useCallingPartyPhoneMask>Sometimes</useCallingPartyPhoneMask>"), 8,
       "Invalid Parameter: Sometimes"},
      {with("digitDiscardInstruction", "<digitDiscardInstructionName>Nope</digitDiscardInstructionName>"), kNotFound,
       "DigitDiscardInstruction not found."},
      {with("routeFilter", "<routeFilterName>Nope</routeFilterName>"), kNotFound, "RouteFilter not found."},
      // Without a value a translation pattern is written without one, and the library refuses it.
      {"<addTransPattern><newPattern><pattern/><usage/>" + Routing() + "<callingSearchSpace/>" + end, 6,
       "The Number Plan entry cannot be written without a value for DNOrPattern."},
      {route + "<callingSearchSpace/>" + routeEnd, kUnexpectedNode,
       "Found <callingSearchSpace>, expecting <destination>."},
      {route + "<destination><routeListName>Nope</routeListName></destination>" + routeEnd, kNotFound,
       "Route List not found."},
      // Only an update may name its destination by identifier.
      {route + "<destination><gatewayId/></destination>" + routeEnd, kUnexpectedNode,
       "Deprecated element <gatewayId>. Please use <gateway> or <gatewayName>."},
      // Missing companion rows: no number is left behind.
      {route + "<destination><gateway uuid=\"" + kMissing + "\"/></destination>" + routeEnd, 5,
       "The Device " + kMissing + " referred to by this line appearance does not exist."},
      {"<updateTransPattern><pattern>601</pattern><routePartitionId/><routeFilterId/></updateTransPattern>",
       kNotFound, "Translation Pattern not found."},
      {"<updateTransPattern><uuid>" + line + "</uuid></updateTransPattern>", kNotFound,
       "The NumPlan specified is not a Translation Pattern."},
      {"<updateTransPattern>" + byTrans + "<routePartitionName>Nope</routePartitionName></updateTransPattern>",
       kNotFound, "Route Partition not found."},
      {"<updateTransPattern>" + byTrans + "<destination/></updateTransPattern>", kUnexpectedNode,
       "<destination> is not a valid element of this request type."},
      {"<updateRoutePattern><uuid>" + trans + "</uuid></updateRoutePattern>", kNotFound,
       "The NumPlan specified is not a Route Pattern."},
      {"<updateRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></updateRoutePattern>",
       kNotFound, "Route Pattern not found."},
      {byRoute + "<newPattern/></updateRoutePattern>", kInvalidValue, "The element, <pattern>, must have a value."},
      // Only translation patterns accept names here.
      {byRoute + "<routePartitionName>x</routePartitionName></updateRoutePattern>", kUnexpectedNode,
       "<routePartitionName> is not a valid element of this request type."},
      // The new destination was written before the trailing element was found; it is undone.
      {byRoute + "<destination><gateway uuid=\"" + gateway + "\"/></destination><withTag/><x/></updateRoutePattern>",
       kUnexpectedNode, "<x> is not a valid element of this request type."},
      {"<removeTransPattern><pattern>601</pattern><routePartitionId/><routeFilterId/></removeTransPattern>",
       kNotFound, "The specified tranlsation pattern was not found."},
      {"<removeRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></removeRoutePattern>",
       kNotFound, "The specified route pattern was not found."},
      {"<getRoutePattern><pattern>601</pattern><routePartitionId/><routeFilterId/></getRoutePattern>", kNotFound,
       "The specified Route Pattern was not found."},
  });
}

// Call park numbers and call pickup groups: numbers of the same table, read and written alike.
struct NumberKind {
  std::string suffix;      // of the method names
  std::string element;     // the element a get answers with, and the wrapper of an add
  std::string usage;
  std::string node;        // what an add and an update need after the partition ("" for none)
  std::string foreign;     // an element the update does not accept
  std::string updateNotFound, removeNotFound, getNotFound, wrongUsage;
};

const NumberKind kCallPark{"CallPark", "callPark", "Call Park", "<dialcoreName>ZEBNODE1</dialcoreName>", "<usage/>",
                           "Call Park not found.", "The specified call park was not found.",
                           "The specified Call Park was not found.", "The NumPlan specified is not a Call Park."};
const NumberKind kCallPickup{"CallPickupGroup", "callPickup", "Call Pickup Group", "", "<dialcoreId/>",
                             "Call Pickup not found.", "The specified call pickup group was not found.",
                             "The specified Call Pickup Group was not found.",
                             "The NumPlan specified is not a Call Pickup."};

class NumberKindTest : public PatternTest, public ::testing::WithParamInterface<NumberKind> {
 protected:
  const NumberKind& kind() const { return GetParam(); }
  const NumberKind& other() const { return kind().suffix == kCallPark.suffix ? kCallPickup : kCallPark; }
  std::string Add(const NumberKind& kind, const std::string& pattern, const std::string& partition = "") {
    return CallForId("add" + kind.suffix, "<add" + kind.suffix + "><" + kind.element + "><pattern>" + pattern +
                                              "</pattern><usage/>" + partition + kind.node + "</" + kind.element +
                                              "></add" + kind.suffix + ">");
  }
  std::string ByPattern(const std::string& verb, const std::string& pattern, const std::string& rest = "") {
    return "<" + verb + kind().suffix + "><pattern>" + pattern + "</pattern><routePartitionId/><routeFilterId/>" +
           rest + "</" + verb + kind().suffix + ">";
  }
  // The element a get answers with: a call park names its partition by uuid and ends with its
  // node; a call pickup group renders its partition in full.
  std::string Element(const std::string& id, const std::string& pattern, const std::string& partition) {
    std::string text = "<" + kind().element + "  uuid=\"" + id + "\">\r\n" + El("pattern", pattern) +
                       El("usage", kind().usage);
    if (!partition.empty() && kind().node.empty()) {
      text += PartitionElement(partition, "Team");
    } else if (!partition.empty()) {
      text += Ref("routePartition", partition);
    }
    return text + (kind().node.empty() ? "" : El("dialcoreId", kNode)) + "</" + kind().element + ">\r\n";
  }
};

TEST_P(NumberKindTest, RoundTrip) {
  const std::string partition = AddPartition("Team");
  const std::string id = Add(kind(), "7[0-9]*", "<routePartitionName>team</routePartitionName>");
  EXPECT_EQ(Got("get" + kind().suffix, Element(id, "7[0-9]*", partition)),
            Call("<get" + kind().suffix + "><pattern>7[0-9]*</pattern><routePartitionName>Team</routePartitionName>"
                 "<routeFilterId/></get" + kind().suffix + ">"));
  const std::string node = kind().node.empty() ? "" : "<zeb:dialcoreId>" + std::string(kNode) + "</zeb:dialcoreId>";
  EXPECT_EQ(Standard("update" + kind().suffix, id, "3"),
            Call("<zeb:update" + kind().suffix + " sequence=\"3\"><zeb:uuid>" + id + "</zeb:uuid><zeb:newPattern>"
                 "8[0-9]*</zeb:newPattern><zeb:description>d</zeb:description><zeb:newRoutePartitionId/>" + node +
                 "</zeb:update" + kind().suffix + ">"));
  EXPECT_EQ(Got("get" + kind().suffix, Element(id, "8[0-9]*", "")),
            Call("<get" + kind().suffix + "><uuid>" + id + "</uuid></get" + kind().suffix + ">"));
  // A call park number has one node map, replaced by an update and removed with the number.
  EXPECT_EQ(kind().node.empty() ? 0 : 1, CountRows("DialcoreCallParkMap"));
  EXPECT_EQ(Standard("remove" + kind().suffix, id), Call(ByPattern("remove", "8[0-9]*")));
  EXPECT_EQ(0, CountRows("DialcoreCallParkMap"));
  EXPECT_EQ(0, CountRows("NumPlan"));
}

TEST_P(NumberKindTest, RefusalsNameTheProblemAndChangeNothing) {
  Add(kind(), "700");
  Add(other(), "800");
  const std::string add = "<add" + kind().suffix + "><" + kind().element + "><pattern>701</pattern>";
  const std::string addEnd = "</" + kind().element + "></add" + kind().suffix + ">";
  ExpectAllRefused(zebd_, {
      {add + "<usage/><routePartitionId/>" + addEnd, kUnexpectedNode,
       "Deprecated element <routePartitionId>. Please use <routePartition> or <routePartitionName>."},
      {ByPattern("update", "701"), kNotFound, kind().updateNotFound},
      {ByPattern("update", "800"), kNotFound, kind().wrongUsage},
      {ByPattern("update", "700", "<newRoutePartitionName>Nope</newRoutePartitionName>"), kNotFound,
       "The specified Route Partition was not found."},
      {ByPattern("update", "700", kind().foreign), kUnexpectedNode,
       "<" + MethodOf(kind().foreign) + "> is not a valid element of this request type."},
      {ByPattern("remove", "701"), kNotFound, kind().removeNotFound},
      {ByPattern("get", "701"), kNotFound, kind().getNotFound},
      {ByPattern("get", "800"), kNotFound, kind().wrongUsage},
  });
}

INSTANTIATE_TEST_SUITE_P(Numbers, NumberKindTest, ::testing::Values(kCallPark, kCallPickup),
                         [](const auto& info) { return info.param.suffix; });

TEST_F(PatternTest, CallParkNeedsItsNode) {
  AddPartition("P");
  const std::string park = "<addCallPark><callPark><pattern>701</pattern><usage/>";
  const std::string byPark = "<updateCallPark><pattern>700</pattern><routePartitionId/><routeFilterId/>";
  CallForId("addCallPark",
            "<addCallPark><callPark><pattern>700</pattern><usage/><dialcoreName>ZEBNODE1</dialcoreName></callPark></addCallPark>");
  ExpectAllRefused(zebd_, {
      {park + "<routePartitionName>P</routePartitionName></callPark></addCallPark>", kUnexpectedNode,
       "NULL element found, expecting <dialcoreId>"},
      {park + "<dialcoreName>Nope</dialcoreName></callPark></addCallPark>", kNotFound, "The specified Dialcore was not found."},
      // The number and its node map are one unit.
      {park + "<dialcoreId>" + kMissing + "</dialcoreId></callPark></addCallPark>", 5,
       "The Dialcore " + kMissing + " referred to by this Call Park node map does not exist."},
      {byPark + "<newPattern/></updateCallPark>", kInvalidValue, "The element, <newPattern>, must have a value."},
  });
}

TEST_F(PatternTest, APickupGroupThatALineNamesStays) {
  const std::string id = CallForId("addCallPickupGroup",
                                   "<addCallPickupGroup><callPickup><pattern>*88</pattern><usage/></callPickup></addCallPickupGroup>");
  CallForId("addLine", Replace(NewLine("1000"), "<callPickupGroup/>", "<callPickupGroup uuid=\"" + id + "\"/>"));
  ExpectRefused("<removeCallPickupGroup><uuid>" + id + "</uuid></removeCallPickupGroup>", "removeCallPickupGroup", 4,
                "The Number Plan entry \"*88\" cannot be removed because it is still used by Number Plan entry "
                "\"1000\".");
}

}  // namespace
}  // namespace zeb::test
