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

// A unit or subunit of the product holding its list of subunits or endpoints, in a request or,
// rendered, as getMGCP writes it.
std::string Slot(const std::string& tag, int index, const std::string& product, const std::string& children,
                 bool rendered) {
  const std::string nl = rendered ? "\r\n" : "", list = tag == "unit" ? "subunits" : "endpoints";
  return "<" + tag + (rendered ? "  " : " ") + "index=\"" + std::to_string(index) + "\">" + nl + "<product>" +
         product + "</product>" + nl + "<" + list + ">" + nl + children + "</" + list + ">" + nl + "</" + tag + ">" +
         nl;
}
std::string Subunit(int index, const std::string& vic, const std::string& endpoints, bool rendered = false) {
  return Slot("subunit", index, vic, endpoints, rendered);
}
std::string Unit(int index, const std::string& module, const std::string& subunits, bool rendered = false) {
  return Slot("unit", index, module, subunits, rendered);
}

std::string GatewayRequest(const std::string& domain, const std::string& units) {
  return "<addMGCP><newMGCP><domainName>" + domain + "</domainName><description>Branch</description><product>"
         "Branch Gateway 2</product><model/><dialcoreGroupName>Default</dialcoreGroupName>" + units +
         "<scratch>s</scratch><vendorConfig>v</vendorConfig><versionStamp/><loadInformation>BG2.1</loadInformation>"
         "</newMGCP></addMGCP>";
}

class MGCPTest : public GatewayTest {
 protected:
  std::string DeviceId(const std::string& name) { return Column("SELECT pkid FROM Device WHERE Name = ?", name); }

