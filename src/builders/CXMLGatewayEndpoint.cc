#include "builders/CXMLGatewayEndpoint.h"

#include "builders/CXMLIPPhone.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

constexpr int kTimerCount = 6;

std::string Decimal(long value) { return std::to_string(value); }

void AddType(CXMLElement& parent, const char* tag, zdl::CZDLSession& session, const char* table, long number) {
  parent.AddChild(tag, TypeText(session, table, number));
}

// How one column of an access record is rendered.
enum class Render { kBool, kInt, kText, kEnum, kEncode };
struct Column {
  const char* tag;
  const char* column;
  Render render;
  const char* typeTable = nullptr;
};

void AddColumn(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CFastAccess& row, const Column& column) {
  switch (column.render) {
    case Render::kBool: parent.AddChild(column.tag, BoolText(row.getBool(column.column))); break;
    case Render::kInt: parent.AddChild(column.tag, Decimal(row.getInt(column.column))); break;
    case Render::kText: parent.AddChild(column.tag, row.getString(column.column)); break;
    case Render::kEnum: AddType(parent, column.tag, session, column.typeTable, row.getInt(column.column)); break;
    case Render::kEncode: parent.AddNewChild<CXMLEncodeInfo>()->BuildFromDatabase(row.getInt(column.column)); break;
  }
}

template <std::size_t N>
void AddColumns(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CFastAccess& row, const Column (&columns)[N]) {
  for (const Column& column : columns) AddColumn(parent, session, row, column);
}

const Column kT1Head[] = {
    {"trunkSelectionOrder", "tkTrunkSelectionOrder", Render::kEnum, "TypeTrunkSelectionOrder"},
    {"clockReference", "tkClockReference", Render::kEnum, "TypeClockReference"},
    {"csuParam", "tkCSUParam", Render::kEnum, "TypeCSUParam"},
    {"digitSending", "tkDigitSending", Render::kEnum, "TypeDigitSending"},
    {"encode", "Encode", Render::kEncode},
    {"fdlChannel", "tkFDLChannel", Render::kEnum, "TypeFDLChannel"},
    {"framing", "tkFraming", Render::kEnum, "TypeFraming"},
};
const Column kT1Tail[] = {
    {"yellowAlarm", "tkYellowAlarm", Render::kEnum, "TypeYellowAlarm"},
    {"zeroSuppression", "tkZeroSuppression", Render::kEnum, "TypeZeroSuppression"},
};
const Column kPriHead[] = {
    {"acceptInboundRDNIS", "AcceptInboundRDNIS", Render::kBool},
    {"calledPlan", "tkNumberingPlan_Called", Render::kEnum, "TypeNumberingPlan"},
    {"calledPri", "tkPriOfNumber_Called", Render::kEnum, "TypePriOfNumber"},
    {"callerIDDN", "CallerIDDN", Render::kText},
    {"callingPartySelection", "tkCallingPartySelection", Render::kEnum, "TypeCallingPartySelection"},
    {"callingPlan", "tkNumberingPlan_Calling", Render::kEnum, "TypeNumberingPlan"},
    {"callingPri", "tkPriOfNumber_Calling", Render::kEnum, "TypePriOfNumber"},
    {"chanIE", "ChanIE", Render::kInt},
    {"clockReference", "tkClockReference", Render::kEnum, "TypeClockReference"},
    {"csuParam", "tkCSUParam", Render::kEnum, "TypeCSUParam"},
    {"dChannelEnable", "DChannelEnable", Render::kBool},
    {"direction", "tkTrunkDirection", Render::kEnum, "TypeTrunkDirection"},
    {"displayIE", "DisplayIE", Render::kBool},
    {"encode", "Encode", Render::kEncode},
    {"fdlChannel", "tkFDLChannel", Render::kEnum, "TypeFDLChannel"},
    {"firstDelay", "FirstDelay", Render::kInt},
    {"framing", "tkFraming", Render::kEnum, "TypeFraming"},
};
const Column kPriTail[] = {
    {"intraDelay", "IntraDelay", Render::kInt},
    {"mcdnEnable", "MCDNEnable", Render::kBool},
    {"numberIE", "NumberIE", Render::kBool},
    {"numDigits", "NumDigits", Render::kInt},
    {"prefix", "Prefix", Render::kText},
    {"presentationBit", "tkPresentationBit", Render::kEnum, "TypePresentationBit"},
    {"priProtocol", "tkPriProtocol", Render::kEnum, "TypePriProtocol"},
    {"sendEXLeadingCharInDispIE", "SendEXLeadingCharInDispIE", Render::kBool},
    {"sendRestart", "SendRestart", Render::kBool},
    {"setupNonISDNPI", "SetupNonISDNPI", Render::kBool},
    {"sigDigits", "SigDigits", Render::kBool},
    {"span", "Span", Render::kInt},
    {"statusPoll", "StatusPoll", Render::kBool},
    {"stripCountOut", "StripCountOut", Render::kInt},
    {"trunkPadRx", "tkTrunkPad_Rx", Render::kEnum, "TypeTrunkPad"},
    {"trunkPadTx", "tkTrunkPad_Tx", Render::kEnum, "TypeTrunkPad"},
    {"trunkLevel", "tkTrunkLevel", Render::kEnum, "TypeTrunkLevel"},
    {"yellowAlarm", "tkYellowAlarm", Render::kEnum, "TypeYellowAlarm"},
    {"zeroSuppression", "tkZeroSuppression", Render::kEnum, "TypeZeroSuppression"},
};

