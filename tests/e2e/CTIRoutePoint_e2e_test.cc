// addCTIRoutePoint, updateCTIRoutePoint, removeCTIRoutePoint and getCTIRoutePoint through real
// HTTP.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

// The elements of a route point request from name to the device pool; the product is not stored.
std::string PointHead(const std::string& name) {
  return "<name>" + name + "</name><product>Desk Phone 12</product><model/><class/><protocol>Station</protocol>"
         "<protocolSide>User</protocolSide><devicePoolName>Default</devicePoolName>";
}

std::string LineTo(int index, const std::string& pattern) {
  return "<line index=\"" + std::to_string(index) + "\"><label>L" + pattern + "</label><display>D</display><dirn>"
         "<pattern>" + pattern + "</pattern><usage>Device</usage><routePartitionName>Internal</routePartitionName>"
         "</dirn><ringSetting>Ring Once</ringSetting><mwlPolicy>Light Only</mwlPolicy></line>";
}

class CTIRoutePointTest : public GatewayTest {
 protected:
  void SetUp() override {
    GatewayTest::SetUp();
    dn1001_ = AddNumber("1001", internal_);
  }
  std::string AddPoint(const std::string& content) {
    return CallForId("addCTIRoutePoint", "<addCTIRoutePoint><routePoint>" + content +
                                             "</routePoint></addCTIRoutePoint>");
  }
  std::string RenderedLine(const std::string& device, int index, const std::string& pattern,
                           const std::string& dirn) {
    const std::string uuid =
        Column("SELECT pkid FROM DeviceNumPlanMap WHERE NumPlanIndex = " + std::to_string(index) + " AND fkDevice = ?",
               device);
    return "<line  uuid=\"" + uuid + "\" index=\"" + std::to_string(index) + "\">\r\n" +
           Element("label", "L" + pattern) + Element("display", "D") + "<dirn  uuid=\"" + dirn + "\"></dirn>\r\n" +
           Element("ringSetting", "Ring Once") + Element("consecutiveRingSetting", "Use System Default") +
           Element("e164Mask", "") + Element("dialPlanWizardId", "0") + Element("mwlPolicy", "Light Only") +
           "</line>\r\n";
  }

  std::string dn1001_;
};

TEST_F(CTIRoutePointTest, RoutePointIsRenderedWithItsLines) {
  const std::string location = AddNamed("Location", "HQ");
  const std::string id = AddPoint(
      "<name>RP1</name><description>Queue &lt;1&gt;</description><productInfo name=\"x\"/><modelInfo name=\"y\"/>"
      "<class/><protocol>Station</protocol><protocolSide>Network</protocolSide><devicePoolName>Default"
      "</devicePoolName><locationName>HQ</locationName><mediaResourceListName>Nope</mediaResourceListName>"
      "<aarNeighborhoodName>Nope</aarNeighborhoodName><loadInformation>L</loadInformation><vendorConfig>v"
      "</vendorConfig><versionStamp/><traceFlag>true</traceFlag><lines>" + LineTo(1, "1000") + LineTo(2, "1001") +
      "</lines>");
  const std::string expected =
      "<return>\r\n<routePoint  uuid=\"" + id + "\" ctiid=\"" + Column("SELECT CtiId FROM Device WHERE pkid = ?", id) +
      "\">\r\n" + Element("name", "RP1") + Element("description", "Queue &lt;1&gt;") +
      Element("product", "CTI Route Point") + Element("model", "CTI Route Point") +
      Element("class", "CTI Route Point") + Element("protocol", "Station") + Element("protocolSide", "Network") +
      DevicePoolElement() + "<location  uuid=\"" + location + "\">\r\n" + Element("name", "HQ") +
      Element("kbits", "0") + "</location>\r\n<lines>\r\n" + RenderedLine(id, 1, "1000", dn1000_) +
      RenderedLine(id, 2, "1001", dn1001_) + "</lines>\r\n</routePoint>\r\n</return>\r\n";
  EXPECT_EQ(Response("getCTIRoutePoint", expected), Call("<getCTIRoutePoint><name>RP1</name></getCTIRoutePoint>"));
  EXPECT_EQ(Response("getCTIRoutePoint", expected, "3"),
            Call("<zeb:getCTIRoutePoint sequence=\"3\"><zeb:uuid>" + id + "</zeb:uuid></zeb:getCTIRoutePoint>"));
  // Any product gives product 26; the skipped elements store nothing; the trace flag is kept.
  EXPECT_EQ("26|10|73||1|", Column("SELECT tkProduct || '|' || tkClass || '|' || tkModel || '|' || "
                                  "SpecialLoadInformation || '|' || DeviceLevelTraceFlag || '|' || xml "
                                  "FROM Device WHERE pkid = ?", id));
}

