// addGatewayEndpoint, updateGatewayEndpoint, removeGatewayEndpoint and getGatewayEndpoint through
// real HTTP, for analog, T1 and PRI gateways.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

class GatewayEndpointTest : public GatewayTest {
 protected:
  std::string Get(const std::string& name) {
    return WithoutStamp(Call("<getGatewayEndpoint><name>" + name + "</name></getGatewayEndpoint>"));
  }
};

TEST_F(GatewayEndpointTest, AnalogGatewayIsRenderedWithItsPortsAndLines) {
  const std::string id = AddGateway(AnalogGatewayRequest("AA1", AnalogPort(1, true) + AnalogPort(2, false)));
  const std::string lineId = Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id);
  const std::string expected =
      "<return>\r\n<device  xsi:type=\"zeb:XAnalogGateway\" ctiid=\"" + Column("SELECT CtiId FROM Device WHERE pkid = ?", id) +
      "\" uuid=\"" + id + "\">\r\n" + Element("name", "AA1") + Element("description", "Lobby &amp; hall") +
      Element("product", "Analog Access 2") + Element("model", "Analog Access 2") + Element("class", "Gateway") +
      Element("protocol", "Analog Access") + Element("protocolSide", "Network") + DevicePoolElement() +
      Element("vendorConfig", "&lt;vendorConfig&gt;&lt;cfg a=&quot;1&quot;/&gt;&lt;/vendorConfig&gt;") +
      Element("versionStamp", "{STAMP}") + Element("networkLocale", "New_Zealand") +
      Element("trunkSelectionOrder", "Bottom Up") + Element("helpURL", "") + "<ports>\r\n" +
      RenderedAnalogPort(PortId("AnalogAccessPort", id, 1), 1, lineId) +
      RenderedAnalogPort(PortId("AnalogAccessPort", id, 2), 2, "") + "</ports>\r\n</device>\r\n</return>\r\n";
  EXPECT_EQ(Response("getGatewayEndpoint", expected), Get("aa1"));
  // By identifier, with prefixed elements and a sequence.
  EXPECT_EQ(Response("getGatewayEndpoint", expected, "9"),
            WithoutStamp(Call("<zeb:getGatewayEndpoint sequence=\"9\"><zeb:uuid>" + id +
                              "</zeb:uuid></zeb:getGatewayEndpoint>")));
}

TEST_F(GatewayEndpointTest, PriGatewayIsRenderedWithEveryField) {
  const std::string id = AddGateway(PriGatewayRequest("PRI1"));
  const std::string expected =
      "<return>\r\n<device  xsi:type=\"zeb:XPRIGateway\" ctiid=\"" + Column("SELECT CtiId FROM Device WHERE pkid = ?", id) +
      "\" uuid=\"" + id + "\">\r\n" + Element("name", "PRI1") + Element("description", "") +
      Element("product", "Digital Access PRI") + Element("model", "Digital Access PRI") + Element("class", "Gateway") +
      Element("protocol", "Digital Access PRI") + Element("protocolSide", "User") + DevicePoolElement() +
      Element("loadInformation", "DPRI.2-0-1") + Element("vendorConfig", "") + Element("versionStamp", "{STAMP}") +
      Element("networkLocale", "Japan") + RenderedPriFields() + "</device>\r\n</return>\r\n";
  EXPECT_EQ(Response("getGatewayEndpoint", expected), Get("PRI1"));
}