// The start of every gateway device element: tag, attributes and the device's identity.
void AddDeviceHead(CXMLElement& element, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                   RenderMode mode, const char* type) {
  element.SetTag("device");
  if (mode == RenderMode::kNamespaces) AddDeviceNamespaces(element);
  element.AddAttribute("xsi:type", type);
  element.AddAttribute("ctiid", Decimal(device.getInt("CtiId")));
  element.AddAttribute("uuid", device.getGuid("pkid"));
  AddDeviceIdentity(element, session, device);
  AddDeviceReferences(element, session, device, mode);
}

// Reads the access record of the device from table; false when the device has none.
bool ReadAccess(zdl::CFastAccess& access, const char* table, const zdl::CZDLID& device) {
  access.SelectCustom(std::string("SELECT * FROM ") + table + " WHERE fkDevice = ?", {device});
  return !access.IsEOF();
}

}  // namespace

const char kGatewayLineColumns[] =
    "SELECT DeviceNumPlanMap.pkid, NumPlanIndex, Label, Display, fkNumPlan, NumPlan.DNOrPattern, tkRingSetting, "
    "tkRingSetting_Consecutive, E164Mask, DeviceNumPlanMap.DialPlanWizardGenID, tkMWLPolicy, PortNum";
const char kGatewayLinesFrom[] =
    " FROM DeviceNumPlanMap LEFT JOIN NumPlan ON NumPlan.pkid = DeviceNumPlanMap.fkNumPlan WHERE "
    "DeviceNumPlanMap.fkDevice";

std::vector<GatewayLine> ReadGatewayLines(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  const zdl::ResultSet result = session.Query(
      std::string(kGatewayLineColumns) + kGatewayLinesFrom + " = ? ORDER BY NumPlanIndex", {device});
  std::vector<GatewayLine> lines;
  for (const auto& row : result.rows) {
    GatewayLine line;
    line.uuid = row[0].AsText();
    line.index = static_cast<long>(row[1].AsInt());
    line.label = row[2].AsText();
    line.display = row[3].AsText();
    line.numPlan = row[4].AsText();
    line.pattern = row[5].AsText();
    line.ringSetting = static_cast<long>(row[6].AsInt());
    line.consecutiveRingSetting = static_cast<long>(row[7].AsInt());
    line.e164Mask = row[8].AsText();
    line.wizard = static_cast<long>(row[9].AsInt());
    line.mwlPolicy = static_cast<long>(row[10].AsInt());
    if (!row[11].IsNull()) line.port = static_cast<long>(row[11].AsInt());
    lines.push_back(std::move(line));
  }
  return lines;
}