TEST_F(CTIRoutePointTest, RoutePointWithoutLinesIsWritten) {
  const std::string id = AddPoint(PointHead("RP0"));
  EXPECT_EQ("RP0", Column("SELECT Name FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(CTIRoutePointTest, UpdateChangesNamedFieldsAndReplacesTheLines) {
  AddNamed("Location", "HQ");
  const std::string id = AddPoint(PointHead("RP2") + "<locationName>HQ</locationName><lines>" + LineTo(1, "1000") +
                                  LineTo(2, "1001") + "</lines>");
  EXPECT_EQ(Standard("updateCTIRoutePoint", id),
            Call("<updateCTIRoutePoint><name>RP2</name><newName>RP3</newName><description>d</description>"
                 "<devicePoolId>" + Column("SELECT pkid FROM DevicePool WHERE Name = ?", "Default") +
                 "</devicePoolId><locationName/><lines>" + LineTo(5, "1001") + "</lines></updateCTIRoutePoint>"));
  EXPECT_EQ("RP3|d|", Column("SELECT Name || '|' || Description || '|' || COALESCE(fkLocation, '') FROM Device "
                             "WHERE pkid = ?", id));
  EXPECT_EQ(dn1001_ + "|5", Joined("SELECT fkNumPlan || '|' || NumPlanIndex FROM DeviceNumPlanMap "
                                   "WHERE fkDevice = ?", id));
  EXPECT_EQ(Standard("updateCTIRoutePoint", id, "2"),
            Call("<zeb:updateCTIRoutePoint sequence=\"2\"><zeb:uuid>" + id + "</zeb:uuid><zeb:description/>"
                 "</zeb:updateCTIRoutePoint>"));
  EXPECT_EQ("|1", Column("SELECT Description || '|' || (SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = Device.pkid) "
                         "FROM Device WHERE pkid = ?", id));
}

TEST_F(CTIRoutePointTest, RemoveTakesTheLineAppearancesAlong) {
  const std::string id = AddPoint(PointHead("RP4") + "<lines>" + LineTo(1, "1000") + "</lines>");
  EXPECT_EQ(Standard("removeCTIRoutePoint", id), Call("<removeCTIRoutePoint><uuid>" + id + "</uuid>"
                                                     "</removeCTIRoutePoint>"));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(CTIRoutePointTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPoint(PointHead("RP5") + "<lines>" + LineTo(1, "1000") + "</lines>");
  AddPhone(PhoneHead("SEP1"));
  const std::string unknown = "{00000000-0000-0000-0000-00000000DEAD}";
  auto add = [](const std::string& content) {
    return "<addCTIRoutePoint><routePoint>" + content + "</routePoint></addCTIRoutePoint>";
  };
  auto update = [](const std::string& content) {
    return "<updateCTIRoutePoint><name>RP5</name>" + content + "</updateCTIRoutePoint>";
  };
  const std::string identity =
      "<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addCTIRoutePoint/>", "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <routePointt>"},
      {add("<description/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found <description>, expecting <name>."},
      {add("<name/>"), "addCTIRoutePoint", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>X</name>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <description> or <calledPartyTransformationMask>"},
      {add("<name>X</name><description/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <product>"},
      {add("<name>X</name><model/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found <model>, expecting <product> or <productInfo>."},
      {add("<name>X</name><product/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <model> or <modelInfo>"},
      {add("<name>X</name><product/><class/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found <class>, expecting <model> or <modelInfo>."},
      {add("<name>X</name><product/><model/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <class>"},
      {add("<name>X</name><product/><model/><protocol/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found <protocol>, expecting <class>."},
      {add("<name>X</name><product/><model/><class/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <protocol>"},
      {add("<name>X</name><product/><model/><class/><protocol/>"), "addCTIRoutePoint", kInvalidValue,
       "The element, <protocol>, must contain a value."},
      {add("<name>X</name><product/><model/><class/><protocol>Station</protocol>"), "addCTIRoutePoint",
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <protocolSide>"},
      {add("<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide/>"), "addCTIRoutePoint",
       kInvalidValue, "The element, <protocolSide>, must contain a value."},
      {add(identity), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add(identity + "<callingSearchSpaceName>Nope</callingSearchSpaceName>"), "addCTIRoutePoint", kNotFound,
       "Calling search space not found."},
      {add(identity + "<callingSearchSpaceId>" + unknown + "</callingSearchSpaceId>"), "addCTIRoutePoint",
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <devicePool>."},
      {add(identity + "<locationName>HQ</locationName>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found <locationName>, expecting <devicePool> or <devicePoolName>."},
      {add(identity + "<devicePoolName/>"), "addCTIRoutePoint", kInvalidValue,
       "The element, <devicePoolName>, must contain a value."},
      {add(identity + "<devicePool/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <devicePool>."},
      {add(PointHead("X") + "<traceFlag/>"), "addCTIRoutePoint", kInvalidValue,
       "The element, <traceFlag>, must contain a value."},
      {add(PointHead("X") + "<lines/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <line> or <lineIdentifier>"},
      {add(PointHead("X") + "<associatedPC/>"), "addCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. <associatedPC> is not a valid element of this request type."},
      // The route point and its lines are one unit.
      {add(PointHead("X") + "<lines>" + LineTo(1, "1000") + "<line index=\"2\"><label/><display/><dirn uuid=\"" +
           unknown + "\"/><ringSetting>Ring</ringSetting></line></lines>"),
       "addCTIRoutePoint", 5,
       "The Number Plan entry " + unknown + " referred to by this line appearance does not exist."},
      {"<updateCTIRoutePoint/>", "updateCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateCTIRoutePoint><name>SEP1</name></updateCTIRoutePoint>", "updateCTIRoutePoint", kNotFound,
       "The specified device is not a CTI Route Point."},
      {update("<newName/>"), "updateCTIRoutePoint", kInvalidValue, "The element, <newName>, must contain a value."},
      {update("<devicePoolId/>"), "updateCTIRoutePoint", kInvalidValue,
       "The element, <devicePoolId>, must contain a value."},
      {update("<devicePoolName/>"), "updateCTIRoutePoint", kInvalidValue,
       "The element, <devicePoolName>, must contain a value."},
      {update("<mediaResourceListName>MRL</mediaResourceListName>"), "updateCTIRoutePoint", kUnexpectedNode,
       "Unexpected element. <mediaResourceListName> is not a valid element of this request type."},
      {update("<lines><line index=\"1\"><label/><display/><dirn uuid=\"" + dn1001_ + "\"/></line></lines>"),
       "updateCTIRoutePoint", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <ringSetting>."},
      {"<removeCTIRoutePoint><name>Nope</name></removeCTIRoutePoint>", "removeCTIRoutePoint", kNotFound,
       "route point not found."},
      {"<removeCTIRoutePoint><uuid>" + unknown + "</uuid></removeCTIRoutePoint>", "removeCTIRoutePoint", kNotFound,
       "The specified route point was not found."},
      {"<removeCTIRoutePoint><name>SEP1</name></removeCTIRoutePoint>", "removeCTIRoutePoint", kNotFound,
       "The specified device is not a CTI Route Point."},
      {"<getCTIRoutePoint><name>Nope</name></getCTIRoutePoint>", "getCTIRoutePoint", kNotFound,
       "route point not found."},
      {"<getCTIRoutePoint><uuid>" + unknown + "</uuid></getCTIRoutePoint>", "getCTIRoutePoint", kNotFound,
       "Route Point not found."},
      {"<getCTIRoutePoint><name>SEP1</name></getCTIRoutePoint>", "getCTIRoutePoint", kNotFound,
       "The specified device is not a CTI Route Point."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
