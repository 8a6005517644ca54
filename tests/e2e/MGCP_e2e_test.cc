// The ten MGCP gateway methods through real HTTP: the gateway tree rendered by getMGCP, adds
// that fail part-way and leave nothing behind, and the refusals.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

// An endpoint whose device is an analog MGCP station with port 1.
std::string Endpoint(int port, const std::string& name) {
  return "<endpoint index=\"" + std::to_string(port) + "\">" + GatewayHead(name, "MGCP Station", "Analog Access") +
         "<country>Germany</country><maxPorts>1</maxPorts><ports>" + AnalogPort(1, false) +
         "</ports><trunkSelectionOrder>Top Down</trunkSelectionOrder></endpoint>";
}

std::string Subunit(int index, const std::string& vic, const std::string& endpoints) {
  return "<subunit index=\"" + std::to_string(index) + "\"><product>" + vic + "</product><endpoints>" + endpoints +
         "</endpoints></subunit>";
}

std::string Unit(int index, const std::string& module, const std::string& subunits) {
  return "<unit index=\"" + std::to_string(index) + "\"><product>" + module + "</product><subunits>" + subunits +
         "</subunits></unit>";
}

std::string GatewayRequest(const std::string& domain, const std::string& units) {
  return "<addMGCP><newMGCP><domainName>" + domain + "</domainName><description>Branch</description><product>"
         "Branch Gateway 2</product><model/><dialcoreGroupName>Default</dialcoreGroupName>" + units +
         "<scratch>s</scratch><vendorConfig>v</vendorConfig><versionStamp/><loadInformation>BG2.1</loadInformation>"
         "</newMGCP></addMGCP>";
}

// Every version stamp replaced by {STAMP}.
std::string WithoutStamps(std::string response) {
  const std::string open = "<versionStamp>", close = "</versionStamp>";
  for (std::size_t at = response.find(open); at != std::string::npos; at = response.find(open, at + 1)) {
    const std::size_t end = response.find(close, at);
    response.replace(at + open.size(), end - at - open.size(), "{STAMP}");
  }
  return response;
}

class MGCPTest : public GatewayTest {
 protected:
  std::string DeviceId(const std::string& name) { return Column("SELECT pkid FROM Device WHERE Name = ?", name); }

  // The endpoint element of Endpoint(port, name) as getMGCP renders it.
  std::string RenderedEndpoint(int port, const std::string& name) {
    const std::string id = DeviceId(name);
    return "<endpoint  index=\"" + std::to_string(port) + "\">\r\n<device  xsi:type=\"zeb:XAnalogGateway\" ctiid=\"" +
           Column("SELECT CtiId FROM Device WHERE pkid = ?", id) + "\" uuid=\"" + id + "\">\r\n" +
           Element("name", name) + Element("description", "") + Element("product", "MGCP Station") +
           Element("model", "MGCP Station") + Element("class", "Gateway") + Element("protocol", "Analog Access") +
           Element("protocolSide", "Network") + Element("devicePoolName", "Default") + Element("vendorConfig", "") +
           Element("versionStamp", "{STAMP}") + Element("networkLocale", "Germany") +
           Element("trunkSelectionOrder", "Top Down") + Element("helpURL", "") + "<ports>\r\n" +
           RenderedAnalogPort(PortId("AnalogAccessPort", id, 1), 1, "") + "</ports>\r\n</device>\r\n</endpoint>\r\n";
  }

  std::string Count(const std::string& table, const std::string& gateway) {
    return Column("SELECT COUNT(*) FROM " + table + " WHERE fkMGCP = ?", gateway);
  }

  void ExpectPlainFault(const std::string& request, const std::string& text) {
    EXPECT_EQ(Envelope(PlainFault("SOAP-ENV:Client", text)), Call(request)) << request;
  }
};

