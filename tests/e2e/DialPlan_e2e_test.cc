// Dial plans, dial plan tags, route filters and digit discard instructions through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

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
    return "<dialPlan  uuid=\"" + id + "\">\r\n" + El("name", name) + El("description", description) +
           "</dialPlan>\r\n";
  }
  static std::string TagElement(const std::string& id, const std::string& name, const std::string& plan,
                                const std::string& op, const std::string& suppress) {
    return "<dialPlanTag  uuid=\"" + id + "\">\r\n" + El("name", name) + Ref("dialPlan", plan) + El("operator", op) +
           El("suppressFromRouteFilter", suppress) + "</dialPlanTag>\r\n";
  }
};

TEST_F(DialPlanTest, DialPlanRoundTrip) {
  const std::string plan = CallForId(
      "addDialPlan", "<addDialPlan><zeb:x><zeb:name>North</zeb:name><description>A &lt; B</description></zeb:x>"
                     "</addDialPlan>",
      kLenient);
  EXPECT_EQ(Got("getDialPlan", PlanElement(plan, "North", "A &lt; B"), "3"),
            Call("<getDialPlan sequence=\"3\"><name>NORTH</name></getDialPlan>"));
  EXPECT_EQ(Standard("updateDialPlan", plan),
            Call("<updateDialPlan><uuid>" + plan + "</uuid><newName>South</newName><description/></updateDialPlan>"));
  EXPECT_EQ(Got("getDialPlan", PlanElement(plan, "South", "")), ById("getDialPlan", plan));
  EXPECT_EQ(Standard("removeDialPlan", plan), ByName("removeDialPlan", "South"));
  EXPECT_EQ(Response("getDialPlan", "<return>\r\n</return>\r\n"), ById("getDialPlan", plan));
}

TEST_F(DialPlanTest, TagRoundTripAndOperatorNumbers) {
  const std::string plan = AddPlan("NA"), other = AddPlan("EU");
  // Operator texts other than the three names, a lower-case "exists" among them, mean "==".
  const std::string tag =
      CallForId("addDialPlanTag", "<addDialPlanTag><dialPlanTag><name>AREA-CODE</name><dialPlan uuid=\"" + plan +
                                      "\"/><operator>exists</operator><suppressFromRouteFilter>true"
                                      "</suppressFromRouteFilter></dialPlanTag></addDialPlanTag>");
  EXPECT_EQ(Got("getDialPlanTag", TagElement(tag, "AREA-CODE", plan, "==", "true")),
            ByName("getDialPlanTag", "area-code"));
  for (const std::string op : {"NOT-SELECTED", "EXISTS", "DOES-NOT-EXIST", "=="}) {
    EXPECT_EQ(Standard("updateDialPlanTag", tag),
              Call("<updateDialPlanTag><uuid>" + tag + "</uuid><operator>" + op + "</operator></updateDialPlanTag>"));
    EXPECT_EQ(Got("getDialPlanTag", TagElement(tag, "AREA-CODE", plan, op, "true")),
              ById("getDialPlanTag", tag));
  }
  EXPECT_EQ(Standard("updateDialPlanTag", tag),
            Call("<updateDialPlanTag><name>AREA-CODE</name><newName>AREA</newName><dialPlan uuid=\"" + other +
                 "\"/><suppressFromRouteFilter>false</suppressFromRouteFilter></updateDialPlanTag>"));
  EXPECT_EQ(Got("getDialPlanTag", TagElement(tag, "AREA", other, "==", "false")),
            ById("getDialPlanTag", tag));
  EXPECT_EQ(Standard("removeDialPlanTag", tag), ById("removeDialPlanTag", tag));
}

TEST_F(DialPlanTest, AnUnsetDialPlanKeepsAnEmptyUuid) {
  const std::string tag = CallForId("addDialPlanTag", "<addDialPlanTag><dialPlanTag><name>LOOSE</name><dialPlan uuid=\"\"/>"
                                                      "<operator>EXISTS</operator></dialPlanTag></addDialPlanTag>");
  EXPECT_EQ(Got("getDialPlanTag", TagElement(tag, "LOOSE", "", "EXISTS", "false")),
            ById("getDialPlanTag", tag));
  const std::string filter = CallForId(
      "addRouteFilter", "<addRouteFilter><rfPtr><name>Loose</name><dialPlan uuid=\"\"/><members/></rfPtr></addRouteFilter>");
  EXPECT_EQ(Got("getRouteFilter", "<routeFilter  uuid=\"" + filter + "\">\r\n" + El("name", "Loose") +
                                      El("clause", "") + Ref("dialPlan", "") +
                                      El("dialPlanWizardGenId", "0") + Members("") + "</routeFilter>\r\n"),
            ByName("getRouteFilter", "Loose"));
}