void CXMLLine::Build(zdl::CZDLSession& session, const GatewayLine& line) {
  SetTag("line");
  AddAttribute("uuid", line.uuid);
  AddAttribute("index", Decimal(line.index));
  AddChild("label", line.label);
  AddChild("display", line.display);
  CXMLElement* dirn = AddNewChild("dirn");
  dirn->AddAttribute("uuid", line.numPlan);
  dirn->AddChild("pattern", line.pattern);
  AddType(*this, "ringSetting", session, "TypeRingSetting", line.ringSetting);
  AddType(*this, "consecutiveRingSetting", session, "TypeRingSetting", line.consecutiveRingSetting);
  AddChild("e164Mask", line.e164Mask);
  AddChild("dialPlanWizardId", Decimal(line.wizard));
  AddType(*this, "mwlPolicy", session, "TypeMWLPolicy", line.mwlPolicy);
}

void CXMLGatewayPort::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row, bool analog,
                                   const std::vector<GatewayLine>& lines) {
  SetTag("port");
  AddAttribute("uuid", row.getGuid("pkid"));
  const long number = row.getInt("PortNum");
  AddChild("portNumber", Decimal(number));
  AddChild("attendantDN", row.getString("AttendantDN"));
  AddChild("callerIdDN", row.getString("CallerIdDN"));
  AddChild("callerIdEnable", BoolText(row.getBool("inboundCallerIdEnable")));
  AddType(*this, "callingPartySelection", session, "TypeCallingPartySelection", row.getInt("tkCallingPartySelection"));
  AddType(*this, "digitSending", session, "TypeDigitSending", row.getInt("tkDigitSending"));
  AddChild("expectedDigits", Decimal(row.getInt("ExpectedDigits")));
  AddChild("finalDigits", Decimal(row.getInt("numDigits")))->AddAttribute("significant", BoolText(row.getBool("sigDigits")));
  for (const GatewayLine& line : lines) {
    if (line.OnPort(number)) AddNewChild<CXMLLine>()->Build(session, line);
  }
  AddChild("prefixDN", row.getString(analog ? "PrefixDN" : "Prefix"));
  AddType(*this, "presentationBit", session, "TypePresentationBit", row.getInt("tkPresentationBit"));
  AddType(*this, "silenceSuppressionThreshold", session, "TypeSilenceSuppressionThreshold",
          row.getInt("tkSilenceSuppressionThreshold"));
  // Both port kinds have the element; a T1 port has no SMDI port number, so it shows the zero an
  // integer field that was never set shows.
  AddChild("smdiPortNumber", Decimal(analog ? row.getInt("SMDIPortNumber") : 0));
  AddType(*this, "startDialProtocol", session, "TypeStartDialProtocol", row.getInt("tkStartDialProtocol"));
  CXMLElement* trunk = AddNewChild("trunk");
  AddType(*trunk, "kind", session, "TypeTrunk", row.getInt("tkTrunk"));
  AddType(*trunk, "direction", session, "TypeTrunkDirection", row.getInt("tkTrunkDirection"));
  AddType(*this, "trunkLevel", session, "TypeTrunkLevel", row.getInt("tkTrunkLevel"));
  AddType(*this, "trunkPadRx", session, "TypeTrunkPad", row.getInt("tkTrunkPad_Rx"));
  AddType(*this, "trunkPadTx", session, "TypeTrunkPad", row.getInt("tkTrunkPad_Tx"));
  CXMLElement* timers = AddNewChild("timers");
  for (int n = 1; n <= kTimerCount; ++n) timers->AddChild("timer", Decimal(row.getInt("timer" + std::to_string(n))));
  // A T1 port's caller id and endpoint id are stored but are not children of the port element.
  AddChild("vendorConfig", row.getString("xml"));
}

void CXMLGatewayPorts::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device, bool analog) {
  SetTag("ports");
  const char* table = analog ? "AnalogAccessPort" : "DigitalAccessT1Port";
  const std::vector<GatewayLine> lines = ReadGatewayLines(session, device);
  zdl::CFastAccess rows(session, table);
  rows.SelectCustom(std::string("SELECT * FROM ") + table + " WHERE fkDevice = ? ORDER BY PortNum", {device});
  for (; !rows.IsEOF(); rows.MoveNext()) AddNewChild<CXMLGatewayPort>()->BuildFromRow(session, rows, analog, lines);
}

