// Route partitions and calling search spaces through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

class RoutePartitionTest : public RoutingTest {};

TEST_F(RoutePartitionTest, AddGetUpdateRemoveRoundTrip) {
  const std::string id = AddPartition("Internal", "Staff &amp; \"guests\" &lt;x&gt;");
  EXPECT_EQ(Got("getRoutePartition", PartitionElement(id, "Internal", "Staff &amp; &quot;guests&quot; &lt;x&gt;")),
            Call("<getRoutePartition><partitionName>internal</partitionName></getRoutePartition>"));
  EXPECT_EQ(Standard("updateRoutePartition", id),
            Call("<updateRoutePartition><uuid>" + id + "</uuid><newName>Inside Calls</newName><description/>"
                 "<dialPlanWizardGenId>7</dialPlanWizardGenId></updateRoutePartition>"));
  EXPECT_EQ(Got("getRoutePartition", PartitionElement(id, "Inside Calls", "")),
            Call("<getRoutePartition><partitionId>" + id + "</partitionId></getRoutePartition>"));
  EXPECT_EQ(Standard("removeRoutePartition", id),
            Call("<removeRoutePartition><partitionName>Inside Calls</partitionName></removeRoutePartition>"));
  // By identifier a partition that does not exist is an empty return.
  EXPECT_EQ(Response("getRoutePartition", "<return>\r\n</return>\r\n"),
            Call("<getRoutePartition><partitionId>" + id + "</partitionId></getRoutePartition>"));
}

TEST_F(RoutePartitionTest, PrefixesSequenceAndWhitespaceAreHandled) {
  const std::string id = CallForId("addRoutePartition",
                                   "<zeb:addRoutePartition>\n  <!-- new one -->\n  <zeb:x>\n    <zeb:name> two  blanks "
                                   "</zeb:name>\n  </zeb:x>\n</zeb:addRoutePartition>",
                                   kLenient);
  EXPECT_EQ(Got("getRoutePartition", PartitionElement(id, " two  blanks ", ""), "42"),
            Call("<zeb:getRoutePartition sequence=\"42\"><zeb:partitionId>" + id +
                 "</zeb:partitionId></zeb:getRoutePartition>"));
}

TEST_F(RoutePartitionTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPartition("Used");
  AddPartition("Other");
  AddPartition("a]]&gt;b");
  AddCSS("Lobby", "Used");
  ExpectAllRefused(zebd_, {
      {"<addRoutePartition/>", kUnexpectedNode, "Found NULL, expecting <newRoutePartition>"},
      {"<addRoutePartition><newRoutePartition><description>only</description></newRoutePartition></addRoutePartition>", 6,
       "The Route Partition cannot be written without a value for Name."},
      {"<addRoutePartition><newRoutePartition><name>USED</name></newRoutePartition></addRoutePartition>", 3,
       "A Route Partition named \"USED\" already exists."},
      // The fault quotes the name in a CDATA section, which "]]>" would end early: it is split there.
      {"<addRoutePartition><newRoutePartition><name>a]]&gt;b</name></newRoutePartition></addRoutePartition>", 3,
       "A Route Partition named \"a]]]]><![CDATA[>b\" already exists."},
      {"<updateRoutePartition><name>Nope</name></updateRoutePartition>", kNotFound, "Route Partition not found."},
      {"<updateRoutePartition><name>Used</name><description>d</description><extra/></updateRoutePartition>",
       kUnexpectedNode, "<extra> is not a valid element of this request type."},
      {"<removeRoutePartition><partitionName>Nope</partitionName></removeRoutePartition>", kNotFound,
       "The specified route partition was not found."},
      {"<removeRoutePartition><partitionName>Used</partitionName></removeRoutePartition>", 4,
       "The Route Partition \"Used\" cannot be removed because it is still used by a Calling Search Space member "
       "of Calling Search Space \"Lobby\"."},
      {"<getRoutePartition><partitionId>not-a-guid</partitionId></getRoutePartition>", 8,
       "Invalid identifier: \"not-a-guid\". An identifier is a GUID in braces, for example "
       "{00000000-1111-0000-0000-000000000000}."},
  });
}

class CallingSearchSpaceTest : public RoutePartitionTest {};

