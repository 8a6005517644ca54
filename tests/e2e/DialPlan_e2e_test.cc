// Dial plans, dial plan tags, route filters and digit discard instructions through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

struct Case {
  std::string request, method;
  int code;
  std::string message;
};

class DialPlanTest : public RoutingTest {
 protected:
  std::string AddPlan(const std::string& name) {
    return CallForId("addDialPlan", "<addDialPlan><dialPlan><name>" + name + "</name></dialPlan></addDialPlan>");
  }
  std::string AddTag(const std::string& name, const std::string& plan, const std::string& op = "==") {
    return CallForId("addDialPlanTag", "<addDialPlanTag><dialPlanTag><name>" + name + "</name><dialPlanName>" + plan +
                                           "</dialPlanName><operator>" + op + "</operator></dialPlanTag></addDialPlanTag>");
  }
  static std::string PlanElement(const std::string& id, const std::string& name, const std::string& description) {
    return "<dialPlan  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<description>" + description +
           "</description>\r\n</dialPlan>\r\n";
  }
  static std::string TagElement(const std::string& id, const std::string& name, const std::string& plan,
                                const std::string& op, const std::string& suppress) {
    return "<dialPlanTag  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n" + UuidElement("dialPlan", plan) +
           "<operator>" + op + "</operator>\r\n<suppressFromRouteFilter>" + suppress +
           "</suppressFromRouteFilter>\r\n</dialPlanTag>\r\n";
  }
};

TEST_F(DialPlanTest, DialPlanRoundTrip) {
  const std::string plan = CallForId(
      "addDialPlan", "<addDialPlan><zeb:x><zeb:name>North</zeb:name><description>A &lt; B</description></zeb:x>"
                     "</addDialPlan>",
      kLenient);
  EXPECT_EQ(Response("getDialPlan", Returned(PlanElement(plan, "North", "A &lt; B")), "3"),
            Call("<getDialPlan sequence=\"3\"><name>NORTH</name></getDialPlan>"));
  EXPECT_EQ(Standard("updateDialPlan", plan),
            Call("<updateDialPlan><uuid>" + plan + "</uuid><newName>South</newName><description/></updateDialPlan>"));
  EXPECT_EQ(Response("getDialPlan", Returned(PlanElement(plan, "South", ""))),
            Call("<getDialPlan><uuid>" + plan + "</uuid></getDialPlan>"));
  EXPECT_EQ(Standard("removeDialPlan", plan), Call("<removeDialPlan><name>South</name></removeDialPlan>"));
  EXPECT_EQ(Response("getDialPlan", "<return></return>\r\n"),
            Call("<getDialPlan><uuid>" + plan + "</uuid></getDialPlan>"));
}

TEST_F(DialPlanTest, TagRoundTripAndOperatorNumbers) {
  const std::string plan = AddPlan("NA"), other = AddPlan("EU");
  // Operator texts other than the three names, a lower-case "exists" among them, mean "==".
  const std::string tag =
      CallForId("addDialPlanTag", "<addDialPlanTag><dialPlanTag><name>AREA-CODE</name><dialPlan uuid=\"" + plan +
                                      "\"/><operator>exists</operator><suppressFromRouteFilter>true"
                                      "</suppressFromRouteFilter></dialPlanTag></addDialPlanTag>");
  EXPECT_EQ(Response("getDialPlanTag", Returned(TagElement(tag, "AREA-CODE", plan, "==", "true"))),
            Call("<getDialPlanTag><name>area-code</name></getDialPlanTag>"));
  const std::pair<std::string, std::string> operators[] = {
      {"NOT-SELECTED", "NOT-SELECTED"}, {"EXISTS", "EXISTS"}, {"DOES-NOT-EXIST", "DOES-NOT-EXIST"}, {"==", "=="}};
  for (const auto& [sent, shown] : operators) {
    EXPECT_EQ(Standard("updateDialPlanTag", tag),
              Call("<updateDialPlanTag><uuid>" + tag + "</uuid><operator>" + sent + "</operator></updateDialPlanTag>"));
    EXPECT_EQ(Response("getDialPlanTag", Returned(TagElement(tag, "AREA-CODE", plan, shown, "true"))),
              Call("<getDialPlanTag><uuid>" + tag + "</uuid></getDialPlanTag>"));
  }
  EXPECT_EQ(Standard("updateDialPlanTag", tag),
            Call("<updateDialPlanTag><name>AREA-CODE</name><newName>AREA</newName><dialPlan uuid=\"" + other +
                 "\"/><suppressFromRouteFilter>false</suppressFromRouteFilter></updateDialPlanTag>"));
  EXPECT_EQ(Response("getDialPlanTag", Returned(TagElement(tag, "AREA", other, "==", "false"))),
            Call("<getDialPlanTag><uuid>" + tag + "</uuid></getDialPlanTag>"));
  EXPECT_EQ(Standard("removeDialPlanTag", tag), Call("<removeDialPlanTag><uuid>" + tag + "</uuid></removeDialPlanTag>"));
}

