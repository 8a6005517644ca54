// Route groups and route lists through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

class RouteGroupTest : public RoutingTest {
 protected:
  std::string AddGroup(const std::string& name, const std::string& members,
                       RequestCheck check = RequestCheck::kSchema) {
    return CallForId("addRouteGroup",
                     "<addRouteGroup><routeGroup><name>" + name + "</name><members>" + members +
                         "</members></routeGroup></addRouteGroup>",
                     check);
  }
  static std::string MemberRequest(const std::string& port, const std::string& order, const std::string& device) {
    return "<member port=\"" + port + "\"><deviceSelectionOrder>" + order +
           "</deviceSelectionOrder><dialPlanWizardGenId>1</dialPlanWizardGenId>" + device + "</member>";
  }
  std::string GroupMember(const std::string& group, const std::string& device, const std::string& port,
                          const std::string& order) {
    return "<member  uuid=\"" + RowId("RouteGroupDeviceMap", "fkRouteGroup", group, "fkDevice", device) +
           "\" port=\"" + port + "\">\r\n" + El("deviceSelectionOrder", order) + El("dialPlanWizardGenId", "0") +
           Ref("device", device) + "</member>\r\n";
  }
  static std::string GroupElement(const std::string& id, const std::string& name, const std::string& members) {
    return "<routeGroup  uuid=\"" + id + "\">\r\n" + El("name", name) + El("dialPlanWizardGenId", "0") +
           Members(members) + "</routeGroup>\r\n";
  }
};

TEST_F(RouteGroupTest, MembersKeepPortsAndOrderAndAreReplacedOnUpdate) {
  const std::string gw1 = InsertDevice("GW1"), gw2 = InsertDevice("GW2"), gw3 = InsertDevice("GW3");
  const std::string group = AddGroup(
      "Trunks", MemberRequest("2", "20", "<device uuid=\"" + gw2 + "\"/>") +
                    MemberRequest("abc", "10", "<deviceName>gw1</deviceName>"),
      kLenient);
  EXPECT_EQ(Got("getRouteGroup", GroupElement(group, "Trunks", GroupMember(group, gw1, "0", "10") +
                                                                                 GroupMember(group, gw2, "2", "20"))),
            Call("<getRouteGroup><name>TRUNKS</name></getRouteGroup>"));

  EXPECT_EQ(Standard("updateRouteGroup", group),
            Call("<updateRouteGroup><uuid>" + group + "</uuid><newName>Outside</newName><members>" +
                 MemberRequest("-3", "7", "<deviceName>GW3</deviceName>") + "</members></updateRouteGroup>"));
  EXPECT_EQ(Got("getRouteGroup", GroupElement(group, "Outside", GroupMember(group, gw3, "-3", "7"))),
            Call("<getRouteGroup><uuid>" + group + "</uuid></getRouteGroup>"));

  // Without members the members stay; an empty members element empties the group.
  EXPECT_EQ(Standard("updateRouteGroup", group),
            Call("<updateRouteGroup><name>Outside</name><newName>Out</newName></updateRouteGroup>"));
  EXPECT_EQ(1, CountRows("RouteGroupDeviceMap"));
  EXPECT_EQ(Standard("updateRouteGroup", group), Call("<updateRouteGroup><name>Out</name><members/></updateRouteGroup>"));
  EXPECT_EQ(Got("getRouteGroup", GroupElement(group, "Out", ""), "9"),
            Call("<zeb:getRouteGroup sequence=\"9\"><zeb:name>Out</zeb:name></zeb:getRouteGroup>"));

  EXPECT_EQ(Standard("updateRouteGroup", group),
            Call("<updateRouteGroup><name>Out</name><members>" + MemberRequest("1", "1", "<deviceName>GW1</deviceName>") +
                 "</members></updateRouteGroup>"));
  // The group's members go with it.
  EXPECT_EQ(Standard("removeRouteGroup", group), Call("<removeRouteGroup><uuid>" + group + "</uuid></removeRouteGroup>"));
  EXPECT_EQ(0, CountRows("RouteGroupDeviceMap"));
  EXPECT_EQ(Fault("getRouteGroup", kNotFound, "The specified route group was not found."),
            Call("<getRouteGroup><name>Out</name></getRouteGroup>"));
}

