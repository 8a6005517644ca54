// Route partitions and calling search spaces through real HTTP.
#include "e2e/ZebdTest.h"

namespace zeb::test {
namespace {

class RoutePartitionTest : public ZebdTest {
 protected:
  std::string AddPartition(const std::string& name, const std::string& description = "") {
    return CallForId("addRoutePartition", "<addRoutePartition><newRoutePartition><name>" + name + "</name>" +
                                              (description.empty() ? "" : "<description>" + description + "</description>") +
                                              "</newRoutePartition></addRoutePartition>");
  }
  std::string PartitionElement(const std::string& id, const std::string& name, const std::string& description) {
    return "<routePartition  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<description>" + description +
           "</description>\r\n<dialPlanWizardGenId>0</dialPlanWizardGenId>\r\n</routePartition>\r\n";
  }
  std::string GetPartition(const std::string& name) {
    return Call("<getRoutePartition><partitionName>" + name + "</partitionName></getRoutePartition>");
  }
};

TEST_F(RoutePartitionTest, AddGetUpdateRemoveRoundTrip) {
  const std::string id = AddPartition("Internal", "Staff &amp; \"guests\" &lt;x&gt;");
  EXPECT_EQ(Response("getRoutePartition",
                     "<return>\r\n" + PartitionElement(id, "Internal", "Staff &amp; &quot;guests&quot; &lt;x&gt;") +
                         "</return>\r\n"),
            GetPartition("internal"));
  EXPECT_EQ(Standard("updateRoutePartition", id),
            Call("<updateRoutePartition><uuid>" + id + "</uuid><newName>Inside Calls</newName><description/>"
                 "<dialPlanWizardGenId>7</dialPlanWizardGenId></updateRoutePartition>"));
  EXPECT_EQ(Response("getRoutePartition", "<return>\r\n" + PartitionElement(id, "Inside Calls", "") + "</return>\r\n"),
            Call("<getRoutePartition><partitionId>" + id + "</partitionId></getRoutePartition>"));
  EXPECT_EQ(Standard("removeRoutePartition", id),
            Call("<removeRoutePartition><partitionName>Inside Calls</partitionName></removeRoutePartition>"));
  EXPECT_EQ(Fault("getRoutePartition", kNotFound, "The specified route partition was not found."),
            GetPartition("Inside Calls"));
}

TEST_F(RoutePartitionTest, PrefixesSequenceAndWhitespaceAreHandled) {
  const std::string id = CallForId("addRoutePartition",
                                   "<zeb:addRoutePartition>\n  <!-- new one -->\n  <zeb:x>\n    <zeb:name> two  blanks "
                                   "</zeb:name>\n  </zeb:x>\n</zeb:addRoutePartition>",
                                   kLenient);
  EXPECT_EQ(Response("getRoutePartition", "<return>\r\n" + PartitionElement(id, " two  blanks ", "") + "</return>\r\n",
                     "42"),
            Call("<zeb:getRoutePartition sequence=\"42\"><zeb:partitionId>" + id +
                 "</zeb:partitionId></zeb:getRoutePartition>"));
}

TEST_F(RoutePartitionTest, AddWithoutNameIsRefusedByTheLibrary) {
  ExpectRefused("<addRoutePartition><newRoutePartition><description>only</description></newRoutePartition></addRoutePartition>", "addRoutePartition",
                6, "The Route Partition cannot be written without a value for Name.");
}

// The fault quotes the name in a CDATA section, which "]]>" would end early: it is split there.
TEST_F(RoutePartitionTest, DuplicateNameHoldingTheEndOfCDataGetsAWellFormedFault) {
  AddPartition("a]]&gt;b");
  ExpectRefused("<addRoutePartition><newRoutePartition><name>a]]&gt;b</name></newRoutePartition></addRoutePartition>",
                "addRoutePartition", 3, "A Route Partition named \"a]]]]><![CDATA[>b\" already exists.");
}

TEST_F(RoutePartitionTest, GetByUnknownIdAnswersAnEmptyReturn) {
  EXPECT_EQ(Response("getRoutePartition", "<return></return>\r\n"),
            Call("<getRoutePartition><partitionId>{00000000-0000-0000-0000-00000000ABCD}</partitionId>"
                 "</getRoutePartition>"));
}

TEST_F(RoutePartitionTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPartition("Used");
  AddPartition("Other");
  CallForId("addCSS", "<addCSS><newCSS><name>Lobby</name><members><member index=\"1\"><routePartitionName>Used"
                      "</routePartitionName></member></members></newCSS></addCSS>");
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addRoutePartition/>", "addRoutePartition", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <newRoutePartition>"},
      {"<addRoutePartition><p/></addRoutePartition>", "addRoutePartition", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name>"},
      {"<addRoutePartition><newRoutePartition><name/></newRoutePartition></addRoutePartition>", "addRoutePartition", kInvalidValue,
       "The element, <name>, must contain a value."},
      {"<addRoutePartition><newRoutePartition><name>USED</name></newRoutePartition></addRoutePartition>", "addRoutePartition", 3,
       "A Route Partition named \"USED\" already exists."},
      {"<updateRoutePartition/>", "updateRoutePartition", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateRoutePartition><zeb:id>x</zeb:id></updateRoutePartition>", "updateRoutePartition", kUnexpectedNode,
       "Unexpected element. Found <zeb:id>, expecting <uuid> or <name>."},
      {"<updateRoutePartition><name/></updateRoutePartition>", "updateRoutePartition", kInvalidValue,
       "The element, <name>, must have a value."},
      {"<updateRoutePartition><uuid/></updateRoutePartition>", "updateRoutePartition", kInvalidValue,
       "The element, <uuid>, must have a value."},
      {"<updateRoutePartition><name>Nope</name></updateRoutePartition>", "updateRoutePartition", kNotFound,
       "Route Partition not found."},
      {"<updateRoutePartition><name>Used</name><newName/></updateRoutePartition>", "updateRoutePartition",
       kInvalidValue, "The element, <newName>, must contain a value."},
      {"<updateRoutePartition><name>Used</name><newName>other</newName></updateRoutePartition>",
       "updateRoutePartition", 3, "A Route Partition named \"other\" already exists."},
      {"<updateRoutePartition><name>Used</name><description>d</description><extra/></updateRoutePartition>",
       "updateRoutePartition", kUnexpectedNode,
       "Unexpected element. <extra> is not a valid element of this request type."},
      {"<removeRoutePartition/>", "removeRoutePartition", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <partitionId> or <partitionName>"},
      {"<removeRoutePartition><name>Used</name></removeRoutePartition>", "removeRoutePartition", kUnexpectedNode,
       "Unexpected element. Found <name>, expecting <partitionId> or <partitionName>."},
      {"<removeRoutePartition><partitionName/></removeRoutePartition>", "removeRoutePartition", kInvalidValue,
       "The element, <partitionName>, must have a value."},
      {"<removeRoutePartition><partitionId/></removeRoutePartition>", "removeRoutePartition", kInvalidValue,
       "The element, <partitionId>, must have a value."},
      {"<removeRoutePartition><partitionName>Nope</partitionName></removeRoutePartition>", "removeRoutePartition",
       kNotFound, "The specified route partition was not found."},
      {"<removeRoutePartition><partitionName>Used</partitionName></removeRoutePartition>", "removeRoutePartition", 4,
       "The Route Partition \"Used\" cannot be removed because it is still used by a Calling Search Space member "
       "of Calling Search Space \"Lobby\"."},
      {"<getRoutePartition><partitionName/></getRoutePartition>", "getRoutePartition", kInvalidValue,
       "The element, <partitionName>, must contain a value."},
      {"<getRoutePartition><partitionId/></getRoutePartition>", "getRoutePartition", kInvalidValue,
       "The element, <partitionId>, must have a value."},
      {"<getRoutePartition><partitionId>not-a-guid</partitionId></getRoutePartition>", "getRoutePartition", 8,
       "Invalid identifier: \"not-a-guid\". An identifier is a GUID in braces, for example "
       "{00000000-1111-0000-0000-000000000000}."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

class CallingSearchSpaceTest : public RoutePartitionTest {
 protected:
  std::string Member(int index, const std::string& name) {
    return "<member  index=\"" + std::to_string(index) + "\">\r\n<routePartitionName>" + name +
           "</routePartitionName>\r\n</member>\r\n";
  }
  std::string CssElement(const std::string& id, const std::string& name, const std::string& description,
                         const std::string& clause, const std::string& members) {
    return "<callingSearchSpace  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<description>" + description +
           "</description>\r\n<clause>" + clause + "</clause>\r\n<dialPlanWizardGenID>0</dialPlanWizardGenID>\r\n" +
           (members.empty() ? "<members></members>\r\n" : "<members>\r\n" + members + "</members>\r\n") +
           "</callingSearchSpace>\r\n";
  }
};

// The clause names the member partitions in member order and follows members and partition names.
TEST_F(CallingSearchSpaceTest, MembersKeepTheirOrderAndAreReplacedAsAWhole) {
  const std::string p1 = AddPartition("P1"), p2 = AddPartition("P2"), p3 = AddPartition("P3");
  const std::string css = CallForId(
      "addCSS", "<addCSS><newCSS><name>Lobby</name><description>Front desk</description><clause>ignored</clause>"
                "<dialPlanWizardGenId>3</dialPlanWizardGenId><members>"
                "<member index=\"2\"><routePartition uuid=\"" + p2 + "\"/></member>"
                "<member index=\"1\"><routePartitionName>p1</routePartitionName></member>"
                "<member index=\"3abc\"><routePartitionName>P3</routePartitionName></member>"
                "</members></newCSS></addCSS>",
      kLenient);
  EXPECT_EQ(Response("getCSS", "<return>\r\n" +
                                   CssElement(css, "Lobby", "Front desk", "P1:P2:P3",
                                              Member(2, "P2") + Member(1, "P1") + Member(3, "P3")) +
                                   "</return>\r\n"),
            Call("<getCSS><name>LOBBY</name></getCSS>"));
  EXPECT_EQ(Standard("updateCSS", css),
            Call("<updateCSS><name>Lobby</name><newName>Hall</newName><members><member index=\"5\">"
                 "<routePartitionName>P3</routePartitionName></member><member index=\"4\"><routePartitionName>P1"
                 "</routePartitionName></member></members></updateCSS>"));
  EXPECT_EQ(Response("getCSS", "<return>\r\n" +
                                   CssElement(css, "Hall", "Front desk", "P1:P3", Member(5, "P3") + Member(4, "P1")) +
                                   "</return>\r\n"),
            Call("<getCSS><uuid>" + css + "</uuid></getCSS>"));
  EXPECT_EQ(Standard("updateRoutePartition", p3),
            Call("<updateRoutePartition><name>P3</name><newName>Back</newName></updateRoutePartition>"));
  EXPECT_EQ(Standard("updateCSS", css), Call("<updateCSS><uuid>" + css + "</uuid><description/></updateCSS>"));
  EXPECT_EQ(Response("getCSS", "<return>\r\n" +
                                   CssElement(css, "Hall", "", "P1:Back", Member(5, "Back") + Member(4, "P1")) +
                                   "</return>\r\n"),
            Call("<getCSS><uuid>" + css + "</uuid></getCSS>"));
  EXPECT_EQ(Standard("removeCSS", css), Call("<removeCSS><name>Hall</name></removeCSS>"));
  EXPECT_EQ(Standard("removeRoutePartition", p3),
            Call("<removeRoutePartition><partitionId>" + p3 + "</partitionId></removeRoutePartition>"));
  (void)p1;
}

TEST_F(CallingSearchSpaceTest, EmptyMembersWritesTheSearchSpaceAlone) {
  const std::string css =
      CallForId("addCSS", "<addCSS><newCSS><name>Empty</name><members/></newCSS></addCSS>");
  EXPECT_EQ(Response("getCSS", "<return>\r\n" + CssElement(css, "Empty", "", "", "") + "</return>\r\n"),
            Call("<getCSS><name>Empty</name></getCSS>"));
}

TEST_F(CallingSearchSpaceTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPartition("P1");
  CallForId("addCSS", "<addCSS><newCSS><name>Taken</name><members/></newCSS></addCSS>");
  const std::string member = "<member index=\"1\"><routePartitionName>P1</routePartitionName></member>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addCSS/>", "addCSS", kUnexpectedNode, "Unexpected element. Found NULL, expecting <newCSS>"},
      {"<addCSS><c/></addCSS>", "addCSS", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {"<addCSS><newCSS><description/></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. Found <description>, expecting <name>."},
      {"<addCSS><newCSS><name/></newCSS></addCSS>", "addCSS", kInvalidValue, "The element, <name>, must contain a value."},
      {"<addCSS><newCSS><name>N</name></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {"<addCSS><newCSS><name>N</name><clause/></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dialPlanWizardGenId> or <members>"},
      {"<addCSS><newCSS><name>N</name><dialPlanWizardGenId/></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <members>"},
      {"<addCSS><newCSS><name>N</name><other/></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. Found <other>, expecting <members>."},
      {"<addCSS><newCSS><name>N</name><members><m/></members></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. Found <m>, expecting <member>."},
      {"<addCSS><newCSS><name>N</name><members><member/></members></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. No \"index\" attribute found in <member>."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"/></members></newCSS></addCSS>", "addCSS", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <routePartitionName> or <routePartitionId>."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><routePartitionName/></member></members></newCSS></addCSS>",
       "addCSS", kInvalidValue, "The element, <routePartitionName>, must contain a value."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><routePartitionName>Nope</routePartitionName>"
       "</member></members></newCSS></addCSS>",
       "addCSS", kNotFound, "The specified route partition was not found."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><routePartition/></member></members></newCSS></addCSS>",
       "addCSS", kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <routePartition>."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><routePartitionId>x</routePartitionId></member>"
       "</members></newCSS></addCSS>",
       "addCSS", kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <routePartition> or <routePartitionName."},
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><x/></member></members></newCSS></addCSS>", "addCSS",
       kUnexpectedNode, "Unexpected element. Found <x>, expecting <routePartitionName> or <routePartitionId>."},
      // A member naming a partition that does not exist leaves no calling search space behind.
      {"<addCSS><newCSS><name>N</name><members><member index=\"1\"><routePartition "
       "uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/></member></members></newCSS></addCSS>",
       "addCSS", 5,
       "The Route Partition {00000000-0000-0000-0000-00000000DEAD} referred to by this Calling Search Space member "
       "does not exist."},
      {"<addCSS><newCSS><name>taken</name><members/></newCSS></addCSS>", "addCSS", 3,
       "A Calling Search Space named \"taken\" already exists."},
      {"<updateCSS/>", "updateCSS", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateCSS><name>Nope</name></updateCSS>", "updateCSS", kNotFound, "Calling search space not found."},
      {"<updateCSS><name>Taken</name><newName/></updateCSS>", "updateCSS", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateCSS><name>Taken</name><members>" + member + "</members><clause/></updateCSS>", "updateCSS",
       kUnexpectedNode, "Unexpected element. <clause> is not a valid element of this request type."},
      {"<removeCSS/>", "removeCSS", kUnexpectedNode, "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<removeCSS><name/></removeCSS>", "removeCSS", kInvalidValue, "The element, <name>, must have a value."},
      {"<removeCSS><name>Nope</name></removeCSS>", "removeCSS", kNotFound,
       "The specified calling search space was not found."},
      {"<getCSS><name/></getCSS>", "getCSS", kInvalidValue, "The element, <name>, must contain a value."},
      {"<getCSS><uuid/></getCSS>", "getCSS", kInvalidValue, "The element, <uuid>, must have a value."},
      {"<getCSS><id/></getCSS>", "getCSS", kUnexpectedNode, "Unexpected element. Found <id>, expecting <uuid> or <name>."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