TEST_F(DialPlanTest, AnUnsetDialPlanKeepsAnEmptyUuid) {
  const std::string tag = CallForId("addDialPlanTag", "<addDialPlanTag><dialPlanTag><name>LOOSE</name>"
                                                      "<dialPlan uuid=\"\"/><operator>EXISTS</operator>"
                                                      "</dialPlanTag></addDialPlanTag>");
  EXPECT_EQ(Response("getDialPlanTag", Returned(TagElement(tag, "LOOSE", "", "EXISTS", "false"))),
            Call("<getDialPlanTag><uuid>" + tag + "</uuid></getDialPlanTag>"));
  CallForId("addRouteFilter", "<addRouteFilter><rfPtr><name>Loose</name><dialPlan uuid=\"\"/><members/>"
                              "</rfPtr></addRouteFilter>");
  EXPECT_NE(std::string::npos, Call("<getRouteFilter><name>Loose</name></getRouteFilter>")
                                   .find("<clause></clause>\r\n<dialPlan  uuid=\"\"></dialPlan>\r\n"));
}

TEST_F(DialPlanTest, ATagNameInTwoPlansMeansTheTagOfThePlanThatSortsFirst) {
  // Neither the plans' keys nor the order of writing favour "alpha", which sorts first without case.
  const std::string beta = "{00000000-0000-0000-0000-00000000000B}", alpha = "{FFFFFFFF-0000-0000-0000-00000000000A}";
  for (const auto& [id, name] : {std::pair(beta, "Beta"), std::pair(alpha, "alpha")}) {
    OpenDatabase()->Session().Execute("INSERT INTO DialPlan (pkid, Name) VALUES (?, ?)", {id, name});
  }
  const std::string betaTag = AddTag("CODE", "Beta"), alphaTag = AddTag("CODE", "alpha");
  EXPECT_EQ(Response("getDialPlanTag", Returned(TagElement(alphaTag, "CODE", alpha, "==", "false"))),
            Call("<getDialPlanTag><name>code</name></getDialPlanTag>"));
  // A filter without a dial plan takes the same tag for a member named so.
  CallForId("addRouteFilter", "<addRouteFilter><rfPtr><name>Any</name><dialPlan uuid=\"\"/><members>"
                              "<member priority=\"1\"><dialPlanTagName>CODE</dialPlanTagName>"
                              "<operator>EXISTS</operator></member></members></rfPtr></addRouteFilter>");
  EXPECT_NE(std::string::npos, Call("<getRouteFilter><name>Any</name></getRouteFilter>")
                                   .find(UuidElement("dialPlanTag", alphaTag)));
  CallForId("removeRouteFilter", "<removeRouteFilter><name>Any</name></removeRouteFilter>");
  EXPECT_EQ(Standard("removeDialPlanTag", alphaTag),
            Call("<removeDialPlanTag><name>CODE</name></removeDialPlanTag>"));
  EXPECT_EQ(Standard("removeDialPlanTag", betaTag),
            Call("<removeDialPlanTag><name>CODE</name></removeDialPlanTag>"));
}