// The clause names the member partitions in member order and follows members and partition names.
TEST_F(CallingSearchSpaceTest, MembersKeepTheirOrderAndAreReplacedAsAWhole) {
  const std::string p2 = AddPartition("P2"), p3 = AddPartition("P3");
  AddPartition("P1");
  const std::string css = CallForId(
      "addCSS", "<addCSS><newCSS><name>Lobby</name><description>Front desk</description><clause>ignored</clause>"
                "<dialPlanWizardGenId>3</dialPlanWizardGenId><members>"
                "<member index=\"2\"><routePartition uuid=\"" + p2 + "\"/></member>"
                "<member index=\"1\"><routePartitionName>p1</routePartitionName></member>"
                "<member index=\"3abc\"><routePartitionName>P3</routePartitionName></member>"
                "</members></newCSS></addCSS>",
      kLenient);
  EXPECT_EQ(Got("getCSS", CssElement(css, "Lobby", "Front desk", "P1:P2:P3",
                                     CssMember(2, "P2") + CssMember(1, "P1") + CssMember(3, "P3"))),
            Call("<getCSS><name>LOBBY</name></getCSS>"));
  EXPECT_EQ(Standard("updateCSS", css),
            Call("<updateCSS><name>Lobby</name><newName>Hall</newName><members><member index=\"5\">"
                 "<routePartitionName>P3</routePartitionName></member><member index=\"4\"><routePartitionName>P1"
                 "</routePartitionName></member></members></updateCSS>"));
  EXPECT_EQ(Got("getCSS", CssElement(css, "Hall", "Front desk", "P1:P3", CssMember(5, "P3") + CssMember(4, "P1"))),
            Call("<getCSS><uuid>" + css + "</uuid></getCSS>"));
  EXPECT_EQ(Standard("updateRoutePartition", p3),
            Call("<updateRoutePartition><name>P3</name><newName>Back</newName></updateRoutePartition>"));
  EXPECT_EQ(Standard("updateCSS", css), Call("<updateCSS><uuid>" + css + "</uuid><description/></updateCSS>"));
  EXPECT_EQ(Got("getCSS", CssElement(css, "Hall", "", "P1:Back", CssMember(5, "Back") + CssMember(4, "P1"))),
            Call("<getCSS><uuid>" + css + "</uuid></getCSS>"));
  EXPECT_EQ(Standard("removeCSS", css), Call("<removeCSS><name>Hall</name></removeCSS>"));
  EXPECT_EQ(Standard("removeRoutePartition", p3),
            Call("<removeRoutePartition><partitionId>" + p3 + "</partitionId></removeRoutePartition>"));
  // Empty members write the search space alone.
  const std::string empty = AddCSS("Empty");
  EXPECT_EQ(Got("getCSS", CssElement(empty, "Empty", "", "", "")), Call("<getCSS><name>Empty</name></getCSS>"));
}

TEST_F(CallingSearchSpaceTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPartition("P1");
  AddCSS("Taken");
  const std::string member = "<member index=\"1\"><routePartitionName>P1</routePartitionName></member>";
  auto add = [](const std::string& inner) { return "<addCSS><newCSS><name>N</name>" + inner + "</newCSS></addCSS>"; };
  auto withMember = [&](const std::string& inner) {
    return add("<members><member index=\"1\">" + inner + "</member></members>");
  };
  ExpectAllRefused(zebd_, {
      {"<addCSS/>", kUnexpectedNode, "Found NULL, expecting <newCSS>"},
      {add("<clause/>"), kUnexpectedNode, "NULL element found. Expecting <dialPlanWizardGenId> or <members>"},
      {withMember("<routePartitionName>Nope</routePartitionName>"), kNotFound,
       "The specified route partition was not found."},
      {withMember("<routePartitionId>x</routePartitionId>"), kUnexpectedNode,
       "Deprecated element. Please use <routePartition> or <routePartitionName."},
      // A member naming a partition that does not exist leaves no calling search space behind.
      {withMember("<routePartition uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"), 5,
       "The Route Partition {00000000-0000-0000-0000-00000000DEAD} referred to by this Calling Search Space member "
       "does not exist."},
      {"<addCSS><newCSS><name>taken</name><members/></newCSS></addCSS>", 3,
       "A Calling Search Space named \"taken\" already exists."},
      {"<updateCSS><name>Nope</name></updateCSS>", kNotFound, "Calling search space not found."},
      {"<updateCSS><name>Taken</name><members>" + member + "</members><clause/></updateCSS>", kUnexpectedNode,
       "<clause> is not a valid element of this request type."},
      {"<removeCSS><name>Nope</name></removeCSS>", kNotFound, "The specified calling search space was not found."},
  });
}

}  // namespace
}  // namespace zeb::test
