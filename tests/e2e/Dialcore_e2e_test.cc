// Call-processing nodes and node groups through real HTTP.
#include "e2e/ZebdTest.h"

namespace zeb::test {
namespace {

const char kSeededNode[] = "{5EED0000-0000-0000-0001-000000000001}";

struct AutoRegistration {
  std::string start = "0", end = "0", next = "0", partition, mask;
};
struct Ports {
  std::string analog, digital, ethernet, listen, keepAlive;
};

std::string PortsRequest(const Ports& p) {
  return "<ports><analogAccessPort>" + p.analog + "</analogAccessPort><digitalAccessPort>" + p.digital +
         "</digitalAccessPort><ethernetPhonePort>" + p.ethernet + "</ethernetPhonePort><mgcpPorts><listen>" +
         p.listen + "</listen><keepAlive>" + p.keepAlive + "</keepAlive></mgcpPorts></ports>";
}

// The full "dialcore" element as getDialcore and node group members write it.
std::string NodeElement(const std::string& id, const std::string& name, const std::string& description,
                        const AutoRegistration& a, const Ports& p) {
  return "<dialcore  uuid=\"" + id + "\">\r\n" + El("name", name) + El("description", description) +
         "<autoRegistration>\r\n" + El("startDN", a.start) + El("endDN", a.end) + El("nextDN", a.next) + a.partition +
         El("e164Mask", a.mask) + "</autoRegistration>\r\n<ports>\r\n" + El("analogAccessPort", p.analog) +
         El("digitalAccessPort", p.digital) + El("ethernetPhonePort", p.ethernet) + "<mgcpPorts>\r\n" +
         El("listen", p.listen) + El("keepAlive", p.keepAlive) + "</mgcpPorts>\r\n</ports>\r\n" +
         El("processNodeName", "ZEBNODE1") + "</dialcore>\r\n";
}

const std::string kSeededNodeElement = NodeElement(kSeededNode, "ZEBNODE1", "Call-processing node ZEBNODE1",
                                                   {}, {"2002", "2001", "2000", "2427", "2428"});

class DialcoreTest : public ZebdTest {
 protected:
  // A node with no description or automatic registration, on the seeded process node.
  std::string AddNode(const std::string& name, const Ports& ports = {"1", "2", "3", "4", "5"}) {
    return CallForId("addDialcore",
                     "<addDialcore><dialcore><name>" + name + "</name>" + PortsRequest(ports) +
                         "<processNodeName>ZEBNODE1</processNodeName></dialcore></addDialcore>");
  }
};

TEST_F(DialcoreTest, AddGetUpdateRemoveRoundTrip) {
  const std::string partition = AddPartition("Auto");
  const std::string id = CallForId(
      "addDialcore",
      "<addDialcore><dialcore><name>Node B</name><description>Second &amp; spare</description>"
      "<autoregistration><startDN>1000</startDN><endDN>1999</endDN><nextDN>1000</nextDN>"
      "<routePartitionName>auto</routePartitionName><e164Mask>0611XXXX</e164Mask></autoregistration>" +
          PortsRequest({"2002", "2001", "2000", "2427", "2428"}) +
          "<processNode uuid=\"{5EED0000-0000-0000-0000-000000000001}\"/></dialcore></addDialcore>");
  AutoRegistration registration{"1000", "1999", "1000", PartitionElement(partition, "Auto"), "0611XXXX"};
  EXPECT_EQ(Got("getDialcore", NodeElement(id, "Node B", "Second &amp; spare", registration,
                                           {"2002", "2001", "2000", "2427", "2428"})),
            ByName("getDialcore", "node b"));

  // An empty description and an empty partition clear them; the ports are replaced.
  EXPECT_EQ(Standard("updateDialcore", id),
            Call("<updateDialcore><uuid>" + id +
                 "</uuid><newName>Node C</newName><description/>"
                 "<autoregistration><startDN>2000</startDN><routePartitionId/></autoregistration>" +
                 PortsRequest({"7", "8", "9", "10", "11"}) + "</updateDialcore>"));
  registration.start = "2000";
  registration.partition = "";
  EXPECT_EQ(Got("getDialcore", NodeElement(id, "Node C", "", registration, {"7", "8", "9", "10", "11"})),
            ById("getDialcore", id));
  EXPECT_EQ(Standard("updateDialcore", id),
            Call("<updateDialcore><name>Node C</name><autoregistration><routePartitionId>" + partition +
                 "</routePartitionId></autoregistration></updateDialcore>"));
  registration.partition = PartitionElement(partition, "Auto");
  EXPECT_EQ(Got("getDialcore", NodeElement(id, "Node C", "", registration, {"7", "8", "9", "10", "11"})),
            ByName("getDialcore", "Node C"));

  EXPECT_EQ(Standard("removeDialcore", id), ByName("removeDialcore", "Node C"));
  EXPECT_EQ(Fault("getDialcore", kNotFound, "The specified Dialcore was not found."),
            ById("getDialcore", id));
}

TEST_F(DialcoreTest, NodeRefusalsNameTheProblemAndChangeNothing) {
  const std::string ports = PortsRequest({"1", "2", "3", "4", "5"});
  const std::string node = "<processNodeName>ZEBNODE1</processNodeName>";
  auto add = [](const std::string& content) { return "<addDialcore><dialcore>" + content + "</dialcore></addDialcore>"; };
  ExpectAllRefused(zebd_, {
      {"<addDialcore/>", kUnexpectedNode, "Found NULL, expecting <dialcore>"},
      {add("<name>N</name>" + ports + "<processNodeName>Elsewhere</processNodeName>"), kNotFound,
       "Process Node not found."},
      {add("<name>N</name><autoregistration><routePartitionName>Nope</routePartitionName></autoregistration>" +
           ports + node),
       kNotFound, "Route Partition not found."},
      {add("<name>zebnode1</name>" + ports + node), 3, "A Dialcore named \"zebnode1\" already exists."},
      {"<updateDialcore><name>Nope</name></updateDialcore>", kNotFound, "Dialcore not found."},
      {"<removeDialcore><name>Nope</name></removeDialcore>", kNotFound,
       "The specified Dialcore was not found."},
  });
}

class DialcoreGroupTest : public DialcoreTest {
 protected:
  std::string Member(const std::string& priority, const std::string& node) {
    return "<member  priority=\"" + priority + "\">\r\n" + node + "</member>\r\n";
  }
  std::string GetGroup(const std::string& name) { return ByName("getDialcoreGroup", name); }
};

TEST_F(DialcoreGroupTest, MembersKeepTheirOrderAndAreReplacedAsAWhole) {
  // The seeded group holds the seeded node.
  EXPECT_EQ(Got("getDialcoreGroup", DialcoreGroupElement("{5EED0000-0000-0000-0002-000000000001}", "Default",
                                                         "true", Member("0", kSeededNodeElement))),
            GetGroup("Default"));
  const std::string b = AddNode("B"), c = AddNode("C", {"6", "7", "8", "9", "10"});
  const std::string group = CallForId("addDialcoreGroup",
                                      "<addDialcoreGroup><dialcoreGroup><name>Three</name><members>"
                                      "<member priority=\"2x\"><dialcoreName>c</dialcoreName></member>"
                                      "<member priority=\"0\"><dialcore uuid=\"" +
                                          std::string(kSeededNode) +
                                          "\"/></member>"
                                          "<member priority=\"1\"><dialcoreName>B</dialcoreName></member>"
                                          "</members></dialcoreGroup></addDialcoreGroup>",
                                      kLenient);
  const std::string nodeB = NodeElement(b, "B", "", {}, {"1", "2", "3", "4", "5"});
  const std::string nodeC = NodeElement(c, "C", "", {}, {"6", "7", "8", "9", "10"});
  EXPECT_EQ(
      Got("getDialcoreGroup",
          DialcoreGroupElement(group, "Three", "false",
                               Member("2", nodeC) + Member("0", kSeededNodeElement) + Member("1", nodeB))),
      GetGroup("three"));

  EXPECT_EQ(Standard("updateDialcoreGroup", group),
            Call("<updateDialcoreGroup><uuid>" + group +
                 "</uuid><newName>One</newName><tftpDefault>true</tftpDefault>"
                 "<members><member priority=\"5\"><dialcoreName>B</dialcoreName></member></members>"
                 "</updateDialcoreGroup>"));
  EXPECT_EQ(Got("getDialcoreGroup", DialcoreGroupElement(group, "One", "true", Member("5", nodeB))),
            GetGroup("One"));
  // A node in a group cannot go; one that has left it can.
  EXPECT_EQ(
      Fault("removeDialcore", 4,
            "The Dialcore \"B\" cannot be removed because it is still used by a Dialcore Group member of "
            "Dialcore Group \"One\"."),
      ByName("removeDialcore", "B"));
  EXPECT_EQ(Standard("removeDialcore", c), ById("removeDialcore", c));
  // Without members the list stays; an empty members element empties it.
  EXPECT_EQ(Standard("updateDialcoreGroup", group),
            Call("<updateDialcoreGroup><name>One</name><tftpDefault/></updateDialcoreGroup>", kLenient));
  EXPECT_EQ(Got("getDialcoreGroup", DialcoreGroupElement(group, "One", "false", Member("5", nodeB))),
            GetGroup("One"));
  EXPECT_EQ(Standard("updateDialcoreGroup", group),
            Call("<updateDialcoreGroup><name>One</name><members/></updateDialcoreGroup>"));
  EXPECT_EQ(Got("getDialcoreGroup", DialcoreGroupElement(group, "One", "false", "")), GetGroup("One"));

  EXPECT_EQ(Standard("removeDialcoreGroup", group), ById("removeDialcoreGroup", group));
}

TEST_F(DialcoreGroupTest, GroupRefusalsNameTheProblemAndChangeNothing) {
  AddNode("B");
  const std::string member = "<member priority=\"1\"><dialcoreName>B</dialcoreName></member>";
  auto add = [](const std::string& content) {
    return "<addDialcoreGroup><dialcoreGroup>" + content + "</dialcoreGroup></addDialcoreGroup>";
  };
  ExpectAllRefused(zebd_, {
      {"<addDialcoreGroup/>", kUnexpectedNode, "Found NULL, expecting <dialcoreGroup>"},
      {add("<name>G</name><members><member priority=\"1\"><dialcoreId>x</dialcoreId></member></members>"),
       kUnexpectedNode, "Found <dialcoreId>, expecting <dialcore> or <dialcoreName>."},
      // The group is written before its members are read; a bad member leaves no group behind.
      {add("<name>G</name><members>" + member +
           "<member priority=\"2\"><dialcoreName>Nope</dialcoreName></member></members>"),
       kNotFound, "The specified Dialcore was not found."},
      {add("<name>default</name><members><node/></members>"), 3,
       "A Dialcore Group named \"default\" already exists."},
      {"<updateDialcoreGroup><name>Nope</name></updateDialcoreGroup>", kNotFound,
       "The specified Dialcore group was not found."},
      {"<updateDialcoreGroup><name>Default</name><members>" + member + "</members><extra/></updateDialcoreGroup>",
       kUnexpectedNode, "<extra> is not a valid element of this request type."},
      {"<removeDialcoreGroup><name>Default</name></removeDialcoreGroup>", 4,
       "The Dialcore Group \"Default\" cannot be removed because it is still used by Device Pool "
       "\"Default\"."},
  });
}

}  // namespace
}  // namespace zeb::test
