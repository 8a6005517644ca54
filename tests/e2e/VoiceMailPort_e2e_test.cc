// addVoiceMailPort, updateVoiceMailPort, removeVoiceMailPort and getVoiceMailPort through real
// HTTP.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

// The elements of a port request from name to the device pool; the product named is not stored.
std::string PortHead(const std::string& name, const std::string& product = "Desk Phone 12") {
  return "<name>" + name + "</name><product>" + product + "</product><model/><class/><protocol>Station</protocol>"
         "<protocolSide>User</protocolSide><devicePoolName>Default</devicePoolName>";
}

const char kLine1000[] =
    "<line index=\"1\"><label>VM 1</label><display>Voice</display><dirn><pattern>1000</pattern><usage>Device</usage>"
    "<routePartitionName>Internal</routePartitionName></dirn><ringSetting>Ring</ringSetting></line>";

class VoiceMailPortTest : public GatewayTest {
 protected:
  std::string AddPort(const std::string& content) {
    return CallForId("addVoiceMailPort", "<addVoiceMailPort><voiceMailPort>" + content +
                                             "</voiceMailPort></addVoiceMailPort>");
  }
  std::string LineOf(const std::string& device) {
    return Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", device);
  }
};

TEST_F(VoiceMailPortTest, PortIsRenderedWithItsReferencesSettingsAndLine) {
  const std::string location = AddNamed("Location", "HQ");
  AddNamed("MediaResourceList", "MRL1");
  const std::string north = AddNamed("AARNeighborhood", "North");
  AddCSS("AarCss", "Internal");
  const std::string id = AddPort(
      "<name>VM1</name><description>Port &amp; one</description><productInfo name=\"Desk Phone 40\"/><model/><class/>"
      "<protocol>Station</protocol><protocolSide>Network</protocolSide><devicePoolName>Default</devicePoolName>"
      "<locationName>HQ</locationName><mediaResourceListName>MRL1</mediaResourceListName>"
      "<automatedAlternateRoutingCSSName>AarCss</automatedAlternateRoutingCSSName><aarNeighborhoodName>North"
      "</aarNeighborhoodName><loadInformation>VM.1-0</loadInformation><vendorConfig>cfg</vendorConfig><versionStamp/>"
      "<traceFlag>true</traceFlag>" + std::string(kLine1000));
  const std::string expected =
      "<return>\r\n<voiceMailPort  xsi:type=\"zeb:XVoiceMailPort\" ctiid=\"" +
      Column("SELECT CtiId FROM Device WHERE pkid = ?", id) + "\" uuid=\"" + id + "\">\r\n" + Element("name", "VM1") +
      Element("description", "Port &amp; one") + Element("product", "Voice Mail Port") +
      Element("model", "Voice Mail Port") + Element("class", "Voice Mail Port") + Element("protocol", "Station") +
      Element("protocolSide", "Network") + DevicePoolElement() + "<location  uuid=\"" + location + "\">\r\n" +
      Element("name", "HQ") + Element("kbits", "0") + "</location>\r\n" + Element("mediaResourceListName", "MRL1") +
      Element("automatedAlternateRoutingCSSName", "AarCss") + "<aarNeighborhood  uuid=\"" + north + "\">\r\n" +
      Element("name", "North") + "</aarNeighborhood>\r\n" + Element("loadInformation", "VM.1-0") +
      Element("vendorConfig", "cfg") + Element("versionStamp", "{STAMP}") + Element("traceFlag", "true") +
      "<line  uuid=\"" + LineOf(id) + "\" index=\"1\">\r\n" + Element("label", "VM 1") + Element("display", "Voice") +
      "<dirn  uuid=\"" + dn1000_ + "\"></dirn>\r\n" + Element("ringSetting", "Ring") +
      Element("consecutiveRingSetting", "Use System Default") + Element("e164Mask", "") +
      Element("dialPlanWizardId", "0") + Element("mwlPolicy", "Use System Policy") + "</line>\r\n" +
      "</voiceMailPort>\r\n</return>\r\n";
  EXPECT_EQ(Response("getVoiceMailPort", expected),
            WithoutStamp(Call("<getVoiceMailPort><name>vm1</name></getVoiceMailPort>")));
  // By identifier, with prefixed elements and a sequence.
  EXPECT_EQ(Response("getVoiceMailPort", expected, "4"),
            WithoutStamp(Call("<zeb:getVoiceMailPort sequence=\"4\"><zeb:uuid>" + id +
                              "</zeb:uuid></zeb:getVoiceMailPort>")));
  // Whatever product the request names, the port is product 27.
  EXPECT_EQ("27|8|85", Column("SELECT tkProduct || '|' || tkClass || '|' || tkModel FROM Device WHERE pkid = ?", id));
}

