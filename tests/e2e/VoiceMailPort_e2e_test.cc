// addVoiceMailPort, updateVoiceMailPort, removeVoiceMailPort and getVoiceMailPort through real
// HTTP.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

const char kLine1000[] =
    "<line index=\"1\"><label>VM 1</label><display>Voice</display><dirn><pattern>1000</pattern><usage>Device</usage>"
    "<routePartitionName>Internal</routePartitionName></dirn><ringSetting>Ring</ringSetting></line>";

class VoiceMailPortTest : public GatewayTest {
 protected:
  std::string AddPort(const std::string& content) {
    return CallForId("addVoiceMailPort", "<addVoiceMailPort><voiceMailPort>" + content +
                                             "</voiceMailPort></addVoiceMailPort>");
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
      "<return>\r\n" + DeviceTag("voiceMailPort", "XVoiceMailPort", id) +
      Identity("VM1", "Port &amp; one", "Voice Mail Port", "Voice Mail Port", "Station", "Network") +
      DevicePoolElement() + "<location  uuid=\"" + location + "\">\r\n" +
      El("name", "HQ") + El("kbits", "0") + "</location>\r\n" + El("mediaResourceListName", "MRL1") +
      El("automatedAlternateRoutingCSSName", "AarCss") + "<aarNeighborhood  uuid=\"" + north + "\">\r\n" +
      El("name", "North") + "</aarNeighborhood>\r\n" + El("loadInformation", "VM.1-0") +
      El("vendorConfig", "cfg") + El("versionStamp", "{STAMP}") + El("traceFlag", "true") +
      LineElement(Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id), 1, "VM 1", "Voice", dn1000_,
                  "Ring") +
      "</voiceMailPort>\r\n</return>\r\n";
  EXPECT_EQ(Response("getVoiceMailPort", expected),
            WithoutStamp(Call("<getVoiceMailPort><name>vm1</name></getVoiceMailPort>")));
  // Whatever product the request names, the port is product 27.
  EXPECT_EQ("27|8|85", Column("SELECT tkProduct || '|' || tkClass || '|' || tkModel FROM Device WHERE pkid = ?", id));
}

TEST_F(VoiceMailPortTest, UpdateChangesNamedFieldsAndReplacesTheLine) {
  AddNamed("Location", "HQ");
  const std::string id = AddPort(StationHead("VM2") + "<locationName>HQ</locationName><traceFlag>true</traceFlag>" +
                                 std::string(kLine1000));
  EXPECT_EQ(Standard("updateVoiceMailPort", id),
            Call("<updateVoiceMailPort><name>VM2</name><newName>VM3</newName><description>new</description>"
                 "<devicePoolName>Default</devicePoolName><locationName/><traceFlag>false</traceFlag>"
                 "<line index=\"2\"><label/><display/><dirn uuid=\"" + dn1001_ + "\"/><ringSetting>Disable"
                 "</ringSetting></line></updateVoiceMailPort>"));
  EXPECT_EQ("VM3|new||0", Column("SELECT Name || '|' || Description || '|' || COALESCE(fkLocation, '') || '|' || "
                                 "DeviceLevelTraceFlag FROM Device WHERE pkid = ?", id));
  EXPECT_EQ(dn1001_ + "|2|1", Joined("SELECT fkNumPlan || '|' || NumPlanIndex || '|' || tkRingSetting "
                                    "FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  // Without <line> the line appearances stay.
  EXPECT_EQ(Standard("updateVoiceMailPort", id, "7"),
            Call("<zeb:updateVoiceMailPort sequence=\"7\"><zeb:uuid>" + id + "</zeb:uuid><zeb:description/>"
                 "</zeb:updateVoiceMailPort>"));
  EXPECT_EQ("1", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(VoiceMailPortTest, RefusalsNameTheProblemAndChangeNothing) {
  AddPort(StationHead("VM5") + kLine1000);
  auto add = [](const std::string& content) {
    return "<addVoiceMailPort><voiceMailPort>" + content + "</voiceMailPort></addVoiceMailPort>";
  };
  auto update = [](const std::string& content) {
    return "<updateVoiceMailPort><name>VM5</name>" + content + "</updateVoiceMailPort>";
  };
  ExpectAllRefused(zebd_, {
      {add("<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide>Left</protocolSide>"),
       8, "Invalid Parameter: Left"},
      {add(StationHead("X")), kUnexpectedNode, "NULL element found, expecting <line> or <lineIdentifier>"},
      // A port has no associated PC, unlike a phone.
      {add(StationHead("X") + "<associatedPC>pc</associatedPC>" + kLine1000), kUnexpectedNode,
       "Found <associatedPC>, expecting <line> or <lineIdentifier>."},
      {update("<associatedPC>pc</associatedPC>"), kUnexpectedNode,
       "<associatedPC> is not a valid element of this request type."},
      {add(StationHead("X") + "<line index=\"1\"><label/><display/><dirn uuid=\"" + dn1000_ + "\"/></line>"),
       kUnexpectedNode, "NULL element found. Expecting <ringSetting>."},
      {update("<devicePoolId/>"), kInvalidValue, "Then element, <devicePoolId>, must have a value."},
      {update("<country/>"), kUnexpectedNode, "<country> is not a valid element of this request type."},
      {update("<callingSearchSpace uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"), kUnexpectedNode,
       "<callingSearchSpace> is not a valid element of this request type."},
  });
}

}  // namespace
}  // namespace zeb::test