TEST_F(DialPlanTest, ATagNameInTwoPlansMeansTheTagOfThePlanThatSortsFirst) {
  // Neither the plans' keys nor the order of writing favour "alpha", which sorts first without case.
  const std::string beta = "{00000000-0000-0000-0000-00000000000B}", alpha = "{FFFFFFFF-0000-0000-0000-00000000000A}";
  for (const auto& [id, name] : {std::pair(beta, "Beta"), std::pair(alpha, "alpha")}) {
    Db().Execute("INSERT INTO DialPlan (pkid, Name) VALUES (?, ?)", {id, name});
  }
  const std::string betaTag = AddTag("CODE", "Beta"), alphaTag = AddTag("CODE", "alpha");
  EXPECT_EQ(Got("getDialPlanTag", TagElement(alphaTag, "CODE", alpha, "==", "false")),
            ByName("getDialPlanTag", "code"));
  // A filter without a dial plan takes the same tag for a member named so.
  const std::string filter = CallForId(
      "addRouteFilter", "<addRouteFilter><rfPtr><name>Any</name><dialPlan uuid=\"\"/><members><member priority=\"1\">"
                        "<dialPlanTagName>CODE</dialPlanTagName><operator>EXISTS</operator></member></members>"
                        "</rfPtr></addRouteFilter>");
  EXPECT_NE("", RowId("RouteFilterMember", "fkRouteFilter", filter, "fkDialPlanTag", alphaTag));
  CallForId("removeRouteFilter", "<removeRouteFilter><name>Any</name></removeRouteFilter>");
  EXPECT_EQ(Standard("removeDialPlanTag", alphaTag), ByName("removeDialPlanTag", "CODE"));
  EXPECT_EQ(Standard("removeDialPlanTag", betaTag), ByName("removeDialPlanTag", "CODE"));
}

TEST_F(DialPlanTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPlan("NA");
  AddPlan("EU");
  AddTag("AREA-CODE", "NA");
  auto tag = [](const std::string& inner) { return "<addDialPlanTag><dialPlanTag>" + inner + "</dialPlanTag></addDialPlanTag>"; };
  ExpectAllRefused(zebd_, {
      {"<addDialPlan/>", kUnexpectedNode, "Found NULL, expecting <dialPlan>"},
      {"<addDialPlan><dialPlan><name>na</name></dialPlan></addDialPlan>", 3, "A Dial Plan named \"na\" already exists."},
      {"<updateDialPlan><name>Nope</name></updateDialPlan>", kNotFound, "Dial Plan not found."},
      {"<removeDialPlan><name>Nope</name></removeDialPlan>", kNotFound,
       "The specified dial plan was not found."},
      {"<removeDialPlan><name>NA</name></removeDialPlan>", 4,
       "The Dial Plan \"NA\" cannot be removed because it is still used by Dial Plan Tag \"AREA-CODE\"."},
      {tag("<name>T</name><dialPlan/>"), kInvalidValue,
       "The \"uuid\" attribute of <dialPlan> cannot be NULL."},
      {tag("<name>T</name><dialPlan id=\"1\"/>"), kInvalidValue,
       "The element, <dialPlan>, must contain a \"uuid\" attribute."},
      // A namespace declaration is one of the element's attributes.
      {tag("<name>T</name><dialPlan xmlns:q=\"urn:x\"/>"), kInvalidValue,
       "The element, <dialPlan>, must contain a \"uuid\" attribute."},
      {tag("<name>T</name><dialPlanName>Nope</dialPlanName>"), kNotFound, "Dial Plan not found."},
      {tag("<name>area-code</name><dialPlanName>NA</dialPlanName><operator>==</operator>"), 3,
       "The dial plan tag area-code already exists in this dial plan."},
      {"<updateDialPlanTag><name>Nope</name></updateDialPlanTag>", kNotFound, "Dial Plan Tag not found."},
      {"<updateDialPlanTag><name>AREA-CODE</name><dialPlanName>EU</dialPlanName></updateDialPlanTag>",
       kUnexpectedNode, "<dialPlanName> is not a valid element of this request type."},
      {"<removeDialPlanTag><name>Nope</name></removeDialPlanTag>", kNotFound,
       "The specified dial plan tag was not found."},
  });
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
           "\">\r\n" + El("priority", priority) + Ref("dialPlanTag", tag) + El("digits", digits) + El("operator", op) +
           "</member>\r\n";
  }
  std::string FilterElement(const std::string& id, const std::string& name, const std::string& clause,
                            const std::string& members) {
    return "<routeFilter  uuid=\"" + id + "\">\r\n" + El("name", name) + El("clause", clause) + Ref("dialPlan", plan_) +
           El("dialPlanWizardGenId", "0") + Members(members) + "</routeFilter>\r\n";
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
  EXPECT_EQ(Got("getRouteFilter", FilterElement(filter, "Local", "(AREA-CODE == 214)", members)),
            ByName("getRouteFilter", "local"));

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
            ById("getRouteFilter", filter));

  EXPECT_EQ(Standard("updateRouteFilter", filter),
            Call("<updateRouteFilter><name>Metro</name><members>" + MemberRequest("3", "AREA-CODE", "", "DOES-NOT-EXIST") +
                 MemberRequest("1", "OFFICE", "", "EXISTS") + "</members></updateRouteFilter>"));
  EXPECT_EQ(
      Got("getRouteFilter", FilterElement(filter, "Metro", "(OFFICE EXISTS) OR (AREA-CODE DOES-NOT-EXIST)",
                                          FilterMember(filter, office_, "1", "", "EXISTS") +
                                              FilterMember(filter, area_, "3", "", "DOES-NOT-EXIST"))),
      ByName("getRouteFilter", "Metro"));

  EXPECT_EQ(Standard("removeRouteFilter", filter), ByName("removeRouteFilter", "Metro"));
  EXPECT_EQ(0, CountRows("RouteFilterMember"));
}