void CXMLAnalogAccess::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device,
                                    RenderMode mode, const std::string& versionStamp) {
  AddDeviceHead(*this, session, device, mode, "zeb:XAnalogGateway");
  AddChild("vendorConfig", device.getString("xml"));
  AddChild("versionStamp", versionStamp);
  AddNewChild<CXMLCountryInfo>()->BuildFromDatabaseAsNetworkLocale(session, device.getInt("tkCountry"));
  const zdl::CZDLID id = device.getID("pkid");
  zdl::CFastAccess access(session, "AnalogAccess");
  if (ReadAccess(access, "AnalogAccess", id)) {
    AddNewChild<CXMLTrunkSelectionOrderInfo>()->BuildFromDatabase(session, access.getInt("tkTrunkSelectionOrder"));
    AddChild("helpURL", access.getString("helpURL"));
  }
  AddNewChild<CXMLGatewayPorts>()->BuildFromDatabase(session, id, true);
  RemoveEmptyChildren();
}

void CXMLDigitalAccess::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device,
                                     RenderMode mode, const std::string& versionStamp) {
  const bool t1 = device.getInt("tkDeviceProtocol") == zdl::kProtocolT1;
  AddDeviceHead(*this, session, device, mode, t1 ? "zeb:XT1Gateway" : "zeb:XPRIGateway");
  AddNewChild<CXMLLoadInformation>()->BuildFromDatabase(session, device.getString("SpecialLoadInformation"),
                                                        device.getInt("tkModel"));
  AddChild("vendorConfig", device.getString("xml"));
  AddChild("versionStamp", versionStamp);
  AddNewChild<CXMLCountryInfo>()->BuildFromDatabaseAsNetworkLocale(session, device.getInt("tkCountry"));
  if (t1) {
    AddT1(session, device);
  } else {
    AddPri(session, device);
  }
  RemoveEmptyChildren();
}

void CXMLDigitalAccess::AddT1(zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  const zdl::CZDLID id = device.getID("pkid");
  zdl::CFastAccess access(session, "DigitalAccessT1");
  const bool found = ReadAccess(access, "DigitalAccessT1", id);
  if (found) AddColumns(*this, session, access, kT1Head);
  AddNewChild<CXMLMaxPorts>()->BuildFromDatabase(session, device.getInt("tkProduct"));
  AddNewChild<CXMLGatewayPorts>()->BuildFromDatabase(session, id, false);
  if (found) AddColumns(*this, session, access, kT1Tail);
}

void CXMLDigitalAccess::AddPri(zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  zdl::CFastAccess access(session, "DigitalAccessPri");
  if (!ReadAccess(access, "DigitalAccessPri", device.getID("pkid"))) return;
  AddColumns(*this, session, access, kPriHead);
  AddChild("interfaceId", access.getString("InterfaceIdentifier"))
      ->AddAttribute("present", BoolText(access.getBool("InterfaceIdentifierPresent")));
  AddColumns(*this, session, access, kPriTail);
}

void CXMLDevice::AddTo(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                       RenderMode mode, const std::string& versionStamp) {
  const long model = device.getInt("tkModel");
  const bool analogProtocol = device.getInt("tkDeviceProtocol") == zdl::kProtocolAnalog;
  const bool mgcp = model == zdl::kModelMGCPStation || model == zdl::kModelMGCPTrunk;
  if (zdl::IsPhoneClass(device.getInt("tkClass"))) {
    parent.AddNewChild<CXMLIPPhone>()->BuildFromRow(session, device, mode, versionStamp);
  } else if (model == zdl::kModelAnalogStation24 || model == zdl::kModelAnalogAccess2 || (mgcp && analogProtocol)) {
    parent.AddNewChild<CXMLAnalogAccess>()->BuildFromRow(session, device, mode, versionStamp);
  } else if (model == zdl::kModelDigitalAccessT1 || model == zdl::kModelDigitalAccessPri || mgcp) {
    parent.AddNewChild<CXMLDigitalAccess>()->BuildFromRow(session, device, mode, versionStamp);
  }
}

void CXMLDevice::AddTo(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                       const std::string& versionStamp) {
  zdl::CFastAccess device(session, "Device");
  if (ReadRecord(device, id)) AddTo(parent, session, device, mode, versionStamp);
}

}  // namespace zeb