  // The endpoint element of Endpoint(port, name) as getMGCP renders it.
  std::string RenderedEndpoint(int port, const std::string& name) {
    const std::string id = DeviceId(name);
    return "<endpoint  index=\"" + std::to_string(port) + "\">\r\n" + DeviceTag("device", "XAnalogGateway", id) +
           Identity(name, "", "MGCP Station", "Gateway", "Analog Access", "Network") +
           El("devicePoolName", "Default") + El("vendorConfig", "") + El("versionStamp", "{STAMP}") +
           El("networkLocale", "Germany") + El("trunkSelectionOrder", "Top Down") + El("helpURL", "") + "<ports>\r\n" +
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
  const std::string units = Unit(0, "Voice Network Module",
                                 Subunit(0, "Two-Port FXS", Endpoint(3, "EP-A") + Endpoint(1, "EP-B")) +
                                     Subunit(1, "Two-Port FXO", Endpoint(0, "EP-C"))) +
                            Unit(1, "High-Density Module",
                                 Subunit(0, "One-Port T1", Endpoint(2, "EP-D")) +
                                     Subunit(2, "Two-Port E&amp;M", Endpoint(5, "EP-E")));
  const std::string id = CallForId("addMGCP", GatewayRequest("gw1.example", "<units>" + units + "</units>"));
  const std::string expected =
      "<return>\r\n<mgcp  xsi:type=\"zeb:XMGCP\" uuid=\"" + id + "\">\r\n" + El("domainName", "gw1.example") +
      El("description", "Branch") + El("product", "Branch Gateway 2") +
      El("model", "Branch Gateway 2") + El("dialcoreGroupName", "Default") + "<units>\r\n" +
      Unit(0, "Voice Network Module",
           Subunit(0, "Two-Port FXS", RenderedEndpoint(1, "EP-B") + RenderedEndpoint(3, "EP-A"), true) +
               Subunit(1, "Two-Port FXO", RenderedEndpoint(0, "EP-C"), true), true) +
      Unit(1, "High-Density Module",
           Subunit(0, "One-Port T1", RenderedEndpoint(2, "EP-D"), true) +
               Subunit(2, "Two-Port E&amp;M", RenderedEndpoint(5, "EP-E"), true), true) +
      "</units>\r\n" + El("scratch", "s") + El("vendorConfig", "v") + El("versionStamp", "{STAMP}") +
      El("loadInformation", "BG2.1") + "</mgcp>\r\n</return>\r\n";
  EXPECT_EQ(Response("getMGCP", expected),
            WithoutStamp(Call("<getMGCP><domainName>GW1.example</domainName></getMGCP>")));
  EXPECT_EQ(Response("getMGCP", expected),
            WithoutStamp(Call("<getMGCP><uuid>" + id + "</uuid></getMGCP>")));
  // Each unit's row, then its subunits': ports 3 and 1 leave the first subunit beginning at 1.
  // A unit's own row (no subunit) sorts before its subunits' on both back ends.
  EXPECT_EQ("0,1,0,0,2,5", Joined("SELECT BeginPort FROM MGCPSlotConfig WHERE fkMGCP = ? "
                                  "ORDER BY Slot, COALESCE(Subunit, -1)", id));
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

TEST_F(MGCPTest, UpdateChangesTheFieldsAndRemoveTakesEverythingOfTheGatewayAndNothingElse) {
  const std::string id = CallForId(
      "addMGCP", GatewayRequest("gw3", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-X"))) + "</units>"));
  const std::string other = CallForId(
      "addMGCP", GatewayRequest("gw4", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-Y"))) + "</units>"));
  EXPECT_EQ(Standard("updateMGCP", other),
            Call("<updateMGCP><domainName>gw4</domainName><newDomainName>gw6</newDomainName><description/>"
                 "<product>x</product><model/><scratch>t</scratch><vendorConfig>w</vendorConfig><versionStamp/>"
                 "<loadInformation/></updateMGCP>"));
  EXPECT_EQ("gw6||t|w|", Column("SELECT DomainName || '|' || Description || '|' || Scratch || '|' || xml || '|' || "
                                "SpecialLoadInformation FROM MGCP WHERE pkid = ?", other));
  EXPECT_EQ(Standard("removeMGCP", id), Call("<removeMGCP><domainName>gw3</domainName></removeMGCP>"));
  EXPECT_EQ("", DeviceId("EP-X"));
  EXPECT_EQ("0", Count("MGCPSlotConfig", id));
  EXPECT_EQ("0", Count("MGCPDeviceMember", id));
  EXPECT_NE("", DeviceId("EP-Y"));
  EXPECT_EQ("2", Count("MGCPSlotConfig", other));
}

TEST_F(MGCPTest, AnAddThatFailsPartWayLeavesNothingAndItsCorrectedRetrySucceeds) {
  // The second unit repeats the first one's index, after the gateway and the first unit were read.
  const std::string before = Snapshot();
  ExpectPlainFault(GatewayRequest("gw7", "<units>" + Unit(2, "None", "") + Unit(2, "None", "") + "</units>"),
                   "MGCPSlotConfig already has an entry with unit(2)");
  EXPECT_EQ(before, Snapshot());
  const std::string id = CallForId("addMGCP", GatewayRequest("gw7", "<units>" + Unit(2, "None", "") + "</units>"));
  // An endpoint whose device was made before a later endpoint, or an element after it, failed.
  ExpectRefused("<addMGCPSubunit><domainName>gw7</domainName><unit index=\"2\"/>" +
                    Subunit(0, "None", Endpoint(1, "EP-OK") + Endpoint(2, "EP-OK")) + "</addMGCPSubunit>",
                "addMGCPSubunit", 3, "A Device named \"EP-OK\" already exists.");
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
  CallForId("addMGCP", GatewayRequest("gw8", "<units>" + Unit(0, "None", Subunit(0, "None", Endpoint(1, "EP-Z"))) +
                                                     "</units>"));
  CallForId("addMGCP", GatewayRequest("gw9", ""));
  ExpectAllRefused(zebd_, {
      {"<addMGCP/>", kUnexpectedNode, "Found NULL, expecting <newMGCP>"},
      {"<addMGCP><m/></addMGCP>", kUnexpectedNode, "  Found NULL, expecting <domainName>"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Nope</product></newMGCP></addMGCP>", kInvalidValue,
       "Unknown product type: Nope"},
      {"<addMGCP><newMGCP><domainName>n</domainName><product>Branch Gateway 2</product><model/>"
       "<dialcoreGroupName>Nope</dialcoreGroupName><units/></newMGCP></addMGCP>",
       kNotFound, "Dialcore Group not found"},
      {"<addMGCPUnit><domainName>nope</domainName></addMGCPUnit>", kNotFound,
       "MGCP gateway device not found."},
      {"<addMGCPUnit><domainName>gw8</domainName><unit index=\"1\"><product>Nope</product></unit>"
       "</addMGCPUnit>",
       kInvalidValue, "Invalid product type specified for <unit>: Nope"},
      {"<updateMGCP><domainName>gw8</domainName><units/></updateMGCP>", kInvalidValue,
       "Cannot update <units>. Use remove and add."},
  });

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
      // Two endpoints of one request on the same port.
      {"<addMGCPSubunit><domainName>gw8</domainName><unit index=\"0\"/>" +
           Subunit(1, "None", Endpoint(2, "EP-A") + Endpoint(2, "EP-B")) + "</addMGCPSubunit>",
       "MGCPDeviceMember table already has entry with slot(0), subunit(1), port(2)"},
      {"<removeMGCPUnit><domainName>gw8</domainName><unit index=\"7\"/></removeMGCPUnit>",
       "MGCPSlotConfig table does not have unit(7)"},
      // A gateway without any unit fails the unit check itself.
      {"<removeMGCPUnit><domainName>gw9</domainName><unit index=\"0\"/></removeMGCPUnit>",
       "MGCPSlotConfig table does not already have the unit(0)"},
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