TEST_F(RouteFilterTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string used = CallForId("addRouteFilter", "<addRouteFilter><rfPtr><name>Used</name><dialPlanName>NA"
                                                       "</dialPlanName><members>" +
                                                           MemberRequest("1", "AREA-CODE", "1", "==") +
                                                           "</members></rfPtr></addRouteFilter>");
  // A route pattern that uses the filter, written where the API cannot write it yet.
  Db().Execute("INSERT INTO NumPlan (pkid, DNOrPattern, tkPatternUsage, fkRouteFilter) VALUES (?, '9.@', 5, ?)",
               {zdl::CZDLID::New(), zdl::CZDLID(used)});
  auto add = [](const std::string& inner) { return "<addRouteFilter><rfPtr>" + inner + "</rfPtr></addRouteFilter>"; };
  const std::string head = "<name>N</name><dialPlanName>NA</dialPlanName><members>";
  auto member = [&](const std::string& inner) { return add(head + "<member priority=\"1\">" + inner + "</member></members>"); };
  ExpectAllRefused(zebd_, {
      {"<addRouteFilter/>", kUnexpectedNode, "Found NULL, expecting <rfPtr>"},
      {add("<name>N</name><dialPlanName>Nope</dialPlanName>"), kNotFound,
       "The specified Dial Plan was not found."},
      {member("<dialPlanTagName>Nope</dialPlanTagName>"), kNotFound,
       "The specified Dial Plan Tag was not found."},
      {member("<dialPlanTag uuid=\"" + area_ + "\"/><operator>EXISTS</operator><extra/>"), kUnexpectedNode,
       "Found <extra>, expecting no more elements."},
      {add("<name>used</name><dialPlanName>NA</dialPlanName><members/>"), 3,
       "A Route Filter named \"used\" already exists."},
      {"<updateRouteFilter><name>Nope</name></updateRouteFilter>", kNotFound, "Route Filter not found."},
      {"<removeRouteFilter><name>Nope</name></removeRouteFilter>", kNotFound,
       "The specified Route Filter was not found."},
      {"<removeRouteFilter><name>Used</name></removeRouteFilter>", 4,
       "The Route Filter \"Used\" cannot be removed because it is still used by Number Plan entry \"9.@\"."},
      {"<removeDialPlanTag><uuid>" + area_ + "</uuid></removeDialPlanTag>", 4,
       "The Dial Plan Tag \"AREA-CODE\" cannot be removed because it is still used by a Route Filter member "
       "of Route Filter \"Used\"."},
  });
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
    return "<ddi  uuid=\"" + id + "\">\r\n" + El("name", name) + El("clause", clause) + El("dialPlanName", planName) +
           Ref("dialPlan", plan) + El("digitAnalysisId", "0") + Members(members) + "</ddi>\r\n";
  }
  static std::string DdiMember(const std::string& tag) {
    return "<member>\r\n" + Ref("dialPlanTag", tag) + "</member>\r\n";
  }

  static constexpr char kWrongPlan[] =
      "Invalid Dial Plan Tag.  The Dial Plan Tag used must contain a reference to the same Dial Plan specified for "
      "this Digit Discard Instruction.";
  std::string na_, eu_, access_, code_, euCode_;
};