TEST_F(VoiceMailPortTest, UpdateChangesNamedFieldsAndReplacesTheLine) {
  const std::string dn1001 = AddNumber("1001", internal_);
  AddNamed("Location", "HQ");
  const std::string id = AddPort(PortHead("VM2") + "<locationName>HQ</locationName><traceFlag>true</traceFlag>" +
                                 std::string(kLine1000));
  EXPECT_EQ(Standard("updateVoiceMailPort", id),
            Call("<updateVoiceMailPort><name>VM2</name><newName>VM3</newName><description>new</description>"
                 "<devicePoolName>Default</devicePoolName><locationName/><traceFlag>false</traceFlag>"
                 "<line index=\"2\"><label/><display/><dirn uuid=\"" + dn1001 + "\"/><ringSetting>Disable"
                 "</ringSetting></line></updateVoiceMailPort>"));
  EXPECT_EQ("VM3|new||0", Column("SELECT Name || '|' || Description || '|' || COALESCE(fkLocation, '') || '|' || "
                                 "DeviceLevelTraceFlag FROM Device WHERE pkid = ?", id));
  EXPECT_EQ(dn1001 + "|2|1", Joined("SELECT fkNumPlan || '|' || NumPlanIndex || '|' || tkRingSetting "
                                    "FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  // Without <line> the line appearances stay.
  EXPECT_EQ(Standard("updateVoiceMailPort", id, "7"),
            Call("<zeb:updateVoiceMailPort sequence=\"7\"><zeb:uuid>" + id + "</zeb:uuid><zeb:description/>"
                 "</zeb:updateVoiceMailPort>"));
  EXPECT_EQ("1", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(VoiceMailPortTest, RemoveTakesTheLineAppearancesAlong) {
  const std::string id = AddPort(PortHead("VM4") + kLine1000);
  EXPECT_EQ(Standard("removeVoiceMailPort", id), Call("<removeVoiceMailPort><name>VM4</name></removeVoiceMailPort>"));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(VoiceMailPortTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPort(PortHead("VM5") + kLine1000);
  AddPhone(PhoneHead("SEP1"));
  auto add = [](const std::string& content) {
    return "<addVoiceMailPort><voiceMailPort>" + content + "</voiceMailPort></addVoiceMailPort>";
  };
  auto update = [](const std::string& content) {
    return "<updateVoiceMailPort><name>VM5</name>" + content + "</updateVoiceMailPort>";
  };
  const std::string identity =
      "<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide>";
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addVoiceMailPort/>", "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <voiceMailPort>"},
      {add(""), "addVoiceMailPort", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {add("<name/>"), "addVoiceMailPort", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>X</name><description/>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>X</name><model/>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found <model>, expecting <product> or <productInfo>."},
      {add("<name>X</name><product/><class/>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found <class>, expecting <model>."},
      {add("<name>X</name><product/><model/><class/><protocol/>"), "addVoiceMailPort", kInvalidValue,
       "The element, <protocol>, must contain a value."},
      {add("<name>X</name><product/><model/><class/><protocol>Station</protocol>"), "addVoiceMailPort",
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting more elements."},
      {add("<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide>Left</protocolSide>"),
       "addVoiceMailPort", 8, "Invalid Parameter: Left"},
      {add(identity), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {add(identity + "<callingSearchSpaceName>AarCss</callingSearchSpaceName>"), "addVoiceMailPort", kNotFound,
       "Calling search space not found."},
      {add(identity + "<callingSearchSpaceId>x</callingSearchSpaceId>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <callingSearchSpace> or <callingSearchSpaceName."},
      {add(identity + "<locationName>HQ</locationName>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found <locationName>, expecting <devicePool> or <devicePoolName>."},
      {add(identity + "<devicePoolName/>"), "addVoiceMailPort", kInvalidValue,
       "The element, <devicePoolName>, must contain a value."},
      {add(PortHead("X") + "<traceFlag/>"), "addVoiceMailPort", kInvalidValue,
       "The element, <traceFlag>, must contain a value."},
      {add(PortHead("X")), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <line> or <lineIdentifier>"},
      {add(PortHead("X") + "<lines/>"), "addVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found <lines>, expecting <line> or <lineIdentifier>."},
      {add(PortHead("X") + "<line index=\"1\"><label/><display/><dirn uuid=\"" + dn1000_ + "\"/></line>"),
       "addVoiceMailPort", kUnexpectedNode, "Unexpected element. NULL element found. Expecting <ringSetting>."},
      // The device and its line are one unit: a line that cannot be written leaves no device.
      {add(PortHead("X") + "<line index=\"1\"><label/><display/><dirn uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"
                           "<ringSetting>Ring</ringSetting></line>"),
       "addVoiceMailPort", 5,
       "The Number Plan entry {00000000-0000-0000-0000-00000000DEAD} referred to by this line appearance does not "
       "exist."},
      {add(PortHead("vm5") + kLine1000), "addVoiceMailPort", 3, "A Device named \"vm5\" already exists."},
      {"<updateVoiceMailPort/>", "updateVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateVoiceMailPort><name/></updateVoiceMailPort>", "updateVoiceMailPort", kInvalidValue,
       "The element, <name>, must have a value."},
      {"<updateVoiceMailPort><uuid/></updateVoiceMailPort>", "updateVoiceMailPort", kInvalidValue,
       "The element, <uuid>, must have a value."},
      {"<updateVoiceMailPort><id/></updateVoiceMailPort>", "updateVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <uuid> or <name>."},
      {update("<newName/>"), "updateVoiceMailPort", kInvalidValue, "The element, <newName>, must contain a value."},
      {update("<devicePoolId/>"), "updateVoiceMailPort", kInvalidValue,
       "Then element, <devicePoolId>, must have a value."},
      {update("<devicePoolName/>"), "updateVoiceMailPort", kInvalidValue,
       "Then element, <devicePoolName>, must have a value."},
      {update("<devicePoolName>Nope</devicePoolName>"), "updateVoiceMailPort", kNotFound, "Device Pool not found."},
      {update("<callingSearchSpaceName>Nope</callingSearchSpaceName>"), "updateVoiceMailPort", kNotFound,
       "Calling Search Space not found."},
      {update("<traceFlag/>"), "updateVoiceMailPort", kInvalidValue, "Then element, <traceFlag>, must have a value."},
      {update("<line index=\"1\"><label/></line>"), "updateVoiceMailPort", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <display>"},
      {update("<country/>"), "updateVoiceMailPort", kUnexpectedNode,
       "Unexpected element. <country> is not a valid element of this request type."},
      {"<removeVoiceMailPort/>", "removeVoiceMailPort", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<removeVoiceMailPort><name>Nope</name></removeVoiceMailPort>", "removeVoiceMailPort", kNotFound,
       "The specified VoiceMailPort was not found."},
      {"<removeVoiceMailPort><name>SEP1</name></removeVoiceMailPort>", "removeVoiceMailPort", kNotFound,
       "The device specified is not a Voice Mail Port."},
      {"<getVoiceMailPort><uuid>{00000000-0000-0000-0000-0000000000AB}</uuid></getVoiceMailPort>",
       "getVoiceMailPort", kNotFound, "The specified VoiceMailPort was not found."},
      {"<getVoiceMailPort><name>SEP1</name></getVoiceMailPort>", "getVoiceMailPort", kNotFound,
       "The device specified is not a Voice Mail Port."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