TEST_F(DialPlanTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPlan("NA");
  AddPlan("EU");
  AddTag("AREA-CODE", "NA");
  auto tag = [](const std::string& inner) { return "<addDialPlanTag><dialPlanTag>" + inner + "</dialPlanTag></addDialPlanTag>"; };
  const Case cases[] = {
      {"<addDialPlan/>", "addDialPlan", kUnexpectedNode, "Unexpected element. Found NULL, expecting <dialPlan>"},
      {"<addDialPlan><p/></addDialPlan>", "addDialPlan", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name>"},
      {"<addDialPlan><dialPlan><description/></dialPlan></addDialPlan>", "addDialPlan", kUnexpectedNode,
       "Unexpected element. Found <description>, expecting <name>."},
      {"<addDialPlan><dialPlan><name/></dialPlan></addDialPlan>", "addDialPlan", kInvalidValue,
       "The element, <name>, must contain a value."},
      {"<addDialPlan><dialPlan><name>na</name></dialPlan></addDialPlan>", "addDialPlan", 3, "A Dial Plan named \"na\" already exists."},
      {"<updateDialPlan/>", "updateDialPlan", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateDialPlan><name/></updateDialPlan>", "updateDialPlan", kInvalidValue,
       "The element, <name>, must have a value."},
      {"<updateDialPlan><name>Nope</name></updateDialPlan>", "updateDialPlan", kNotFound, "Dial Plan not found."},
      {"<updateDialPlan><name>NA</name><newName/></updateDialPlan>", "updateDialPlan", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateDialPlan><name>NA</name><x/></updateDialPlan>", "updateDialPlan", kUnexpectedNode,
       "Unexpected element. <x> is not a valid element of this request type."},
      {"<removeDialPlan><id/></removeDialPlan>", "removeDialPlan", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <name> or <uuid>."},
      {"<removeDialPlan><name>Nope</name></removeDialPlan>", "removeDialPlan", kNotFound,
       "The specified dial plan was not found."},
      {"<removeDialPlan><name>NA</name></removeDialPlan>", "removeDialPlan", 4,
       "The Dial Plan \"NA\" cannot be removed because it is still used by Dial Plan Tag \"AREA-CODE\"."},
      {"<getDialPlan/>", "getDialPlan", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<getDialPlan><name/></getDialPlan>", "getDialPlan", kInvalidValue, "The element, <name>, must contain a value."},
      {"<getDialPlan><name>Nope</name></getDialPlan>", "getDialPlan", kNotFound, "The specified dial plan was not found."},
      {"<addDialPlanTag/>", "addDialPlanTag", kUnexpectedNode, "Unexpected element. Found NULL, expecting <dialPlanTag>"},
      {tag(""), "addDialPlanTag", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {tag("<name/>"), "addDialPlanTag", kInvalidValue, "The element, <name>, must contain a value."},
      {tag("<name>T</name>"), "addDialPlanTag", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlan> or <dialPlanName>"},
      {tag("<name>T</name><plan/>"), "addDialPlanTag", kUnexpectedNode,
       "Unexpected element. Found <plan>, expecting <dialPlan> or <dialPlanName>."},
      {tag("<name>T</name><dialPlan/>"), "addDialPlanTag", kInvalidValue,
       "The \"uuid\" attribute of <dialPlan> cannot be NULL."},
      {tag("<name>T</name><dialPlan id=\"1\"/>"), "addDialPlanTag", kInvalidValue,
       "The element, <dialPlan>, must contain a \"uuid\" attribute."},
      {tag("<name>T</name><dialPlanName/>"), "addDialPlanTag", kInvalidValue,
       "The element, <dialPlanName>, must contain a value."},
      {tag("<name>T</name><dialPlanName>Nope</dialPlanName>"), "addDialPlanTag", kNotFound, "Dial Plan not found."},
      {tag("<name>T</name><dialPlanName>NA</dialPlanName>"), "addDialPlanTag", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <operator>"},
      {tag("<name>T</name><dialPlanName>NA</dialPlanName><operator/>"), "addDialPlanTag", kInvalidValue,
       "The element, <operator>, must contain a value."},
      {tag("<name>T</name><dialPlanName>NA</dialPlanName><operator>==</operator><suppressFromRouteFilter>TRUE"
           "</suppressFromRouteFilter>"),
       "addDialPlanTag", kInvalidValue, "Invalid boolean value: TRUE"},
      {tag("<name>area-code</name><dialPlanName>NA</dialPlanName><operator>==</operator>"), "addDialPlanTag", 3,
       "The dial plan tag area-code already exists in this dial plan."},
      {"<updateDialPlanTag><name>Nope</name></updateDialPlanTag>", "updateDialPlanTag", kNotFound,
       "Dial Plan Tag not found."},
      {"<updateDialPlanTag><name>AREA-CODE</name><newName/></updateDialPlanTag>", "updateDialPlanTag", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateDialPlanTag><name>AREA-CODE</name><dialPlan/></updateDialPlanTag>", "updateDialPlanTag", kInvalidValue,
       "The \"uuid\" attribute of <dialPlan> cannot be NULL."},
      {"<updateDialPlanTag><name>AREA-CODE</name><operator/></updateDialPlanTag>", "updateDialPlanTag", kInvalidValue,
       "The element, <operator>, must contain a value."},
      {"<updateDialPlanTag><name>AREA-CODE</name><suppressFromRouteFilter/></updateDialPlanTag>", "updateDialPlanTag",
       kInvalidValue, "The element, <suppressFromRouteFilter>, must contain a value."},
      {"<updateDialPlanTag><name>AREA-CODE</name><dialPlanName>EU</dialPlanName></updateDialPlanTag>",
       "updateDialPlanTag", kUnexpectedNode,
       "Unexpected element. <dialPlanName> is not a valid element of this request type."},
      {"<removeDialPlanTag><name>Nope</name></removeDialPlanTag>", "removeDialPlanTag", kNotFound,
       "The specified dial plan tag was not found."},
      {"<getDialPlanTag><x/></getDialPlanTag>", "getDialPlanTag", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <name> or <uuid>."},
      {"<getDialPlanTag><name>Nope</name></getDialPlanTag>", "getDialPlanTag", kNotFound,
       "The specified dial plan tag was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

class RouteFilterTest : public DialPlanTest {
 protected:
  void SetUp() override {
    plan_ = AddPlan("NA");
    area_ = AddTag("AREA-CODE", "NA");
    office_ = AddTag("LOCAL-OFFICE", "NA");
    // A tag of the same name in another plan: a name look-up prefers the filter's own plan.
    AddPlan("EU");
    AddTag("AREA-CODE", "EU");
  }
  static std::string MemberRequest(const std::string& priority, const std::string& tag, const std::string& digits,
                                   const std::string& op) {
    return "<member priority=\"" + priority + "\"><dialPlanTagName>" + tag + "</dialPlanTagName>" +
           (digits.empty() ? "" : "<digits>" + digits + "</digits>") + "<operator>" + op + "</operator></member>";
  }
  std::string FilterMember(const std::string& filter, const std::string& tag, const std::string& priority,
                           const std::string& digits, const std::string& op) {
    return "<member  uuid=\"" + RowId("RouteFilterMember", "fkRouteFilter", filter, "fkDialPlanTag", tag) +
           "\">\r\n<priority>" + priority + "</priority>\r\n" + UuidElement("dialPlanTag", tag) + "<digits>" + digits +
           "</digits>\r\n<operator>" + op + "</operator>\r\n</member>\r\n";
  }
  std::string FilterElement(const std::string& id, const std::string& name, const std::string& clause,
                            const std::string& members) {
    return "<routeFilter  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<clause>" + clause + "</clause>\r\n" +
           UuidElement("dialPlan", plan_) + "<dialPlanWizardGenId>0</dialPlanWizardGenId>\r\n" + Members(members) +
           "</routeFilter>\r\n";
  }

  std::string plan_, area_, office_;
};

TEST_F(RouteFilterTest, MembersMakeTheClauseAndAreReplacedOnUpdate) {
  const std::string filter = CallForId(
      "addRouteFilter",
      "<addRouteFilter><rfPtr><name>Local</name><clause>ignored</clause><dialPlanName>NA</dialPlanName>"
      "<dialPlanWizardGenId>2</dialPlanWizardGenId><members>" +
          MemberRequest("1", "AREA-CODE", "214", "==") +
          "<member priority=\"x\"><dialPlanTag uuid=\"" + office_ +
          "\"/><digits>5</digits><operator>NOT-SELECTED</operator></member></members></rfPtr></addRouteFilter>",
      kLenient);
  const std::string members = FilterMember(filter, office_, "0", "5", "NOT-SELECTED") +
                              FilterMember(filter, area_, "1", "214", "==");
  // Members of one priority are one group; NOT-SELECTED members add nothing to the clause.
  EXPECT_EQ(Response("getRouteFilter", Returned(FilterElement(filter, "Local", "(AREA-CODE == 214)", members))),
            Call("<getRouteFilter><name>local</name></getRouteFilter>"));

  EXPECT_EQ(Standard("updateRouteFilter", filter),
            Call("<updateRouteFilter><uuid>" + filter + "</uuid><newName>Metro</newName><members>" +
                 MemberRequest("1", "AREA-CODE", "972", "==") + MemberRequest("1", "LOCAL-OFFICE", "", "EXISTS") +
                 "</members><anything/></updateRouteFilter>",
                 kLenient));
  // The clause follows a renamed tag.
  CallForId("updateDialPlanTag", "<updateDialPlanTag><uuid>" + office_ + "</uuid><newName>OFFICE</newName>"
                                 "</updateDialPlanTag>");
  EXPECT_EQ(Response("getRouteFilter",
                     Returned(FilterElement(filter, "Metro", "(AREA-CODE == 972 AND OFFICE EXISTS)",
                                            FilterMember(filter, area_, "1", "972", "==") +
                                                FilterMember(filter, office_, "1", "", "EXISTS")))),
            Call("<getRouteFilter><uuid>" + filter + "</uuid></getRouteFilter>"));
  EXPECT_EQ(2, CountRows("RouteFilterMember"));

  EXPECT_EQ(Standard("updateRouteFilter", filter),
            Call("<updateRouteFilter><name>Metro</name><members>" + MemberRequest("3", "AREA-CODE", "", "DOES-NOT-EXIST") +
                 MemberRequest("1", "OFFICE", "", "EXISTS") + "</members></updateRouteFilter>"));
  EXPECT_NE(std::string::npos, Call("<getRouteFilter><name>Metro</name></getRouteFilter>")
                                   .find("<clause>(OFFICE EXISTS) OR (AREA-CODE DOES-NOT-EXIST)</clause>"));

  EXPECT_EQ(Standard("removeRouteFilter", filter), Call("<removeRouteFilter><name>Metro</name></removeRouteFilter>"));
  EXPECT_EQ(0, CountRows("RouteFilterMember"));
}

TEST_F(RouteFilterTest, AFilterWithoutMembersHasAnEmptyClause) {
  const std::string filter =
      CallForId("addRouteFilter", "<addRouteFilter><rfPtr><name>None</name><dialPlan uuid=\"" + plan_ +
                                      "\"/><members/></rfPtr></addRouteFilter>");
  EXPECT_EQ(Response("getRouteFilter", Returned(FilterElement(filter, "None", "", ""))),
            Call("<getRouteFilter><uuid>" + filter + "</uuid></getRouteFilter>"));
}

TEST_F(RouteFilterTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string used = CallForId("addRouteFilter", "<addRouteFilter><rfPtr><name>Used</name><dialPlanName>NA"
                                                       "</dialPlanName><members>" +
                                                           MemberRequest("1", "AREA-CODE", "1", "==") +
                                                           "</members></rfPtr></addRouteFilter>");
  {  // A route pattern that uses the filter, written where the API cannot write it yet.
    auto db = OpenDatabase();
    zdl::CNumPlanList patterns(db->Session());
    auto pattern = patterns.Insert();
    pattern->PutDNOrPattern("9.@");
    pattern->PutPatternUsageType(5);
    pattern->PutRouteFilterID(zdl::CZDLID(used));
    patterns.Update();
  }
  auto add = [](const std::string& inner) { return "<addRouteFilter><rfPtr>" + inner + "</rfPtr></addRouteFilter>"; };
  const std::string head = "<name>N</name><dialPlanName>NA</dialPlanName><members>";
  auto member = [&](const std::string& inner) { return add(head + "<member priority=\"1\">" + inner + "</member></members>"); };
  const Case cases[] = {
      {"<addRouteFilter/>", "addRouteFilter", kUnexpectedNode, "Unexpected element. Found NULL, expecting <rfPtr>"},
      {add(""), "addRouteFilter", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {add("<name/>"), "addRouteFilter", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>N</name>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>N</name><clause/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlan> or <dialPlanName>"},
      {add("<name>N</name><plan/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. Found <plan>, expecting <dialPlanName> or <dialPlan>."},
      {add("<name>N</name><dialPlanName/>"), "addRouteFilter", kInvalidValue,
       "The element, <dialPlanName>, must contain a value."},
      {add("<name>N</name><dialPlanName>Nope</dialPlanName>"), "addRouteFilter", kNotFound,
       "The specified Dial Plan was not found."},
      {add("<name>N</name><dialPlan/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <dialPlan>."},
      {add("<name>N</name><dialPlanName>NA</dialPlanName>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>N</name><dialPlanName>NA</dialPlanName><dialPlanWizardGenId/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <members>"},
      {add("<name>N</name><dialPlanName>NA</dialPlanName><x/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <members>."},
      {add(head + "<m/></members>"), "addRouteFilter", kUnexpectedNode, "Unexpected element. Found <m>, expecting <member>."},
      {add(head + "<member/></members>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. No \"priority\" attribute found in <member>."},
      {member(""), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>."},
      {member("<tag/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. Found <tag>, expecting <dialPlanTagName> or <dialPlanTag>."},
      {member("<dialPlanTagName/>"), "addRouteFilter", kInvalidValue,
       "The element, <dialPlanTagName>, must contain a value."},
      {member("<dialPlanTagName>Nope</dialPlanTagName>"), "addRouteFilter", kNotFound,
       "The specified Dial Plan Tag was not found."},
      {member("<dialPlanTag/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <dialPlanTag>."},
      {member("<dialPlanTagName>AREA-CODE</dialPlanTagName>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <digits>."},
      {member("<dialPlanTag uuid=\"" + area_ + "\"/>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {member("<dialPlanTag uuid=\"" + area_ + "\"/><digits>1</digits>"), "addRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <operator>."},
      {member("<dialPlanTag uuid=\"" + area_ + "\"/><operator/>"), "addRouteFilter", kInvalidValue,
       "The element, <operator>, must contain a value."},
      {member("<dialPlanTag uuid=\"" + area_ + "\"/><operator>EXISTS</operator><extra/>"), "addRouteFilter",
       kUnexpectedNode, "Unexpected element. Found <extra>, expecting no more elements."},
      {add("<name>used</name><dialPlanName>NA</dialPlanName><members/>"), "addRouteFilter", 3,
       "A Route Filter named \"used\" already exists."},
      {"<updateRouteFilter/>", "updateRouteFilter", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateRouteFilter><name>Nope</name></updateRouteFilter>", "updateRouteFilter", kNotFound,
       "Route Filter not found."},
      {"<updateRouteFilter><name>Used</name><newName/></updateRouteFilter>", "updateRouteFilter", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateRouteFilter><name>Used</name><dialPlanName/></updateRouteFilter>", "updateRouteFilter", kInvalidValue,
       "The element, <dialPlanName>, must contain a value."},
      {"<updateRouteFilter><name>Used</name><dialPlanName>Nope</dialPlanName></updateRouteFilter>",
       "updateRouteFilter", kNotFound, "The specified Dial Plan was not found."},
      {"<updateRouteFilter><name>Used</name><dialPlanId/></updateRouteFilter>", "updateRouteFilter", kInvalidValue,
       "The element, <dialPlanId>, must contain a value."},
      {"<updateRouteFilter><name>Used</name><members><member priority=\"1\"/></members></updateRouteFilter>",
       "updateRouteFilter", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>."},
      {"<removeRouteFilter/>", "removeRouteFilter", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<removeRouteFilter><id/></removeRouteFilter>", "removeRouteFilter", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <uuid> or <name>."},
      {"<removeRouteFilter><name>Nope</name></removeRouteFilter>", "removeRouteFilter", kNotFound,
       "The specified Route Filter was not found."},
      {"<removeRouteFilter><name>Used</name></removeRouteFilter>", "removeRouteFilter", 4,
       "The Route Filter \"Used\" cannot be removed because it is still used by Number Plan entry \"9.@\"."},
      {"<removeDialPlanTag><uuid>" + area_ + "</uuid></removeDialPlanTag>", "removeDialPlanTag", 4,
       "The Dial Plan Tag \"AREA-CODE\" cannot be removed because it is still used by a Route Filter member of "
       "Route Filter \"Used\"."},
      {"<getRouteFilter/>", "getRouteFilter", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<getRouteFilter><name/></getRouteFilter>", "getRouteFilter", kInvalidValue,
       "The element, <name>, must contain a value."},
      {"<getRouteFilter><name>Nope</name></getRouteFilter>", "getRouteFilter", kNotFound,
       "The specified Route Filter was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

class DDITest : public DialPlanTest {
 protected:
  void SetUp() override {
    na_ = AddPlan("NA");
    eu_ = AddPlan("EU");
    access_ = AddTag("ACCESS", "NA");
    code_ = AddTag("CODE", "NA");
    euCode_ = AddTag("CODE", "EU");
  }
  static std::string DdiElement(const std::string& id, const std::string& name, const std::string& clause,
                                const std::string& planName, const std::string& plan, const std::string& members) {
    return "<ddi  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<clause>" + clause + "</clause>\r\n<dialPlanName>" +
           planName + "</dialPlanName>\r\n" + UuidElement("dialPlan", plan) +
           "<digitAnalysisId>0</digitAnalysisId>\r\n" + Members(members) + "</ddi>\r\n";
  }
  static std::string DdiMember(const std::string& tag) {
    return "<member>\r\n" + UuidElement("dialPlanTag", tag) + "</member>\r\n";
  }

  std::string na_, eu_, access_, code_, euCode_;
};

TEST_F(DDITest, MembersRoundTripAndStayWithinTheDialPlan) {
  const std::string ddi = CallForId(
      "addDDI", "<addDDI><ddi><name>Intl</name><clause>x</clause><dialPlanName>NA</dialPlanName>"
                "<digitAnalysisId>7</digitAnalysisId><members><member><dialPlanTagName>code</dialPlanTagName></member>"
                "<member><dialPlanTag uuid=\"" + access_ + "\"/></member></members></ddi></addDDI>");
  EXPECT_EQ(Response("getDDI", Returned(DdiElement(ddi, "Intl", "ACCESS CODE", "NA", na_,
                                                   DdiMember(access_) + DdiMember(code_)))),
            Call("<getDDI><name>INTL</name></getDDI>"));

  // Moving the instruction to another plan needs members of that plan.
  ExpectRefused("<updateDDI><name>Intl</name><dialPlanName>EU</dialPlanName></updateDDI>", "updateDDI", kInvalidValue,
                "Invalid Dial Plan Tag.  The Dial Plan Tag used must contain a reference to the same Dial Plan "
                "specified for this Digit Discard Instruction.");
  EXPECT_EQ(Standard("updateDDI", ddi),
            Call("<updateDDI><uuid>" + ddi + "</uuid><newName>World</newName><dialPlanId>" + eu_ +
                 "</dialPlanId><members><member><dialPlanTagName>CODE</dialPlanTagName></member></members></updateDDI>"));
  EXPECT_EQ(Response("getDDI", Returned(DdiElement(ddi, "World", "CODE", "EU", eu_, DdiMember(euCode_)))),
            Call("<getDDI><uuid>" + ddi + "</uuid></getDDI>"));
  EXPECT_EQ(1, CountRows("DigitDiscardInstructionMember"));

  EXPECT_EQ(Standard("removeDDI", ddi), Call("<removeDDI><uuid>" + ddi + "</uuid></removeDDI>"));
  EXPECT_EQ(0, CountRows("DigitDiscardInstructionMember"));
  EXPECT_EQ(Response("getDDI", "<return></return>\r\n"), Call("<getDDI><uuid>" + ddi + "</uuid></getDDI>"));
}

TEST_F(DDITest, RefusalsNameTheProblemAndChangeNothing) {
  CallForId("addDDI", "<addDDI><ddi><name>Used</name><dialPlan uuid=\"" + na_ +
                          "\"/><members><member><dialPlanTagName>ACCESS</dialPlanTagName></member></members></ddi>"
                          "</addDDI>");
  auto add = [](const std::string& inner) { return "<addDDI><ddi>" + inner + "</ddi></addDDI>"; };
  auto member = [&](const std::string& inner) {
    return add("<name>N</name><dialPlanName>NA</dialPlanName><members><member>" + inner + "</member></members>");
  };
  const std::string wrongPlan =
      "Invalid Dial Plan Tag.  The Dial Plan Tag used must contain a reference to the same Dial Plan specified for "
      "this Digit Discard Instruction.";
  const Case cases[] = {
      {"<addDDI/>", "addDDI", kUnexpectedNode, "Unexpected element. Found NULL, expecting <ddi>"},
      {add(""), "addDDI", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {add("<name/>"), "addDDI", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>N</name>"), "addDDI", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlan> or <dialPlanName>"},
      {add("<name>N</name><clause/>"), "addDDI", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlan> or <dialPlanName>"},
      {add("<name>N</name><dialPlan/>"), "addDDI", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <dialPlan>."},
      {add("<name>N</name><dialPlanName/>"), "addDDI", kInvalidValue,
       "The element, <dialPlanName>, must contain a value."},
      {add("<name>N</name><dialPlanName>Nope</dialPlanName>"), "addDDI", kNotFound, "Dial Plan not found."},
      {add("<name>N</name><dialPlanName>NA</dialPlanName><x/>"), "addDDI", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <members>."},
      {add("<name>N</name><dialPlanName>NA</dialPlanName><members><m/></members>"), "addDDI", kUnexpectedNode,
       "Unexpected element. Found <m>, expecting <member>."},
      {member(""), "addDDI", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>."},
      {member("<dialPlanTagName/>"), "addDDI", kInvalidValue, "The element, <dialPlanTagName>, must contain a value."},
      {member("<dialPlanTagName>Nope</dialPlanTagName>"), "addDDI", kNotFound,
       "The specified Dial Plan Tag was not found."},
      {member("<dialPlanTag/>"), "addDDI", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <dialPlanTag>."},
      {member("<dialPlanTag uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"), "addDDI", kNotFound,
       "The specified Dial Plan Tag was not found."},
      {member("<dialPlanTag uuid=\"" + euCode_ + "\"/>"), "addDDI", kInvalidValue, wrongPlan},
      {add("<name>used</name><dialPlanName>NA</dialPlanName>"), "addDDI", 3,
       "A Digit Discard Instruction named \"used\" already exists."},
      {"<updateDDI/>", "updateDDI", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateDDI><name>Nope</name></updateDDI>", "updateDDI", kNotFound, "Digit Discard Instruction not found."},
      {"<updateDDI><name>Used</name><newName/></updateDDI>", "updateDDI", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateDDI><name>Used</name><dialPlanId/></updateDDI>", "updateDDI", kInvalidValue,
       "The element, <dialPlanId>, must contain a value."},
      {"<updateDDI><name>Used</name><dialPlanName>Nope</dialPlanName></updateDDI>", "updateDDI", kNotFound,
       "Dial Plan not found."},
      {"<updateDDI><name>Used</name><members><member><dialPlanTag uuid=\"" + euCode_ +
           "\"/></member></members></updateDDI>",
       "updateDDI", kInvalidValue, wrongPlan},
      {"<updateDDI><name>Used</name><clause/></updateDDI>", "updateDDI", kUnexpectedNode,
       "Unexpected element. <clause> is not a valid element of this request type."},
      {"<removeDDI><id/></removeDDI>", "removeDDI", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <name> or <uuid>."},
      {"<removeDDI><name>Nope</name></removeDDI>", "removeDDI", kNotFound,
       "The specified Digit Discard Instruction was not found."},
      {"<removeDialPlanTag><name>ACCESS</name></removeDialPlanTag>", "removeDialPlanTag", 4,
       "The Dial Plan Tag \"ACCESS\" cannot be removed because it is still used by a Digit Discard Instruction "
       "member of Digit Discard Instruction \"Used\"."},
      {"<getDDI/>", "getDDI", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<getDDI><name>Nope</name></getDDI>", "getDDI", kNotFound,
       "The specified Digit Discard Instruction was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