TEST_F(RouteGroupTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string gw = InsertDevice("GW1");
  AddGroup("Taken", "");
  const std::string ok = MemberRequest("1", "1", "<deviceName>GW1</deviceName>");
  auto add = [](const std::string& inner) { return "<addRouteGroup><routeGroup>" + inner + "</routeGroup></addRouteGroup>"; };
  auto addMembers = [&](const std::string& members) {
    return add("<name>N</name><members>" + members + "</members>");
  };
  ExpectAllRefused(zebd_, {
      {"<addRouteGroup/>", kUnexpectedNode, "Found NULL, expecting <routeGroup>"},
      // The group is written before its members are read: a taken name is reported first.
      {add("<name>taken</name><x/>"), 3, "A Route Group named \"taken\" already exists."},
      {addMembers(ok + MemberRequest("1", "1", "<deviceName>Nope</deviceName>")), kNotFound,
       "Device not found."},
      {addMembers(MemberRequest("1", "1", "<deviceId>" + gw + "</deviceId>")), kUnexpectedNode,
       "Deprecated element <deviceId>. Please use <device> or <deviceName."},
      {"<updateRouteGroup><name>Nope</name></updateRouteGroup>", kNotFound, "Route Group not found."},
      {"<updateRouteGroup><name>Taken</name><members>" + ok + "</members><description/></updateRouteGroup>",
       kUnexpectedNode, "<description> is not a valid element of this request type."},
      {"<removeRouteGroup><name>Nope</name></removeRouteGroup>", kNotFound,
       "The specified route group was not found."},
  });
}

class RouteListTest : public RouteGroupTest {
 protected:
  struct Member {
    std::string group, order, called, calling, css, ddi, prefix, callingPrefix, fully;
  };
  std::string ListMember(const std::string& list, const std::string& groupId, const Member& m) {
    return "<member  uuid=\"" + RowId("RouteList", "fkDevice", list, "fkRouteGroup", groupId) + "\">\r\n" +
           El("routeGroupName", m.group) + El("routeGroupSelectionOrder", m.order) +
           El("calledPartyTransformationMask", m.called) + El("callingPartyTransformationMask", m.calling) +
           (m.css.empty() ? "" : Ref("callingSearchSpace", m.css)) + El("dialPlanWizardGenId", "0") +
           (m.ddi.empty() ? "" : Ref("digitDiscardInstruction", m.ddi)) + El("prefixDigitsOut", m.prefix) +
           El("callingPartyPrefixDigits", m.callingPrefix) + El("useFullyQualifiedCallingPartyNumber", m.fully) +
           "</member>\r\n";
  }
  static std::string ListElement(const std::string& id, const std::string& name, const std::string& description,
                                 const std::string& members) {
    return "<routeList  uuid=\"" + id + "\">\r\n" + El("name", name) + El("description", description) +
           Members(members) + "</routeList>\r\n";
  }
  static std::string SimpleMember(const std::string& group, const std::string& order) {
    return "<member><routeGroupName>" + group + "</routeGroupName><routeGroupSelectionOrder>" + order +
           "</routeGroupSelectionOrder><useFullyQualifiedCallingPartyNumber>Default"
           "</useFullyQualifiedCallingPartyNumber></member>";
  }
  std::string AddList(const std::string& name, const std::string& members) {
    return CallForId("addRouteList", "<addRouteList><routeList><name>" + name + "</name><members>" + members +
                                         "</members></routeList></addRouteList>");
  }
};

TEST_F(RouteListTest, MembersRoundTripWithTheirDigitManipulation) {
  const std::string g1 = AddGroup("G1", ""), g2 = AddGroup("G2", "");
  const std::string css = AddCSS("Out");
  CallForId("addDialPlan", "<addDialPlan><dialPlan><name>NA</name></dialPlan></addDialPlan>");
  const std::string ddi =
      CallForId("addDDI", "<addDDI><ddi><name>PreDot</name><dialPlanName>NA</dialPlanName></ddi></addDDI>");
  const std::string list = CallForId(
      "addRouteList",
      "<zeb:addRouteList><zeb:routeList><zeb:name>Main &amp; Backup</zeb:name><description>Both ways</description>"
      "<members><member><routeGroupName>g2</routeGroupName><routeGroupSelectionOrder>2"
      "</routeGroupSelectionOrder><calledPartyTransformationMask>9XXX</calledPartyTransformationMask>"
      "<callingPartyTransformationMask>55XX</callingPartyTransformationMask><callingSearchSpaceName>Out"
      "</callingSearchSpaceName><dialPlanWizardGenId>4</dialPlanWizardGenId><digitDiscardInstruction uuid=\"" +
          ddi + "\"/><prefixDigitsOut>0</prefixDigitsOut><callingPartyPrefixDigits>1</callingPartyPrefixDigits>"
                "<useFullyQualifiedCallingPartyNumber>On</useFullyQualifiedCallingPartyNumber><ignored/></member>"
                "<member><routeGroup uuid=\"" +
          g1 + "\"/><routeGroupSelectionOrder> 1 </routeGroupSelectionOrder>"
               "<useFullyQualifiedCallingPartyNumber>Default</useFullyQualifiedCallingPartyNumber></member>"
               "</members></zeb:routeList></zeb:addRouteList>",
      kLenient);
  EXPECT_EQ(Got("getRouteList", ListElement(list, "Main &amp; Backup", "Both ways",
                                          ListMember(list, g1, {"G1", "1", "", "", "", "", "", "", "Default"}) +
                                              ListMember(list, g2, {"G2", "2", "9XXX", "55XX", css, ddi, "0", "1", "On"})),
                     "5"),
            Call("<getRouteList sequence=\"5\"><name>main &amp; backup</name></getRouteList>"));

  // The members are replaced as a whole; a selection order with a fraction is rounded to even.
  EXPECT_EQ(Standard("updateRouteList", list),
            Call("<updateRouteList><uuid>" + list + "</uuid><newName>Main</newName><description/><members>" +
                 SimpleMember("G1", "2.5") + "</members></updateRouteList>"));
  EXPECT_EQ(Got("getRouteList", ListElement(list, "Main", "",
                                          ListMember(list, g1, {"G1", "2", "", "", "", "", "", "", "Default"}))),
            Call("<getRouteList><uuid>" + list + "</uuid></getRouteList>"));

  EXPECT_EQ(Standard("removeRouteList", list), Call("<removeRouteList><name>Main</name></removeRouteList>"));
  EXPECT_EQ(0, CountRows("RouteList"));
  EXPECT_EQ(Fault("getRouteList", kNotFound, "Route List not found."),
            Call("<getRouteList><uuid>" + list + "</uuid></getRouteList>"));
  // With the route list gone its groups are free to go.
  CallForId("removeRouteGroup", "<removeRouteGroup><name>G1</name></removeRouteGroup>");
}