TEST_F(DDITest, MembersRoundTripAndStayWithinTheDialPlan) {
  const std::string ddi = CallForId(
      "addDDI", "<addDDI><ddi><name>Intl</name><clause>x</clause><dialPlanName>NA</dialPlanName>"
                "<digitAnalysisId>7</digitAnalysisId><members><member><dialPlanTagName>code</dialPlanTagName></member>"
                "<member><dialPlanTag uuid=\"" + access_ + "\"/></member></members></ddi></addDDI>");
  EXPECT_EQ(
      Got("getDDI", DdiElement(ddi, "Intl", "ACCESS CODE", "NA", na_, DdiMember(access_) + DdiMember(code_))),
      ByName("getDDI", "INTL"));

  // Moving the instruction to another plan needs members of that plan.
  ExpectRefused("<updateDDI><name>Intl</name><dialPlanName>EU</dialPlanName></updateDDI>", "updateDDI", kInvalidValue,
                kWrongPlan);
  EXPECT_EQ(Standard("updateDDI", ddi),
            Call("<updateDDI><uuid>" + ddi + "</uuid><newName>World</newName><dialPlanId>" + eu_ +
                 "</dialPlanId><members><member><dialPlanTagName>CODE</dialPlanTagName></member></members></updateDDI>"));
  EXPECT_EQ(Got("getDDI", DdiElement(ddi, "World", "CODE", "EU", eu_, DdiMember(euCode_))),
            ById("getDDI", ddi));

  EXPECT_EQ(Standard("removeDDI", ddi), ById("removeDDI", ddi));
  EXPECT_EQ(0, CountRows("DigitDiscardInstructionMember"));
  EXPECT_EQ(Response("getDDI", "<return>\r\n</return>\r\n"), ById("getDDI", ddi));
}

TEST_F(DDITest, RefusalsNameTheProblemAndChangeNothing) {
  CallForId("addDDI", "<addDDI><ddi><name>Used</name><dialPlan uuid=\"" + na_ +
                          "\"/><members><member><dialPlanTagName>ACCESS</dialPlanTagName></member></members></ddi>"
                          "</addDDI>");
  auto add = [](const std::string& inner) { return "<addDDI><ddi>" + inner + "</ddi></addDDI>"; };
  auto member = [&](const std::string& inner) {
    return add("<name>N</name><dialPlanName>NA</dialPlanName><members><member>" + inner + "</member></members>");
  };
  ExpectAllRefused(zebd_, {
      {add("<name>N</name><dialPlanName>Nope</dialPlanName>"), kNotFound, "Dial Plan not found."},
      {member("<dialPlanTag uuid=\"" + euCode_ + "\"/>"), kInvalidValue, kWrongPlan},
      {add("<name>used</name><dialPlanName>NA</dialPlanName>"), 3,
       "A Digit Discard Instruction named \"used\" already exists."},
      {"<updateDDI><name>Nope</name></updateDDI>", kNotFound, "Digit Discard Instruction not found."},
      {"<updateDDI><name>Used</name><members><member><dialPlanTag uuid=\"" + euCode_ +
       "\"/></member></members></updateDDI>",
       kInvalidValue, kWrongPlan},
      {"<updateDDI><name>Used</name><clause/></updateDDI>", kUnexpectedNode,
       "<clause> is not a valid element of this request type."},
      {"<removeDDI><name>Nope</name></removeDDI>", kNotFound,
       "The specified Digit Discard Instruction was not found."},
      {"<removeDialPlanTag><name>ACCESS</name></removeDialPlanTag>", 4,
       "The Dial Plan Tag \"ACCESS\" cannot be removed because it is still used by a Digit Discard "
       "Instruction member of Digit Discard Instruction \"Used\"."},
  });
}

}  // namespace
}  // namespace zeb::test