TEST_F(GatewayEndpointTest, T1GatewayKeepsEncodingAndPortsAndMaxPorts) {
  const std::string id = AddGateway(T1GatewayRequest("T1A", "u-law"));
  const std::string t1 = Get("T1A");
  const std::string portId = PortId("DigitalAccessT1Port", id, 5);
  EXPECT_NE(std::string::npos,
            t1.find(Element("networkLocale", "United_States") + Element("trunkSelectionOrder", "Top Down") +
                    Element("clockReference", "Internal") + Element("csuParam", "-7.5db") +
                    Element("digitSending", "MF") + Element("encode", "u-law") + Element("fdlChannel", "None") +
                    Element("framing", "ESF") + Element("maxPorts", "24") + "<ports>\r\n<port  uuid=\"" + portId +
                    "\">\r\n"))
      << t1;
  // The port ends with its vendor configuration: its caller id and endpoint id are stored only.
  EXPECT_NE(std::string::npos, t1.find("<timer>0</timer>\r\n</timers>\r\n" + Element("vendorConfig", "") +
                                       "</port>\r\n</ports>\r\n" + Element("yellowAlarm", "F-Bit") +
                                       Element("zeroSuppression", "B8ZS") + "</device>\r\n"))
      << t1;
  EXPECT_EQ("ep-5", Column("SELECT EndpointID FROM DigitalAccessT1Port WHERE fkDevice = ?", id));
  EXPECT_EQ("1", Column("SELECT Encode FROM DigitalAccessT1 WHERE fkDevice = ?", id));
  // A stored 0 renders A-law.
  Db().Execute("UPDATE DigitalAccessT1 SET Encode = 0 WHERE fkDevice = ?", {id});
  EXPECT_NE(std::string::npos, Get("T1A").find(Element("encode", "A-law")));
}