TEST_F(RouteListTest, ASelectionOrderThatIsNotANumberFailsWithTheServerFault) {
  AddGroup("G1", "");
  const std::string list = AddList("RL", SimpleMember("G1", "1"));
  const auto update = [](const std::string& order) {
    return "<updateRouteList><name>RL</name><members>" + SimpleMember("G1", order) +
           "</members></updateRouteList>";
  };
  ExpectServerFault("<addRouteList><routeList><name>RL2</name><members>" + SimpleMember("G1", "one") +
                    "</members></routeList></addRouteList>");
  ExpectServerFault(update("1x"));
  ExpectServerFault(update("99999999999"));
  EXPECT_EQ(Standard("updateRouteList", list), Call(update("-3.5")));
}

TEST_F(RouteListTest, RefusalsNameTheProblemAndChangeNothing) {
  AddGroup("G1", "");
  AddList("Taken", SimpleMember("G1", "1"));
  InsertDevice("GW1");
  CallForId("addRoutePattern", "<addRoutePattern><newPattern><pattern>9.@</pattern><usage/>" + Routing() +
                                   "<destination><routeListName>Taken</routeListName></destination></newPattern>"
                                   "</addRoutePattern>");
  const std::string head = "<routeGroupName>G1</routeGroupName><routeGroupSelectionOrder>1</routeGroupSelectionOrder>";
  auto add = [](const std::string& inner) { return "<addRouteList><routeList>" + inner + "</routeList></addRouteList>"; };
  auto member = [&](const std::string& inner) {
    return add("<name>N</name><members><member>" + inner + "</member></members>");
  };
  ExpectAllRefused(zebd_, {
      {"<addRouteList/>", kUnexpectedNode, "Found NULL, expecting <routeList>"},
      {member("<routeGroupName>Nope</routeGroupName>"), kNotFound, "Route Group not found."},
      {member(head + "<callingSearchSpaceId>x</callingSearchSpaceId>"), kUnexpectedNode,
       "Deprecated element <callingSearchSpaceId>. Please use <callingSearchSpace> or "
       "<callingSearchSpaceName>."},
      {member(head + "<digitDiscardInstructionName>Nope</digitDiscardInstructionName>"), kNotFound,
       "Digit Discard Instruction not found."},
      {member("<routeGroup/><routeGroupSelectionOrder>1</routeGroupSelectionOrder><useFullyQualifiedCallingPartyNumber>"
              "On</useFullyQualifiedCallingPartyNumber>"),
       6, "The Route List member cannot be written without a value for fkRouteGroup."},
      {add("<name>taken</name><members>" + SimpleMember("G1", "1") + "</members>"), 3,
       "A Device named \"taken\" already exists."},
      {"<updateRouteList><name>Nope</name></updateRouteList>", kNotFound, "Route List not found."},
      {"<updateRouteList><name>Taken</name><description/><x/></updateRouteList>", kUnexpectedNode,
       "<x> is not a valid element of this request type."},
      {"<removeRouteList><name>Nope</name></removeRouteList>", kNotFound,
       "The specified Route List was not found."},
      {"<removeRouteList><name>Taken</name></removeRouteList>", 4,
       "The Device \"Taken\" cannot be removed because it is still the destination of Route Pattern "
       "\"9.@\"."},
      // A device without route list members is no route list to show.
      {"<getRouteList><name>GW1</name></getRouteList>", kNotFound, "Route List not found."},
      {"<removeRouteGroup><name>G1</name></removeRouteGroup>", 4,
       "The Route Group \"G1\" cannot be removed because it is still used by a Route List member of Device "
       "\"Taken\"."},
  });
}

}  // namespace
}  // namespace zeb::test
