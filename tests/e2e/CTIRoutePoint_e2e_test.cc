// addCTIRoutePoint, updateCTIRoutePoint, removeCTIRoutePoint and getCTIRoutePoint through real
// HTTP.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

std::string LineTo(int index, const std::string& pattern) {
  return "<line index=\"" + std::to_string(index) + "\"><label>L" + pattern + "</label><display>D</display><dirn>"
         "<pattern>" + pattern + "</pattern><usage>Device</usage><routePartitionName>Internal</routePartitionName>"
         "</dirn><ringSetting>Ring Once</ringSetting><mwlPolicy>Light Only</mwlPolicy></line>";
}

class CTIRoutePointTest : public GatewayTest {
 protected:
  std::string AddPoint(const std::string& content) {
    return CallForId("addCTIRoutePoint", "<addCTIRoutePoint><routePoint>" + content +
                                             "</routePoint></addCTIRoutePoint>");
  }
  std::string RenderedLine(const std::string& device, int index, const std::string& pattern,
                           const std::string& dirn) {
    const std::string uuid =
        Column("SELECT pkid FROM DeviceNumPlanMap WHERE NumPlanIndex = " + std::to_string(index) + " AND fkDevice = ?",
               device);
    return LineElement(uuid, index, "L" + pattern, "D", dirn, "Ring Once", "Use System Default", "", 0,
                       "Light Only");
  }
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
      "\">\r\n" +
      Identity("RP1", "Queue &lt;1&gt;", "CTI Route Point", "CTI Route Point", "Station", "Network") +
      DevicePoolElement() + "<location  uuid=\"" + location + "\">\r\n" + El("name", "HQ") +
      El("kbits", "0") + "</location>\r\n<lines>\r\n" + RenderedLine(id, 1, "1000", dn1000_) +
      RenderedLine(id, 2, "1001", dn1001_) + "</lines>\r\n</routePoint>\r\n</return>\r\n";
  EXPECT_EQ(Response("getCTIRoutePoint", expected), ByName("getCTIRoutePoint", "RP1"));
  EXPECT_EQ(Response("getCTIRoutePoint", expected), ById("getCTIRoutePoint", id));
  // Any product gives product 26; the skipped elements store nothing; the trace flag is kept.
  EXPECT_EQ("26|10|73||1|", Column("SELECT tkProduct || '|' || tkClass || '|' || tkModel || '|' || "
                                  "SpecialLoadInformation || '|' || DeviceLevelTraceFlag || '|' || xml "
                                  "FROM Device WHERE pkid = ?", id));
}

TEST_F(CTIRoutePointTest, UpdateChangesNamedFieldsAndReplacesTheLines) {
  AddNamed("Location", "HQ");
  const std::string id = AddPoint(StationHead("RP2") + "<locationName>HQ</locationName><lines>" + LineTo(1, "1000") +
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

TEST_F(CTIRoutePointTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPoint(StationHead("RP5"));  // a route point needs no lines
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
  ExpectAllRefused(zebd_, {
      {add("<name>X</name>"), kUnexpectedNode,
       "NULL element found. Expecting <description> or <calledPartyTransformationMask>"},
      {add(identity + "<callingSearchSpaceId>" + unknown + "</callingSearchSpaceId>"), kUnexpectedNode,
       "NULL element found. Expecting <devicePool>."},
      {add(StationHead("X") + "<associatedPC/>"), kUnexpectedNode,
       "<associatedPC> is not a valid element of this request type."},
      {update("<mediaResourceListName>MRL</mediaResourceListName>"), kUnexpectedNode,
       "<mediaResourceListName> is not a valid element of this request type."},
      // An update names its references by identifier or name only.
      {update("<location uuid=\"" + unknown + "\"/>"), kUnexpectedNode,
       "<location> is not a valid element of this request type."},
      {update("<lines><line index=\"1\"><label/><display/><dirn uuid=\"" + dn1001_ + "\"/></line></lines>"),
       kUnexpectedNode, "NULL element found. Expecting <ringSetting>."},
      {"<removeCTIRoutePoint><uuid>" + unknown + "</uuid></removeCTIRoutePoint>", kNotFound,
       "The specified route point was not found."},
      {"<getCTIRoutePoint><uuid>" + unknown + "</uuid></getCTIRoutePoint>", kNotFound,
       "Route Point not found."},
  });
}

}  // namespace
}  // namespace zeb::test