TEST_F(GatewayEndpointTest, SevenTimersSetSix) {
  const std::string id = AddGateway(AnalogGatewayRequest("AA7", AnalogPort(1, false)));
  EXPECT_EQ("6", Column("SELECT timer6 FROM AnalogAccessPort WHERE fkDevice = ?", id));
  EXPECT_EQ("1", Column("SELECT timer1 FROM AnalogAccessPort WHERE fkDevice = ?", id));
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
  EXPECT_EQ(Standard("removeGatewayEndpoint", id),
            Call("<removeGatewayEndpoint><uuid>" + id + "</uuid></removeGatewayEndpoint>"));
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
  const std::string portHead = "<callerIdEnable>true</callerIdEnable><callingPartySelection>Originator"
                               "</callingPartySelection><digitSending>DTMF</digitSending><expectedDigits>4"
                               "</expectedDigits>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addGatewayEndpoint/>", "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {add("<name/>"), "addGatewayEndpoint", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>X</name>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>X</name><product>Desk Phone 12</product>"), "addGatewayEndpoint", kInvalidValue,
       "The product type specified is not a Gateway."},
      {add("<name>X</name><product>Analog Access 2</product><class/>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. Found <class>, expecting <model>."},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Nope</protocol>"),
       "addGatewayEndpoint", 8, "Invalid Parameter: Nope"},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Analog Access</protocol>"
           "<protocolSide>User</protocolSide><callingSearchSpaceName>Nope</callingSearchSpaceName>"),
       "addGatewayEndpoint", kNotFound, "Calling search space not found."},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Analog Access</protocol>"
           "<protocolSide>User</protocolSide><locationName>HQ</locationName>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. Found <locationName>, expecting <devicePool> or "
                                              "<devicePoolName>."},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Analog Access</protocol>"
           "<protocolSide>User</protocolSide>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>X</name><product>Analog Access 2</product><model/><class/><protocol>Analog Access</protocol>"
           "<protocolSide>User</protocolSide><callingSearchSpace uuid=\"{00000000-0000-0000-0000-000000000001}\"/>"),
       "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <devicePool> or <devicePoolName>."},
      {add(head + "<locationId>x</locationId>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <location> or <locationName>."},
      {add(GatewayHead("X", "Analog Access 2", "Media Gateway Control") + "<country>Japan</country>"),
       "addGatewayEndpoint", kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {add(head + "<country/>"), "addGatewayEndpoint", kInvalidValue, "The element, <country>, must contain a value."},
      {add(head + "<country>Japan</country>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add(head + analog), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <ports>."},
      {add(head + analog + "<ports/>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <port>."},
      {add(head + analog + "<ports><port/></ports>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. No \"portNumber\" attribute found in <port>."},
      {add(head + analog + "<ports><port index=\"1\"/></ports>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. The <port> element requires an portNumber attribute."},
      {port("<attendantDN>1</attendantDN>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <callerIdEnable>."},
      {port("<callerIdEnable>yes</callerIdEnable>"), "addGatewayEndpoint", kInvalidValue,
       "Invalid boolean value: yes"},
      {port(portHead + "<finalDigits>3</finalDigits>"), "addGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. No \"significant\" attribute found in <finalDigits>."},
      {port(portHead + "<finalDigits significant=\"true\">3</finalDigits><presentationBit>Allowed</presentationBit>"
                       "<silenceSuppressionThreshold>Low</silenceSuppressionThreshold><smdiPortNumber>1"
                       "</smdiPortNumber><startDialProtocol>Wink</startDialProtocol><timers/>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. NULL element found, expecting 6 <timer> elements."},
      {port(portHead + "<finalDigits significant=\"true\">3</finalDigits><presentationBit>Allowed</presentationBit>"
                       "<silenceSuppressionThreshold>Low</silenceSuppressionThreshold><smdiPortNumber>1"
                       "</smdiPortNumber><startDialProtocol>Wink</startDialProtocol><timers><timer/></timers>"),
       "addGatewayEndpoint", kInvalidValue, "The element, <timer>, must contain a value."},
      {port(portHead + "<finalDigits significant=\"true\">3</finalDigits><presentationBit>Allowed</presentationBit>"
                       "<silenceSuppressionThreshold>Low</silenceSuppressionThreshold><smdiPortNumber>1"
                       "</smdiPortNumber><startDialProtocol>Wink</startDialProtocol><timers><t/></timers>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. Found <t>, expecting <timer>."},
      {port(portHead + "<finalDigits significant=\"true\">3</finalDigits><line index=\"1\"><label/><display/>"
                       "<dirn uuid=\"{00000000-0000-0000-0000-000000000001}\"/></line>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <ringSetting>."},
      // A later failure leaves nothing behind: the device is not written either.
      {add(head + analog + "<ports>" +
           AnalogPort(1, false) + "</ports>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <trunkSelectionOrder>."},
      {add(GatewayHead("X", "Digital Access T1", "Digital Access T1") + "<country>Japan</country>"
                                                                        "<trunkSelectionOrder>Top Down"
                                                                        "</trunkSelectionOrder>"),
       "addGatewayEndpoint", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <clockReference>."},
      {add(GatewayHead("X", "Digital Access T1", "Digital Access T1") + "<country>Japan</country>"
                                                                        "<trunkSelectionOrder>Top Down"
                                                                        "</trunkSelectionOrder><clockReference/>"),
       "addGatewayEndpoint", kInvalidValue, "The element, <clockReference>, must contain a value."},
      {"<updateGatewayEndpoint/>", "updateGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateGatewayEndpoint><id/></updateGatewayEndpoint>", "updateGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <uuid> or <name>."},
      {"<updateGatewayEndpoint><name>AA5</name><callingSearchSpaceName>Nope</callingSearchSpaceName>"
       "</updateGatewayEndpoint>",
       "updateGatewayEndpoint", kNotFound, "Calling Search Space not found."},
      {"<updateGatewayEndpoint><name>AA5</name><country/></updateGatewayEndpoint>", "updateGatewayEndpoint",
       kInvalidValue, "Then element, <country>, must have a value."},
      {"<updateGatewayEndpoint><name>AA5</name><t1/></updateGatewayEndpoint>", "updateGatewayEndpoint",
       kUnexpectedNode, "Unexpected element. Found <t1>, expecting <analog>."},
      // A device of another protocol is refused before any element is read, access section or not.
      {"<updateGatewayEndpoint><name>SEP1</name><analog/></updateGatewayEndpoint>", "updateGatewayEndpoint",
       kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {"<updateGatewayEndpoint><name>SEP1</name><description>changed</description></updateGatewayEndpoint>",
       "updateGatewayEndpoint", kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {"<updateGatewayEndpoint><name>SEP1</name><callingSearchSpaceName>Nope</callingSearchSpaceName>"
       "</updateGatewayEndpoint>",
       "updateGatewayEndpoint", kInvalidValue, "Invalid Device Protocol for an Analog or Digital Gateway."},
      {"<removeGatewayEndpoint/>", "removeGatewayEndpoint", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<removeGatewayEndpoint><name>Nope</name></removeGatewayEndpoint>", "removeGatewayEndpoint", kNotFound,
       "The specified Gateway was not found."},
      {"<removeGatewayEndpoint><name>SEP1</name></removeGatewayEndpoint>", "removeGatewayEndpoint", kNotFound,
       "The device specified is not a Gateway."},
      {"<getGatewayEndpoint><name>SEP1</name></getGatewayEndpoint>", "getGatewayEndpoint", kNotFound,
       "The device specified is not a Gateway."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
