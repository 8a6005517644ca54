#include "e2e/GatewayTest.h"

namespace zeb::test {

std::string GatewayHead(const std::string& name, const std::string& product, const std::string& protocol) {
  return "<name>" + name + "</name><product>" + product + "</product><model/><class/><protocol>" + protocol +
         "</protocol><protocolSide>Network</protocolSide><devicePoolName>Default</devicePoolName>";
}

std::string StationHead(const std::string& name) {
  return PhoneHead(name) + "<devicePoolName>Default</devicePoolName>";
}

std::string AnalogPort(int number, bool withLine) {
  const std::string n = std::to_string(number);
  return "<port portNumber=\"" + n + "\"><attendantDN>10" + n + "</attendantDN><callerIdEnable>true</callerIdEnable>"
         "<callingPartySelection>Last Redirect Number</callingPartySelection><digitSending>Pulse</digitSending>"
         "<expectedDigits>4</expectedDigits><finalDigits significant=\"true\">3</finalDigits>" +
         (withLine ? "<line index=\"" + n + "\"><label>Port " + n + "</label><display>Desk</display><dirn><pattern>1000"
                     "</pattern><usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn>"
                     "<ringSetting>Ring</ringSetting><e164Mask>+49</e164Mask></line>"
                   : std::string()) +
         "<prefixDN>9</prefixDN><presentationBit>Restricted</presentationBit><silenceSuppressionThreshold>High"
         "</silenceSuppressionThreshold><smdiPortNumber>7</smdiPortNumber><startDialProtocol>Wink</startDialProtocol>"
         "<timers><timer>1</timer><timer>2</timer><timer>3</timer><timer>4</timer><timer>5</timer><timer>6</timer>"
         "<timer>7</timer></timers><trunk>Loop Start</trunk><trunkDirection>Bothways</trunkDirection><trunkLevel>-3dB"
         "</trunkLevel><trunkPadRx>3dB</trunkPadRx><trunkPadTx>6dB</trunkPadTx></port>";
}

std::string AnalogGatewayRequest(const std::string& name, const std::string& ports) {
  return "<name>" + name + "</name><description>Lobby &amp; hall</description><product>Analog Access 2</product>"
         "<model/><class/><protocol>Analog Access</protocol><protocolSide>Network</protocolSide><devicePoolName>"
         "Default</devicePoolName><vendorConfig><cfg a=\"1\"/></vendorConfig><versionStamp/><traceFlag>true"
         "</traceFlag><country>New Zealand</country><maxPorts>2</maxPorts><ports>" + ports +
         "</ports><trunkSelectionOrder>Bottom Up</trunkSelectionOrder>";
}

std::string T1GatewayRequest(const std::string& name, const std::string& encode) {
  return GatewayHead(name, "Digital Access T1", "Digital Access T1") +
         "<country>United States</country><trunkSelectionOrder>Top Down</trunkSelectionOrder><clockReference>Internal"
         "</clockReference><csuParam>-7.5db</csuParam><digitSending>MF</digitSending><encode>" + encode +
         "</encode><fdlChannel>None</fdlChannel><framing>ESF</framing><maxPorts>24</maxPorts><ports><port "
         "portNumber=\"5\"><callerIdEnable>false</callerIdEnable><callingPartySelection>Originator"
         "</callingPartySelection><digitSending>DTMF</digitSending><expectedDigits>0</expectedDigits><finalDigits "
         "significant=\"false\">0</finalDigits><presentationBit>Allowed</presentationBit><silenceSuppressionThreshold>"
         "Default</silenceSuppressionThreshold><startDialProtocol>Immediate</startDialProtocol><timers><timer>9"
         "</timer></timers><trunk>POTS</trunk><trunkDirection>Inbound</trunkDirection><trunkLevel>0dB</trunkLevel>"
         "<trunkPadRx>NoPadding</trunkPadRx><trunkPadTx>NoPadding</trunkPadTx><callerId>DNIS</callerId><endpointId>"
         "ep-5</endpointId></port></ports><yellowAlarm>F-Bit</yellowAlarm><zeroSuppression>B8ZS</zeroSuppression>";
}

std::string PriGatewayRequest(const std::string& name) {
  return "<name>" + name + "</name><product>Digital Access PRI</product><model/><class/><protocol>Digital Access PRI"
         "</protocol><protocolSide>User</protocolSide><devicePoolName>Default</devicePoolName><country>Japan</country>"
         "<trunkSelectionOrder>Bottom Up</trunkSelectionOrder><acceptInboundRDNIS>true</acceptInboundRDNIS><calledPlan>"
         "ISDN</calledPlan><calledPri>National</calledPri><callingPartySelection>First Redirect Number"
         "</callingPartySelection><callingPlan>Private</callingPlan><callingPri>Subscriber</callingPri><chanIE>2</chanIE>"
         "<clockReference>Network</clockReference><csuParam>-15db</csuParam><dChannelEnable>true</dChannelEnable>"
         "<direction>Outbound</direction><displayIE>false</displayIE><encode>A-law</encode><fdlChannel>ANSI T1.403"
         "</fdlChannel><firstDelay>4</firstDelay><framing>SF</framing><interfaceId present=\"true\">12</interfaceId>"
         "<intraDelay>5</intraDelay><mcdnEnable>false</mcdnEnable><numberIE>true</numberIE><numDigits>7</numDigits>"
         "<prefix>0</prefix><presentationBit>Restricted</presentationBit><priProtocol>QSIG</priProtocol>"
         "<sendEXLeadingCharInDispIE>true</sendEXLeadingCharInDispIE><sendRestart>true</sendRestart><setupNonISDNPI>"
         "false</setupNonISDNPI><sigDigits>true</sigDigits><span>1</span><statusPoll>false</statusPoll><stripCountOut>"
         "2</stripCountOut><trunkPadRx>9dB</trunkPadRx><trunkPadTx>3dB</trunkPadTx><trunkLevel>-6dB</trunkLevel>"
         "<yellowAlarm>Bit 2</yellowAlarm><zeroSuppression>AMI</zeroSuppression>";
}

std::string RenderedPriFields() {
  return El("acceptInboundRDNIS", "true") + El("calledPlan", "ISDN") + El("calledPri", "National") +
         El("callerIDDN", "") + El("callingPartySelection", "First Redirect Number") +
         El("callingPlan", "Private") + El("callingPri", "Subscriber") + El("chanIE", "2") +
         El("clockReference", "Network") + El("csuParam", "-15db") + El("dChannelEnable", "true") +
         El("direction", "Outbound") + El("displayIE", "false") + El("encode", "A-law") +
         El("fdlChannel", "ANSI T1.403") + El("firstDelay", "4") + El("framing", "SF") +
         "<interfaceId  present=\"true\">12</interfaceId>\r\n" + El("intraDelay", "5") +
         El("mcdnEnable", "false") + El("numberIE", "true") + El("numDigits", "7") +
         El("prefix", "0") + El("presentationBit", "Restricted") + El("priProtocol", "QSIG") +
         El("sendEXLeadingCharInDispIE", "true") + El("sendRestart", "true") +
         El("setupNonISDNPI", "false") + El("sigDigits", "true") + El("span", "1") +
         El("statusPoll", "false") + El("stripCountOut", "2") + El("trunkPadRx", "9dB") +
         El("trunkPadTx", "3dB") + El("trunkLevel", "-6dB") + El("yellowAlarm", "Bit 2") +
         El("zeroSuppression", "AMI");
}

std::string GatewayTest::AddGateway(const std::string& content) {
  return CallForId("addGatewayEndpoint", "<addGatewayEndpoint><newGateway>" + content +
                                             "</newGateway></addGatewayEndpoint>");
}

std::string GatewayTest::RenderedAnalogPort(const std::string& uuid, int number, const std::string& lineId) {
  const std::string n = std::to_string(number);
  const std::string line =
      lineId.empty() ? ""
                     : "<line  uuid=\"" + lineId + "\" index=\"" + n + "\">\r\n" + El("label", "Port " + n) +
                           El("display", "Desk") + "<dirn  uuid=\"" + dn1000_ + "\">\r\n" +
                           El("pattern", "1000") + "</dirn>\r\n" + El("ringSetting", "Ring") +
                           El("consecutiveRingSetting", "Use System Default") + El("e164Mask", "+49") +
                           El("dialPlanWizardId", "0") + El("mwlPolicy", "Use System Policy") + "</line>\r\n";
  return "<port  uuid=\"" + uuid + "\">\r\n" + El("portNumber", n) + El("attendantDN", "10" + n) +
         El("callerIdDN", "") + El("callerIdEnable", "true") +
         El("callingPartySelection", "Last Redirect Number") + El("digitSending", "Pulse") +
         El("expectedDigits", "4") + "<finalDigits  significant=\"true\">3</finalDigits>\r\n" + line +
         El("prefixDN", "9") + El("presentationBit", "Restricted") +
         El("silenceSuppressionThreshold", "High") + El("smdiPortNumber", "7") +
         El("startDialProtocol", "Wink") + "<trunk>\r\n" + El("kind", "Loop Start") +
         El("direction", "Bothways") + "</trunk>\r\n" + El("trunkLevel", "-3dB") +
         El("trunkPadRx", "3dB") + El("trunkPadTx", "6dB") + "<timers>\r\n" + El("timer", "1") +
         El("timer", "2") + El("timer", "3") + El("timer", "4") + El("timer", "5") +
         El("timer", "6") + "</timers>\r\n" + El("vendorConfig", "") + "</port>\r\n";
}

std::string GatewayTest::DevicePoolElement() {
  const std::string response = ByName("getDevicePool", "Default");
  const std::string start = "<return>\r\n";
  const std::size_t from = response.find(start) + start.size();
  return response.substr(from, response.find("</return>") - from);
}

std::string GatewayTest::PortId(const std::string& table, const std::string& device, int number) {
  return Column("SELECT pkid FROM " + table + " WHERE PortNum = " + std::to_string(number) + " AND fkDevice = ?",
                device);
}

}  // namespace zeb::test