TEST_F(MGCPTest, GetMGCPRendersTheGatewayTree) {
  const std::string id = CallForId(
      "addMGCP", GatewayRequest("gw1.example", "<units>" +
                                                   Unit(0, "Voice Network Module",
                                                        Subunit(0, "Two-Port FXS", Endpoint(3, "EP-A") + Endpoint(1, "EP-B")) +
                                                            Subunit(1, "Two-Port FXO", Endpoint(0, "EP-C"))) +
                                                   Unit(1, "High-Density Module",
                                                        Subunit(0, "One-Port T1", Endpoint(2, "EP-D")) +
                                                            Subunit(2, "Two-Port E&amp;M", Endpoint(5, "EP-E"))) +
                                                   "</units>"));
  auto subunit = [](int index, const std::string& vic, const std::string& endpoints) {
    return "<subunit  index=\"" + std::to_string(index) + "\">\r\n" + Element("product", vic) + "<endpoints>\r\n" +
           endpoints + "</endpoints>\r\n</subunit>\r\n";
  };
  auto unit = [](int index, const std::string& module, const std::string& subunits) {
    return "<unit  index=\"" + std::to_string(index) + "\">\r\n" + Element("product", module) + "<subunits>\r\n" +
           subunits + "</subunits>\r\n</unit>\r\n";
  };
  const std::string expected =
      "<return>\r\n<mgcp  xsi:type=\"zeb:XMGCP\" uuid=\"" + id + "\">\r\n" + Element("domainName", "gw1.example") +
      Element("description", "Branch") + Element("product", "Branch Gateway 2") +
      Element("model", "Branch Gateway 2") + Element("dialcoreGroupName", "Default") + "<units>\r\n" +
      unit(0, "Voice Network Module",
           subunit(0, "Two-Port FXS", RenderedEndpoint(1, "EP-B") + RenderedEndpoint(3, "EP-A")) +
               subunit(1, "Two-Port FXO", RenderedEndpoint(0, "EP-C"))) +
      unit(1, "High-Density Module",
           subunit(0, "One-Port T1", RenderedEndpoint(2, "EP-D")) +
               subunit(2, "Two-Port E&amp;M", RenderedEndpoint(5, "EP-E"))) +
      "</units>\r\n" + Element("scratch", "s") + Element("vendorConfig", "v") + Element("versionStamp", "{STAMP}") +
      Element("loadInformation", "BG2.1") + "</mgcp>\r\n</return>\r\n";
  EXPECT_EQ(Response("getMGCP", expected),
            WithoutStamps(Call("<getMGCP><domainName>GW1.example</domainName></getMGCP>")));
  EXPECT_EQ(Response("getMGCP", expected, "4"),
            WithoutStamps(Call("<zeb:getMGCP sequence=\"4\"><zeb:uuid>" + id + "</zeb:uuid></zeb:getMGCP>")));
  // Ports 3 and 1 leave the first subunit beginning at 1; the other subunits keep their own.
  EXPECT_EQ("1", Column("SELECT BeginPort FROM MGCPSlotConfig WHERE Slot = 0 AND Subunit = 0 AND fkMGCP = ?", id));
  EXPECT_EQ("0", Column("SELECT BeginPort FROM MGCPSlotConfig WHERE Slot = 0 AND Subunit = 1 AND fkMGCP = ?", id));
  EXPECT_EQ("5", Column("SELECT BeginPort FROM MGCPSlotConfig WHERE Slot = 1 AND Subunit = 2 AND fkMGCP = ?", id));
}

TEST_F(MGCPTest, UnitsSubunitsAndEndpointsAreAddedAndRemovedWithTheirDevices) {
  const std::string id = CallForId("addMGCP", GatewayRequest("gw2", ""));
  EXPECT_EQ(Standard("addMGCPUnit", id),
            Call("<addMGCPUnit><domainName>gw2</domainName>" + Unit(1, "Voice Network Module", "") + "</addMGCPUnit>"));
  EXPECT_EQ(Standard("addMGCPSubunit", id),
            Call("<addMGCPSubunit><uuid>" + id + "</uuid><unit index=\"1\"/>" +
                 Subunit(0, "Two-Port FXS", Endpoint(4, "EP-1")) + "</addMGCPSubunit>"));
  EXPECT_EQ(Standard("addMGCPEndpoint", id),
            Call("<addMGCPEndpoint><domainName>gw2</domainName><unit index=\"1\"/><subunit index=\"0\"/>" +
                 Endpoint(2, "EP-2") + "</addMGCPEndpoint>"));
  EXPECT_EQ("2", Column("SELECT BeginPort FROM MGCPSlotConfig WHERE Subunit = 0 AND fkMGCP = ?", id));
  EXPECT_EQ(Standard("removeMGCPEndpoint", id),
            Call("<removeMGCPEndpoint><domainName>gw2</domainName><unit index=\"1\"/><subunit index=\"0\"/>"
                 "<endpoint index=\"2\"/></removeMGCPEndpoint>"));
  EXPECT_EQ("", DeviceId("EP-2"));
  EXPECT_EQ(Standard("removeMGCPUnit", id),
            Call("<removeMGCPUnit><domainName>gw2</domainName><unit index=\"1\"/></removeMGCPUnit>"));
  EXPECT_EQ("", DeviceId("EP-1"));
  EXPECT_EQ("0", Count("MGCPSlotConfig", id));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM AnalogAccessPort WHERE pkid <> ?", ""));
}

