// addGatewayEndpoint, updateGatewayEndpoint, removeGatewayEndpoint and getGatewayEndpoint through
// real HTTP, for analog, T1 and PRI gateways.
#include "e2e/GatewayTest.h"
#include "zdl/postgresql/PgConnection.h"

namespace zeb::test {
namespace {

class GatewayEndpointTest : public GatewayTest {
 protected:
  std::string Get(const std::string& name) { return WithoutStamp(ByName("getGatewayEndpoint", name)); }
};

TEST_F(GatewayEndpointTest, AnalogGatewayIsRenderedWithItsPortsAndLines) {
  const std::string id = AddGateway(AnalogGatewayRequest("AA1", AnalogPort(1, true) + AnalogPort(2, false)));
  const std::string lineId = Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id);
  const std::string expected =
      "<return>\r\n" + DeviceTag("device", "XAnalogGateway", id) +
      Identity("AA1", "Lobby &amp; hall", "Analog Access 2", "Gateway", "Analog Access", "Network") +
      DevicePoolElement() +
      El("vendorConfig", "&lt;vendorConfig&gt;&lt;cfg a=&quot;1&quot;/&gt;&lt;/vendorConfig&gt;") +
      El("versionStamp", "{STAMP}") + El("networkLocale", "New_Zealand") +
      El("trunkSelectionOrder", "Bottom Up") + El("helpURL", "") + "<ports>\r\n" +
      RenderedAnalogPort(PortId("AnalogAccessPort", id, 1), 1, lineId) +
      RenderedAnalogPort(PortId("AnalogAccessPort", id, 2), 2, "") + "</ports>\r\n</device>\r\n</return>\r\n";
  EXPECT_EQ(Response("getGatewayEndpoint", expected), Get("aa1"));
  EXPECT_EQ(Response("getGatewayEndpoint", expected), WithoutStamp(ById("getGatewayEndpoint", id)));
}

// The device and its access rows are written as one: a database that refuses the access row
// leaves no device behind either.
TEST_F(GatewayEndpointTest, AWriteRefusedPartWayLeavesNothing) {
  if (zdl::IsPostgresLocation(zebd_.dbPath())) GTEST_SKIP() << "the refusal is an SQLite trigger";
  Db().Execute("CREATE TRIGGER Refuse BEFORE INSERT ON AnalogAccess BEGIN SELECT RAISE(ABORT, 'refused'); END");
  const std::string before = Snapshot();
  const std::string response = Call("<addGatewayEndpoint><newGateway>" +
                                    AnalogGatewayRequest("AA9", AnalogPort(1, false)) +
                                    "</newGateway></addGatewayEndpoint>");
  EXPECT_TRUE(Contains(response, "<![CDATA[Database error: refused]]></faultstring>"));
  EXPECT_EQ(before, Snapshot());
}

// A line keeps the index it was written with and reads back under the port it was written
// under, also when the two differ and another port has the number of the index.
TEST_F(GatewayEndpointTest, LineReadsBackUnderThePortItWasWrittenUnder) {
  const std::string seven = "index=\"7\"", one = "index=\"1\"";
  const std::string id = AddGateway(
      AnalogGatewayRequest("AA7", AnalogPort(1, false) + Replace(AnalogPort(7, true), seven, one)));
  const std::string lineId = Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id);
  EXPECT_EQ("1|7", Column("SELECT NumPlanIndex || '|' || PortNum FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  const std::string ports =
      "<ports>\r\n" + RenderedAnalogPort(PortId("AnalogAccessPort", id, 1), 1, "") +
      Replace(RenderedAnalogPort(PortId("AnalogAccessPort", id, 7), 7, lineId), seven, one) + "</ports>\r\n";
  const std::string got = Get("AA7");
  EXPECT_TRUE(Contains(got, ports));
  // A line stored without its port (by an older build) is shown under the port of its index.
  Db().Execute("UPDATE DeviceNumPlanMap SET PortNum = NULL WHERE fkDevice = ?", {id});
  const std::string older = Get("AA7");
  const std::size_t line = older.find("<line  uuid=\"" + lineId + "\" index=\"1\">");
  EXPECT_LT(older.find("<port  uuid=\"" + PortId("AnalogAccessPort", id, 1)), line) << older;
  EXPECT_LT(line, older.find("<port  uuid=\"" + PortId("AnalogAccessPort", id, 7))) << older;
}

TEST_F(GatewayEndpointTest, PriGatewayIsRenderedWithEveryField) {
  const std::string id = AddGateway(PriGatewayRequest("PRI1"));
  EXPECT_EQ(Got("getGatewayEndpoint",
                DeviceTag("device", "XPRIGateway", id) +
                    Identity("PRI1", "", "Digital Access PRI", "Gateway", "Digital Access PRI", "User") +
                    DevicePoolElement() + El("loadInformation", "DPRI.2-0-1") + El("vendorConfig", "") +
                    El("versionStamp", "{STAMP}") + El("networkLocale", "Japan") + RenderedPriFields() +
                    "</device>\r\n"),
            Get("PRI1"));
}

TEST_F(GatewayEndpointTest, T1GatewayKeepsEncodingAndPortsAndMaxPorts) {
  const std::string id = AddGateway(T1GatewayRequest("T1A", "u-law"));
  const std::string t1 = Get("T1A");
  const std::string portId = PortId("DigitalAccessT1Port", id, 5);
  EXPECT_TRUE(Contains(t1, El("networkLocale", "United_States") + El("trunkSelectionOrder", "Top Down") +
                               El("clockReference", "Internal") + El("csuParam", "-7.5db") +
                               El("digitSending", "MF") + El("encode", "u-law") + El("fdlChannel", "None") +
                               El("framing", "ESF") + El("maxPorts", "24") + "<ports>\r\n<port  uuid=\"" +
                               portId + "\">\r\n"));
  // A T1 port has no SMDI port number: the element is there, with the zero of an unset number.
  EXPECT_TRUE(Contains(t1, El("silenceSuppressionThreshold", "Default") + El("smdiPortNumber", "0") +
                               El("startDialProtocol", "Immediate")));
  // The port ends with its vendor configuration: its caller id and endpoint id are stored only.
  EXPECT_TRUE(Contains(t1, "<timer>0</timer>\r\n</timers>\r\n" + El("vendorConfig", "") +
                               "</port>\r\n</ports>\r\n" + El("yellowAlarm", "F-Bit") +
                               El("zeroSuppression", "B8ZS") + "</device>\r\n"));
  EXPECT_EQ("ep-5", Column("SELECT EndpointID FROM DigitalAccessT1Port WHERE fkDevice = ?", id));
  EXPECT_EQ("1", Column("SELECT Encode FROM DigitalAccessT1 WHERE fkDevice = ?", id));
  // A stored 0 renders A-law.
  Db().Execute("UPDATE DigitalAccessT1 SET Encode = 0 WHERE fkDevice = ?", {id});
  EXPECT_TRUE(Contains(Get("T1A"), El("encode", "A-law")));
}

TEST_F(GatewayEndpointTest, DeviceWithoutAccessPartIsWrittenAlone) {
  const std::string id = AddGateway(GatewayHead("BARE", "Analog Access 2", "Analog Access"));
  EXPECT_EQ("BARE", Column("SELECT Name FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("", Column("SELECT pkid FROM AnalogAccess WHERE fkDevice = ?", id));
}

TEST_F(GatewayEndpointTest, UpdateReplacesPortsAndChangesFields) {
  const std::string id = AddGateway(AnalogGatewayRequest("AA2", AnalogPort(1, true) + AnalogPort(2, false)));
  EXPECT_EQ(Standard("updateGatewayEndpoint", id),
            Call("<updateGatewayEndpoint><name>AA2</name><newName>AA3</newName><description/><country>France</country>"
                 "<analog><ports>" + AnalogPort(3, false) + "</ports><trunkSelectionOrder>Top Down</trunkSelectionOrder>"
                 "</analog></updateGatewayEndpoint>"));
  EXPECT_EQ("3", Joined("SELECT PortNum FROM AnalogAccessPort WHERE fkDevice = ? ORDER BY PortNum", id));
  EXPECT_EQ("", Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  EXPECT_EQ("4", Column("SELECT tkCountry FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("0", Column("SELECT tkTrunkSelectionOrder FROM AnalogAccess WHERE fkDevice = ?", id));
  EXPECT_EQ("", Column("SELECT Description FROM Device WHERE pkid = ?", id));
  // The T1 section changes only what it names.
  const std::string t1 = AddGateway(T1GatewayRequest("T1B", "A-law"));
  EXPECT_EQ(Standard("updateGatewayEndpoint", t1),
            Call("<updateGatewayEndpoint><uuid>" + t1 + "</uuid><t1><encode>u-law</encode><framing>SF</framing></t1>"
                 "</updateGatewayEndpoint>"));
  EXPECT_EQ("0|1|1", Column("SELECT tkFraming || '|' || Encode || '|' || tkCSUParam FROM DigitalAccessT1 "
                            "WHERE fkDevice = ?", t1));
}

TEST_F(GatewayEndpointTest, RemoveTakesTheAccessRowsAndPortsAlong) {
  const std::string id = AddGateway(AnalogGatewayRequest("AA4", AnalogPort(1, true)));
  EXPECT_EQ(Standard("removeGatewayEndpoint", id), ById("removeGatewayEndpoint", id));
  for (const char* table : {"Device", "AnalogAccess", "AnalogAccessPort", "DeviceNumPlanMap"}) {
    const std::string key = std::string(table) == "Device" ? "pkid" : "fkDevice";
    EXPECT_EQ("0", Column(std::string("SELECT COUNT(*) FROM ") + table + " WHERE " + key + " = ?", id)) << table;
  }
}

TEST_F(GatewayEndpointTest, RemoveRefusesAGatewayInARouteGroup) {
  AddGateway(PriGatewayRequest("PRI2"));
  CallForId("addRouteGroup", "<addRouteGroup><routeGroup><name>Trunks</name><members><member port=\"0\">"
                             "<deviceSelectionOrder>1</deviceSelectionOrder><dialPlanWizardGenId>0</dialPlanWizardGenId>"
                             "<deviceName>PRI2</deviceName></member>"
                             "</members></routeGroup></addRouteGroup>");
  ExpectRefused("<removeGatewayEndpoint><name>PRI2</name></removeGatewayEndpoint>", "removeGatewayEndpoint", 4,
                "The Device \"PRI2\" cannot be removed because it is still used by a Route Group member of Route "
                "Group \"Trunks\".");
}

TEST_F(GatewayEndpointTest, RefusalsNameTheProblemAndChangeNothing) {
  AddGateway(AnalogGatewayRequest("AA5", AnalogPort(1, false)));
  AddPhone(PhoneHead("SEP1"));
  const std::string head = GatewayHead("NEW", "Analog Access 2", "Analog Access");
  const std::string analog = "<country>Germany</country><maxPorts>2</maxPorts>";
  auto add = [](const std::string& content) {
    return "<addGatewayEndpoint><newGateway>" + content + "</newGateway></addGatewayEndpoint>";
  };
  auto port = [&](const std::string& content) {
    return add(head + analog + "<ports><port portNumber=\"1\">" + content + "</port></ports>");
  };
  const std::string toTimers =
      "<callerIdEnable>true</callerIdEnable><callingPartySelection>Originator</callingPartySelection>"
      "<digitSending>DTMF</digitSending><expectedDigits>4</expectedDigits><finalDigits significant=\"true\">3"
      "</finalDigits><presentationBit>Allowed</presentationBit><silenceSuppressionThreshold>Low"
      "</silenceSuppressionThreshold><smdiPortNumber>1</smdiPortNumber><startDialProtocol>Wink</startDialProtocol>";
  const std::string emptyEndpoint =
      Replace(T1GatewayRequest("X", "u-law"), "<endpointId>ep-5</endpointId>", "<endpointId/>");
  const std::string emptyInterface =
      Replace(PriGatewayRequest("X"), "<interfaceId present=\"true\">12</interfaceId>",
              "<interfaceId present=\"true\"/>");
  ExpectAllRefused(zebd_, {
      {"<addGatewayEndpoint/>", kUnexpectedNode, "Found NULL, expecting <name>"},
      {add("<name>X</name><product>Desk Phone 12</product>"), kInvalidValue,
       "The product type specified is not a Gateway."},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Nope</protocol>"), 8,
       "Invalid Parameter: Nope"},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Analog "
       "Access</protocol><protocolSide>User</protocolSide><callingSearchSpaceName>Nope</callingSearchSpaceName>"
       ),
       kNotFound, "Calling search space not found."},
      {add(GatewayHead("X", "Analog Access 2", "Media Gateway Control") + "<country>Japan</country>"),
       kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {port(toTimers + "<timers/>"),
       kUnexpectedNode, "NULL element found, expecting 6 <timer> elements."},
      // A later failure leaves nothing behind: the device is not written either.
      {add(head + analog + "<ports>" + AnalogPort(1, false) + "</ports>"), kUnexpectedNode,
       "NULL element found. Expecting <trunkSelectionOrder>."},
      {"<updateGatewayEndpoint><name>AA5</name>"
       "<callingSearchSpaceName>Nope</callingSearchSpaceName></updateGatewayEndpoint>",
       kNotFound, "Calling Search Space not found."},
      {"<updateGatewayEndpoint><name>AA5</name><t1/></updateGatewayEndpoint>", kUnexpectedNode,
       "Found <t1>, expecting <analog>."},
      {"<updateGatewayEndpoint><name>AA5</name><associatedPC>pc</associatedPC></updateGatewayEndpoint>",
       kUnexpectedNode, "Found <associatedPC>, expecting <analog>."},
      {"<updateGatewayEndpoint><name>AA5</name><devicePool uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"
       "</updateGatewayEndpoint>",
       kUnexpectedNode, "Found <devicePool>, expecting <analog>."},
      // Required texts need a value, as every other required element does.
      {add(emptyEndpoint), kInvalidValue, "The element, <endpointId>, must contain a value."},
      {add(emptyInterface), kInvalidValue, "The element, <interfaceId>, must contain a value."},
      // A device of another protocol is refused before any element is read, access section or not.
      {"<updateGatewayEndpoint><name>SEP1</name><analog/></updateGatewayEndpoint>", kInvalidValue,
       "Invalid Device Protocol for an Analog or Digital Gateway."},
      {"<updateGatewayEndpoint><name>SEP1</name>"
       "<callingSearchSpaceName>Nope</callingSearchSpaceName></updateGatewayEndpoint>",
       kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {"<removeGatewayEndpoint><name>Nope</name></removeGatewayEndpoint>", kNotFound,
       "The specified Gateway was not found."},
      {"<removeGatewayEndpoint><name>SEP1</name></removeGatewayEndpoint>", kNotFound,
       "The device specified is not a Gateway."},
  });
}

}  // namespace
}  // namespace zeb::test