TEST_F(MGCPTest, RemoveMGCPTakesEverythingOfTheGatewayAndNothingElse) {
  const std::string id = CallForId(
      "addMGCP", GatewayRequest("gw3", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-X"))) + "</units>"));
  const std::string other = CallForId(
      "addMGCP", GatewayRequest("gw4", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-Y"))) + "</units>"));
  EXPECT_EQ(Standard("removeMGCP", id), Call("<removeMGCP><domainName>gw3</domainName></removeMGCP>"));
  EXPECT_EQ("", DeviceId("EP-X"));
  EXPECT_EQ("0", Count("MGCPSlotConfig", id));
  EXPECT_EQ("0", Count("MGCPDeviceMember", id));
  EXPECT_NE("", DeviceId("EP-Y"));
  EXPECT_EQ("2", Count("MGCPSlotConfig", other));
}

TEST_F(MGCPTest, UpdateChangesTheGatewayFields) {
  const std::string id = CallForId("addMGCP", GatewayRequest("gw5", ""));
  EXPECT_EQ(Standard("updateMGCP", id),
            Call("<updateMGCP><domainName>gw5</domainName><newDomainName>gw6</newDomainName><description/>"
                 "<product>x</product><model/><scratch>t</scratch><vendorConfig>w</vendorConfig><versionStamp/>"
                 "<loadInformation/></updateMGCP>"));
  EXPECT_EQ("gw6||t|w|", Column("SELECT DomainName || '|' || Description || '|' || Scratch || '|' || xml || '|' || "
                                "SpecialLoadInformation FROM MGCP WHERE pkid = ?", id));
}

TEST_F(MGCPTest, AnAddThatFailsPartWayLeavesNothingAndItsCorrectedRetrySucceeds) {
  // The second unit repeats the first one's index, after the gateway and the first unit were read.
  std::string before = Snapshot();
  ExpectPlainFault(GatewayRequest("gw7", "<units>" + Unit(2, "None", "") + Unit(2, "None", "") + "</units>"),
                   "MGCPSlotConfig already has an entry with unit(2)");
  EXPECT_EQ(before, Snapshot());
  const std::string id = CallForId("addMGCP", GatewayRequest("gw7", "<units>" + Unit(2, "None", "") + "</units>"));
  // An endpoint whose device was made before a later endpoint, or an element after it, failed.
  before = Snapshot();
  EXPECT_NE(std::string::npos,
            Call("<addMGCPSubunit><domainName>gw7</domainName><unit index=\"2\"/>" +
                 Subunit(0, "None", Endpoint(1, "EP-OK") + Endpoint(2, "EP-OK")) + "</addMGCPSubunit>")
                .find("A Device named \"EP-OK\" already exists."));
  EXPECT_EQ(before, Snapshot());
  CallForId("addMGCPSubunit", "<addMGCPSubunit><domainName>gw7</domainName><unit index=\"2\"/>" +
                                  Subunit(0, "None", "") + "</addMGCPSubunit>");
  ExpectRefused("<addMGCPEndpoint><domainName>gw7</domainName><unit index=\"2\"/><subunit index=\"0\"/>" +
                    Endpoint(1, "EP-OK") + "<extra/></addMGCPEndpoint>",
                "addMGCPEndpoint", kUnexpectedNode,
                "Unexpected element. <extra> is not a valid element of this request type");
  EXPECT_EQ(Standard("addMGCPEndpoint", id),
            Call("<addMGCPEndpoint><domainName>gw7</domainName><unit index=\"2\"/><subunit index=\"0\"/>" +
                 Endpoint(1, "EP-OK") + "</addMGCPEndpoint>"));
  EXPECT_EQ("1", Count("MGCPDeviceMember", id));
}

TEST_F(MGCPTest, RefusalsNameTheProblem) {
  const std::string id =
      CallForId("addMGCP", GatewayRequest("gw8", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-Z"))) +
                                                     "</units>"));
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addMGCP/>", "addMGCP", kUnexpectedNode, "Unexpected element. Found NULL, expecting <newMGCP>"},
      {"<addMGCP><m/></addMGCP>", "addMGCP", kUnexpectedNode, "Unexpected element.   Found NULL, expecting <domainName>"},
      {"<addMGCP><newMGCP><domainName/></newMGCP></addMGCP>", "addMGCP", kInvalidValue,
       "The element, <domainName>, must contain a value"},
      {"<addMGCP><newMGCP><domainName>n</domainName></newMGCP></addMGCP>", "addMGCP", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <description> or <product>"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Nope</product></newMGCP></addMGCP>", "addMGCP", kInvalidValue,
       "Unknown product type: Nope"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Branch Gateway 2</product></newMGCP></addMGCP>", "addMGCP",
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <model>"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Branch Gateway 2</product><model/><dialcoreGroup/></newMGCP>"
       "</addMGCP>",
       "addMGCP", kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <dialcoreGroup>"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Branch Gateway 2</product><model/><dialcoreGroupName>Nope"
       "</dialcoreGroupName><units/></newMGCP></addMGCP>",
       "addMGCP", kNotFound, "Dialcore Group not found"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Branch Gateway 2</product><model/><dialcoreGroupName>Default"
       "</dialcoreGroupName></newMGCP></addMGCP>",
       "addMGCP", kUnexpectedNode, "Unexpected element. NULL element found, expecting more elements."},
      {"<addMGCPUnit/>", "addMGCPUnit", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <domainName> or <uuid>"},
      {"<addMGCPUnit><domainName>nope</domainName></addMGCPUnit>", "addMGCPUnit", kNotFound,
       "MGCP gateway device not found."},
      {"<addMGCPUnit><domainName>gw8</domainName></addMGCPUnit>", "addMGCPUnit", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <unit>"},
      {"<addMGCPUnit><domainName>gw8</domainName><unit/></addMGCPUnit>", "addMGCPUnit", kUnexpectedNode,
       "Unexpected element. No \"index\" attribute found in <unit>"},
      {"<addMGCPUnit><domainName>gw8</domainName><unit id=\"1\"/></addMGCPUnit>", "addMGCPUnit", kUnexpectedNode,
       "Unexpected element. The <unit> element requires an index attribute"},
      {"<addMGCPUnit><domainName>gw8</domainName><unit index=\"1\"/></addMGCPUnit>", "addMGCPUnit", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <product> for unit"},
      {"<addMGCPUnit><domainName>gw8</domainName><unit index=\"1\"><product>Nope</product></unit></addMGCPUnit>",
       "addMGCPUnit", kInvalidValue, "Invalid product type specified for <unit>: Nope"},
      {"<updateMGCP/>", "updateMGCP", kUnexpectedNode,
       "Unexpected element. NULL element found.  Expecting <domainName> or <uuid>"},
      {"<updateMGCP><domainName>gw8</domainName><units/></updateMGCP>", "updateMGCP", kInvalidValue,
       "Cannot update <units>. Use remove and add."},
      {"<updateMGCP><domainName>gw8</domainName><extra/></updateMGCP>", "updateMGCP", kUnexpectedNode,
       "Unexpected element. <extra> is not a valid element of this request type"},
      {"<getMGCP><id/></getMGCP>", "getMGCP", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <uuid> or <domainName>."},
      {"<removeMGCPUnit><uuid>" + id + "</uuid></removeMGCPUnit>", "removeMGCPUnit", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <unit>"},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);

  struct PlainCase {
    std::string request, text;
  } plain[] = {
      {GatewayRequest("GW8", ""), "Insert Failed. DomainName already exists"},
      {"<addMGCPUnit><domainName>gw8</domainName>" + Unit(0, "None", "") + "</addMGCPUnit>",
       "MGCPSlotConfig already has an entry with unit(0)"},
      {"<addMGCPSubunit><domainName>gw8</domainName><unit index=\"3\"/></addMGCPSubunit>",
       "MGCPSlotConfig table does not already have unit(3)"},
      {"<addMGCPSubunit><domainName>gw8</domainName><unit index=\"0\"/>" + Subunit(0, "None", "") +
           "</addMGCPSubunit>",
       "MGCPSlotConfig already has an entry with unit(0) and subunit(0)"},
      {"<addMGCPEndpoint><domainName>gw8</domainName><unit index=\"0\"/><subunit index=\"4\"/></addMGCPEndpoint>",
       "MGCPSlotConfig table does not already have the unit(0) and subunit(4)"},
      {"<addMGCPEndpoint><domainName>gw8</domainName><unit index=\"0\"/><subunit index=\"0\"/>" +
           Endpoint(1, "EP-NEW") + "</addMGCPEndpoint>",
       "MGCPDeviceMember table already has entry with slot(0), subunit(0), port(1)"},
      {"<removeMGCPUnit><domainName>gw8</domainName><unit index=\"7\"/></removeMGCPUnit>",
       "MGCPSlotConfig table does not have unit(7)"},
      {"<removeMGCPSubunit><domainName>gw8</domainName><unit index=\"0\"/><subunit index=\"9\"/></removeMGCPSubunit>",
       "Subunit not found"},
      {"<removeMGCPEndpoint><domainName>gw8</domainName><unit index=\"0\"/><subunit index=\"0\"/><endpoint "
       "index=\"9\"/></removeMGCPEndpoint>",
       "Endpoint not found"},
  };
  for (const PlainCase& c : plain) {
    const std::string before = Snapshot();
    ExpectPlainFault(c.request, c.text);
    EXPECT_EQ(before, Snapshot()) << c.request;
  }
}

}  // namespace
}  // namespace zeb::test
