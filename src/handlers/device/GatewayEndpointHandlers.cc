#include "handlers/device/GatewayEndpointHandlers.h"

#include <optional>

#include "builders/CXMLGatewayEndpoint.h"
#include "handlers/device/DeviceReaders.h"
#include "handlers/device/PhoneHandlers.h"
#include "zdl/CTypeList.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

using Cols = zdl::DeviceCols;

// --- fields read by table ---

// How a field's value is stored: as text, a decimal number, a boolean, a type table's number, an
// encoding, or not at all (accepted and skipped).
enum class Kind { kText, kInt, kBool, kEnum, kEncode, kSkip };

struct Field {
  const char* element;
  const char* column;
  Kind kind;
  const char* typeTable = nullptr;
  bool optional = false;
  const char* nullText = nullptr;  // overrides the message for a missing element
};

// The two wordings of a missing element in these readers.
enum class NullStyle {
  kComma,  // "NULL element found, expecting <x>." (ports)
  kStop    // "NULL element found. Expecting <x>." (access parts)
};

std::string MissingText(const Field& field, NullStyle style) {
  if (field.nullText) return field.nullText;
  return std::string(style == NullStyle::kComma ? "NULL element found, expecting <" : "NULL element found. Expecting <") +
         field.element + ">.";
}

// "u-law" is 1; any other text is looked up in TypeEncode.
long EncodeNumber(zdl::CZDLSession& session, const std::string& text) {
  return text == "u-law" ? 1 : TypeEnum(session, "TypeEncode", text);
}

void Store(zdl::CZDLSession& session, zdl::CItem& item, const Field& field, const std::string& value) {
  const int column = item.table().Find(field.column);
  switch (field.kind) {
    case Kind::kText: item.SetValue(column, zdl::CZDLValue(value)); break;
    case Kind::kInt: item.SetValue(column, zdl::CZDLValue(ParseLong(value))); break;
    case Kind::kBool: item.SetValue(column, zdl::CZDLValue(ParseBoolean(value))); break;
    case Kind::kEnum: item.SetValue(column, zdl::CZDLValue(TypeEnum(session, field.typeTable, value))); break;
    case Kind::kEncode: item.SetValue(column, zdl::CZDLValue(EncodeNumber(session, value))); break;
    case Kind::kSkip: break;
  }
}

// Reads the field at the cursor into item. A required field must be there (allOptional turns
// every field into an optional one, as updates read them); an optional text without a value is
// skipped in an add and clears the text in an update; every other field needs a value.
void ReadField(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& item, const Field& field, NullStyle style,
               bool allOptional) {
  if (field.optional || allOptional) {
    if (!cursor.Is(field.element)) return;
  } else {
    cursor.RequireNotNull(MissingText(field, style));
    if (!cursor.Is(field.element)) cursor.ThrowFound(std::string("<") + field.element + ">");
  }
  auto value = ValueOf(cursor.node());
  if (field.kind == Kind::kText && !value && (field.optional || allOptional)) {
    if (allOptional) Store(session, item, field, "");
  } else if (field.kind != Kind::kSkip) {
    Store(session, item, field, value ? *value : RequireValue(cursor.node(), ValueWording::kMustContain));
  }
  cursor.Advance();
}

template <std::size_t N>
void ReadFields(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& item, const Field (&fields)[N],
                NullStyle style, bool allOptional = false) {
  for (const Field& field : fields) ReadField(session, cursor, item, field, style, allOptional);
}

const Field kCountry[] = {{"country", "tkCountry", Kind::kEnum, "TypeCountry"}};

// --- ports ---

const Field kPortHead[] = {
    {"attendantDN", "AttendantDN", Kind::kText, nullptr, true},
    {"callerIdDN", "CallerIdDN", Kind::kText, nullptr, true},
    {"callerIdEnable", "inboundCallerIdEnable", Kind::kBool},
    {"callingPartySelection", "tkCallingPartySelection", Kind::kEnum, "TypeCallingPartySelection"},
    {"digitSending", "tkDigitSending", Kind::kEnum, "TypeDigitSending"},
    {"expectedDigits", "ExpectedDigits", Kind::kInt},
};
const Field kAnalogPortMiddle[] = {
    {"prefixDN", "PrefixDN", Kind::kText, nullptr, true},
    {"presentationBit", "tkPresentationBit", Kind::kEnum, "TypePresentationBit"},
    {"silenceSuppressionThreshold", "tkSilenceSuppressionThreshold", Kind::kEnum, "TypeSilenceSuppressionThreshold"},
    {"smdiPortNumber", "SMDIPortNumber", Kind::kInt},
    {"startDialProtocol", "tkStartDialProtocol", Kind::kEnum, "TypeStartDialProtocol"},
};
const Field kT1PortMiddle[] = {
    {"prefixDN", "Prefix", Kind::kText, nullptr, true},
    {"presentationBit", "tkPresentationBit", Kind::kEnum, "TypePresentationBit"},
    {"silenceSuppressionThreshold", "tkSilenceSuppressionThreshold", Kind::kEnum, "TypeSilenceSuppressionThreshold"},
    {"startDialProtocol", "tkStartDialProtocol", Kind::kEnum, "TypeStartDialProtocol"},
};
const Field kAnalogPortTail[] = {
    {"trunk", "tkTrunk", Kind::kEnum, "TypeTrunk"},
    {"trunkDirection", "tkTrunkDirection", Kind::kEnum, "TypeTrunkDirection"},
    {"trunkLevel", "tkTrunkLevel", Kind::kEnum, "TypeTrunkLevel"},
    {"trunkPadRx", "tkTrunkPad_Rx", Kind::kEnum, "TypeTrunkPad"},
    {"trunkPadTx", "tkTrunkPad_Tx", Kind::kEnum, "TypeTrunkPad"},
    {"vendorConfig", "xml", Kind::kText, nullptr, true},
};
const Field kT1PortTail[] = {
    {"trunk", "tkTrunk", Kind::kEnum, "TypeTrunk"},
    {"trunkDirection", "tkTrunkDirection", Kind::kEnum, "TypeTrunkDirection"},
    {"trunkLevel", "tkTrunkLevel", Kind::kEnum, "TypeTrunkLevel"},
    {"trunkPadRx", "tkTrunkPad_Rx", Kind::kEnum, "TypeTrunkPad"},
    {"trunkPadTx", "tkTrunkPad_Tx", Kind::kEnum, "TypeTrunkPad"},
    {"vendorConfig", "xml", Kind::kText, nullptr, true},
    {"callerId", "tkCallerID", Kind::kEnum, "TypeCallerID"},
    {"endpointId", "EndpointID", Kind::kText},
};

constexpr int kTimerCount = 6;

// <finalDigits significant="...">: the number of digits and the significant-digits flag.
void ReadFinalDigits(ElementCursor& cursor, zdl::CItem& port) {
  cursor.Expect("finalDigits", "<finalDigits>", "NULL element found, expecting <finalDigits>.");
  const long digits = ParseLong(RequireValue(cursor.node(), ValueWording::kMustContain));
  const bool significant = ParseBoolean(RequireAttribute(cursor.node(), "significant"));
  port.SetValue(port.table().Find("numDigits"), digits);
  port.SetValue(port.table().Find("sigDigits"), significant);
  cursor.Advance();
}

// <timers>: the n-th <timer> sets timer n; reading stops after the sixth.
void ReadTimers(ElementCursor& cursor, zdl::CItem& port) {
  cursor.Expect("timers", "<timers>", "NULL element found, expecting <timers>.");
  ElementCursor timer = cursor.EnterCurrent();
  timer.RequireNotNull("NULL element found, expecting " + std::to_string(kTimerCount) + " <timer> elements.");
  for (int number = 1; number <= kTimerCount && !timer.AtEnd(); ++number, timer.Advance()) {
    if (!timer.Is("timer")) timer.ThrowFound("<timer>");
    const long value = ParseLong(RequireValue(timer.node(), ValueWording::kMustContain));
    port.SetValue(port.table().Find("timer" + std::to_string(number)), value);
  }
  cursor.Advance();
}

void ReadPort(zdl::CZDLSession& session, XmlNode element, const zdl::CZDLID& device, CGenericGatewayPortList& ports,
              zdl::CDeviceNumPlanMapList& lines) {
  if (!element.HasAttributes()) throw CUnexpectedNodeException("No \"portNumber\" attribute found in <port>.");
  auto number = AttributeOf(element, "portNumber");
  if (!number) throw CUnexpectedNodeException("The <port> element requires an portNumber attribute.");
  const long portNumber = ParseLong(*number);
  const CGenericGatewayPort port = ports.Insert(device, portNumber);
  const bool analog = port.IsAnalog();

  ElementCursor cursor = ElementCursor::Enter(element);
  ReadFields(session, cursor, port.Item(), kPortHead, NullStyle::kComma);
  ReadFinalDigits(cursor, port.Item());
  if (cursor.Is("line")) {
    ReadLine(session, cursor, device, lines, LineRules{true, false, false});
    lines.GetCurrentItem()->PutPortNum(portNumber);
    cursor.Advance();
  }
  if (analog) {
    ReadFields(session, cursor, port.Item(), kAnalogPortMiddle, NullStyle::kComma);
  } else {
    ReadFields(session, cursor, port.Item(), kT1PortMiddle, NullStyle::kComma);
  }
  ReadTimers(cursor, port.Item());
  if (analog) {
    ReadFields(session, cursor, port.Item(), kAnalogPortTail, NullStyle::kComma);
  } else {
    ReadFields(session, cursor, port.Item(), kT1PortTail, NullStyle::kComma);
  }
}

// The <port> children of <ports>, each a new port of device.
void ReadPorts(zdl::CZDLSession& session, XmlNode portsElement, const zdl::CZDLID& device,
               CGenericGatewayPortList& ports, zdl::CDeviceNumPlanMapList& lines) {
  ElementCursor port = ElementCursor::Enter(portsElement);
  port.RequireNotNull("NULL element found, expecting <port>.");
  for (; !port.AtEnd(); port.Advance()) {
    if (!port.Is("port")) port.ThrowFound("<port>");
    ReadPort(session, port.node(), device, ports, lines);
  }
}

// --- access parts ---

const Field kAnalogHead[] = {
    {"maxPorts", nullptr, Kind::kSkip, nullptr, false, "NULL element found. Expecting more elements."},
};
const Field kAnalogTail[] = {
    {"trunkSelectionOrder", "tkTrunkSelectionOrder", Kind::kEnum, "TypeTrunkSelectionOrder"},
};
const Field kT1Head[] = {
    {"trunkSelectionOrder", "tkTrunkSelectionOrder", Kind::kEnum, "TypeTrunkSelectionOrder"},
    {"clockReference", "tkClockReference", Kind::kEnum, "TypeClockReference"},
    {"csuParam", "tkCSUParam", Kind::kEnum, "TypeCSUParam"},
    {"digitSending", "tkDigitSending", Kind::kEnum, "TypeDigitSending"},
    {"encode", "Encode", Kind::kEncode},
    {"fdlChannel", "tkFDLChannel", Kind::kEnum, "TypeFDLChannel"},
    {"framing", "tkFraming", Kind::kEnum, "TypeFraming"},
};
const Field kT1MaxPorts[] = {{"maxPorts", nullptr, Kind::kSkip}};
const Field kT1Tail[] = {
    {"yellowAlarm", "tkYellowAlarm", Kind::kEnum, "TypeYellowAlarm"},
    {"zeroSuppression", "tkZeroSuppression", Kind::kEnum, "TypeZeroSuppression"},
};
// The PRI trunk selection order is read and not stored.
const Field kPriTrunkSelectionOrder[] = {{"trunkSelectionOrder", nullptr, Kind::kSkip}};
const Field kPriHead[] = {
    {"acceptInboundRDNIS", "AcceptInboundRDNIS", Kind::kBool},
    {"calledPlan", "tkNumberingPlan_Called", Kind::kEnum, "TypeNumberingPlan"},
    {"calledPri", "tkPriOfNumber_Called", Kind::kEnum, "TypePriOfNumber"},
    {"callerIDDN", "CallerIDDN", Kind::kText, nullptr, true},
    {"callingPartySelection", "tkCallingPartySelection", Kind::kEnum, "TypeCallingPartySelection"},
    {"callingPlan", "tkNumberingPlan_Calling", Kind::kEnum, "TypeNumberingPlan"},
    {"callingPri", "tkPriOfNumber_Calling", Kind::kEnum, "TypePriOfNumber"},
    {"chanIE", "ChanIE", Kind::kInt},
    {"clockReference", "tkClockReference", Kind::kEnum, "TypeClockReference"},
    {"csuParam", "tkCSUParam", Kind::kEnum, "TypeCSUParam"},
    {"dChannelEnable", "DChannelEnable", Kind::kBool},
    {"direction", "tkTrunkDirection", Kind::kEnum, "TypeTrunkDirection"},
    {"displayIE", "DisplayIE", Kind::kBool},
    {"encode", "Encode", Kind::kEncode},
    {"fdlChannel", "tkFDLChannel", Kind::kEnum, "TypeFDLChannel"},
    {"firstDelay", "FirstDelay", Kind::kInt},
    {"framing", "tkFraming", Kind::kEnum, "TypeFraming"},
};
const Field kPriTail[] = {
    {"intraDelay", "IntraDelay", Kind::kInt},
    {"mcdnEnable", "MCDNEnable", Kind::kBool},
    {"numberIE", "NumberIE", Kind::kBool},
    {"numDigits", "NumDigits", Kind::kInt},
    {"prefix", "Prefix", Kind::kText, nullptr, true},
    {"presentationBit", "tkPresentationBit", Kind::kEnum, "TypePresentationBit"},
    {"priProtocol", "tkPriProtocol", Kind::kEnum, "TypePriProtocol"},
    {"sendEXLeadingCharInDispIE", "SendEXLeadingCharInDispIE", Kind::kBool},
    {"sendRestart", "SendRestart", Kind::kBool},
    {"setupNonISDNPI", "SetupNonISDNPI", Kind::kBool},
    {"sigDigits", "SigDigits", Kind::kBool},
    {"span", "Span", Kind::kInt},
    {"statusPoll", "StatusPoll", Kind::kBool},
    {"stripCountOut", "StripCountOut", Kind::kInt},
    {"trunkPadRx", "tkTrunkPad_Rx", Kind::kEnum, "TypeTrunkPad"},
    {"trunkPadTx", "tkTrunkPad_Tx", Kind::kEnum, "TypeTrunkPad"},
    {"trunkLevel", "tkTrunkLevel", Kind::kEnum, "TypeTrunkLevel"},
    {"yellowAlarm", "tkYellowAlarm", Kind::kEnum, "TypeYellowAlarm"},
    {"zeroSuppression", "tkZeroSuppression", Kind::kEnum, "TypeZeroSuppression"},
};

// <interfaceId present="...">: the interface identifier and whether it is present. An add needs
// the identifier, as every required element of the PRI part needs its value; an update may
// clear it.
void ReadInterfaceId(ElementCursor& cursor, zdl::CDigitalAccessPri& pri, bool optional) {
  if (optional && !cursor.Is("interfaceId")) return;
  cursor.Expect("interfaceId", "<interfaceId>", "NULL element found. Expecting <interfaceId>.");
  pri.PutInterfaceIdentifierPresent(ParseBoolean(RequireAttribute(cursor.node(), "present")));
  pri.PutInterfaceIdentifier(optional ? ValueOrEmpty(cursor.node())
                                      : RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
}

void ReadPriFields(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CDigitalAccessPri& pri, bool isUpdate) {
  ReadFields(session, cursor, pri, kPriHead, NullStyle::kStop, isUpdate);
  ReadInterfaceId(cursor, pri, isUpdate);
  ReadFields(session, cursor, pri, kPriTail, NullStyle::kStop, isUpdate);
}

// The product's device class from the product table; 0 for a name it does not know.
long ProductClass(zdl::CZDLSession& session, long product) {
  zdl::CTypeList products(session, "TypeProduct");
  return products.Find(product) ? static_cast<long>(products.GetColumn("tkClass").AsInt()) : 0;
}

// The access record of a device, and the rows written with it.
struct AccessRows {
  explicit AccessRows(zdl::CZDLSession& session) : analog(session), t1(session), pri(session), lines(session) {}

  // The device's access record of that list: the stored one, or a new one.
  template <class List>
  static auto RecordOf(List& list, const zdl::CZDLID& device, bool isNew) {
    if (!isNew) {
      list.SelectByDeviceID(device);
      if (list.Count() > 0) return list.GetCurrentItem();
    }
    auto record = list.Insert();
    record->PutDeviceID(device);
    return record;
  }
  CGenericGatewayPortList& Ports(zdl::CZDLSession& session, bool analogPorts) {
    if (!ports) ports.emplace(session, analogPorts);
    return *ports;
  }
  void Update() {
    analog.Update();
    t1.Update();
    pri.Update();
    if (ports) ports->Update();
    lines.Update();
  }

  zdl::CAnalogAccessList analog;
  zdl::CDigitalAccessT1List t1;
  zdl::CDigitalAccessPriList pri;
  std::optional<CGenericGatewayPortList> ports;
  zdl::CDeviceNumPlanMapList lines;
};

// The device and its access rows as one unit.
void WriteGateway(zdl::CZDLSession& session, zdl::CDeviceList& devices, AccessRows& rows) {
  zdl::CZDLTransaction transaction(session);
  devices.Update();
  rows.Update();
  transaction.Commit();
}

// --- addGatewayEndpoint ---

const char kMoreElements[] = "NULL element found. Expecting more elements.";

// Reads the common part and the access part of one new gateway endpoint device.
class EndpointReader {
 public:
  EndpointReader(zdl::CZDLSession& session, XmlNode holder)
      : session_(session), holder_(holder), devices_(session), device_(devices_.Insert()), rows_(session) {}

  zdl::CZDLID Add() {
    ElementCursor cursor = ElementCursor::Enter(holder_);
    ReadIdentity(cursor);
    ReadReferences(cursor);
    ReadSettings(cursor);
    if (!cursor.AtEnd()) ReadAccessPart(cursor);
    WriteGateway(session_, devices_, rows_);
    return device_->GetID();
  }

 private:
  void Required(ElementCursor& cursor, const char* element) {
    cursor.Expect(element, std::string("<") + element + ">", kMoreElements);
  }

  void ReadIdentity(ElementCursor& cursor) {
    device_->PutName(ReadAddName(cursor));
    if (cursor.Is("description")) {
      if (auto value = ValueOf(cursor.node())) device_->PutDescription(*value);
      cursor.Advance();
    }
    ReadProduct(cursor);
    Required(cursor, "model");
    cursor.Advance();
    Required(cursor, "class");
    cursor.Advance();
    Required(cursor, "protocol");
    device_->PutDeviceProtocol(
        TypeEnum(session_, "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
    Required(cursor, "protocolSide");
    device_->PutProtocolSide(
        TypeEnum(session_, "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  }

  void ReadProduct(ElementCursor& cursor) {
    cursor.RequireNotNull(kMoreElements);
    std::optional<long> product;
    if (cursor.Is("product")) {
      product = FindTypeEnum(session_, "TypeProduct", RequireValue(cursor.node(), ValueWording::kMustContain));
    } else if (cursor.Is("productInfo")) {
      product = FindTypeEnum(session_, "TypeProduct", RequireAttribute(cursor.node(), "name"));
    } else {
      cursor.ThrowFound("<product> or <productInfo>");
    }
    if (!product || ProductClass(session_, *product) != zdl::kClassGateway) {
      throw CInvalidValueException("The product type specified is not a Gateway.");
    }
    device_->PutProduct(*product);
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  }

  // The calling search space, the device pool (required) and the optional references after it.
  void ReadReferences(ElementCursor& cursor) {
    ReadAddReference(session_, cursor, *device_, kAddReferences[0]);
    cursor.RequireNotNull("NULL element found. Expecting <devicePool> or <devicePoolName>.");
    if (!cursor.Is("devicePool") && !cursor.Is("devicePoolName")) cursor.ThrowFound("<devicePool> or <devicePoolName>");
    for (int i = 1; i < kDeviceReferenceCount; ++i) ReadAddReference(session_, cursor, *device_, kAddReferences[i]);
  }

  void ReadSettings(ElementCursor& cursor) {
    if (cursor.Is("loadInformation")) {
      if (auto value = ValueOf(cursor.node())) device_->PutSpecialLoadInformation(*value);
      cursor.Advance();
    }
    if (cursor.Is("vendorConfig")) {
      // The configuration is kept as the markup the client sent, tags included.
      if (cursor.node().FirstChild()) device_->PutXML(cursor.node().Xml());
      cursor.Advance();
    }
    if (cursor.Is("versionStamp")) cursor.Advance();
    if (cursor.Is("traceFlag")) {
      device_->PutDeviceLevelTraceFlag(ParseBoolean(RequireValue(cursor.node(), ValueWording::kMustContain)));
      cursor.Advance();
    }
  }

  void ReadAccessPart(ElementCursor& cursor) {
    const zdl::CZDLID id = device_->GetID();
    const long protocol = device_->GetDeviceProtocol();
    if (protocol != zdl::kProtocolAnalog && protocol != zdl::kProtocolT1 && protocol != zdl::kProtocolPri) {
      throw CInvalidValueException("Invalid Device Protocol for an Analog or Digital Gateway.");
    }
    ReadFields(session_, cursor, *device_, kCountry, NullStyle::kStop);
    if (protocol == zdl::kProtocolAnalog) {
      auto analog = AccessRows::RecordOf(rows_.analog, id, true);
      ReadFields(session_, cursor, *analog, kAnalogHead, NullStyle::kStop);
      cursor.Expect("ports", "<ports>", "NULL element found. Expecting <ports>.");
      ReadPorts(session_, cursor.node(), id, rows_.Ports(session_, true), rows_.lines);
      cursor.Advance();
      ReadFields(session_, cursor, *analog, kAnalogTail, NullStyle::kStop);
    } else if (protocol == zdl::kProtocolT1) {
      auto t1 = AccessRows::RecordOf(rows_.t1, id, true);
      ReadFields(session_, cursor, *t1, kT1Head, NullStyle::kStop);
      ReadFields(session_, cursor, *t1, kT1MaxPorts, NullStyle::kStop);
      cursor.Expect("ports", "<ports>", "NULL element found. Expecting <ports>.");
      ReadPorts(session_, cursor.node(), id, rows_.Ports(session_, false), rows_.lines);
      cursor.Advance();
      ReadFields(session_, cursor, *t1, kT1Tail, NullStyle::kStop);
    } else {
      auto pri = AccessRows::RecordOf(rows_.pri, id, true);
      ReadFields(session_, cursor, *pri, kPriTrunkSelectionOrder, NullStyle::kStop);
      ReadPriFields(session_, cursor, *pri, false);
    }
    cursor.RequireEnd();
  }

  zdl::CZDLSession& session_;
  XmlNode holder_;
  zdl::CDeviceList devices_;
  zdl::SmartItemPtr<zdl::CDevice> device_;
  AccessRows rows_;
};

// --- update ---

const Identification kIdentifyForUpdate =
    ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave,
                 "The specified Gateway was not found.");
const Identification kIdentifyGateway =
    ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustHave,
                 "The specified Gateway was not found.");

const UpdateReference kUpdateCallingSearchSpace = {
    nullptr, "callingSearchSpaceId", "callingSearchSpaceName", "Calling Search Space not found.",
    FindIdByName<zdl::CCallingSearchSpaceList>, Cols::kCallingSearchSpaceID};

// A <ports> element at the cursor replaces the device's ports and their line appearances.
void ReplacePortsIfNamed(zdl::CZDLSession& session, ElementCursor& cursor, const zdl::CZDLID& device,
                         AccessRows& rows, bool analog) {
  if (!cursor.Is("ports")) return;
  rows.lines.SelectByDeviceID(device);
  rows.lines.DeleteAll();
  CGenericGatewayPortList& ports = rows.Ports(session, analog);
  ports.DeleteAllOf(device);
  ReadPorts(session, cursor.node(), device, ports, rows.lines);
  cursor.Advance();
}

// The fields of the T1 section of an update, every one optional; the ports are replaced.
void UpdateT1(zdl::CZDLSession& session, ElementCursor& cursor, const zdl::CZDLID& device, AccessRows& rows) {
  auto t1 = AccessRows::RecordOf(rows.t1, device, false);
  ReadFields(session, cursor, *t1, kT1Head, NullStyle::kStop, true);
  ReplacePortsIfNamed(session, cursor, device, rows, false);
  ReadFields(session, cursor, *t1, kT1Tail, NullStyle::kStop, true);
}

void UpdateAnalog(zdl::CZDLSession& session, ElementCursor& cursor, const zdl::CZDLID& device, AccessRows& rows) {
  auto analog = AccessRows::RecordOf(rows.analog, device, false);
  ReplacePortsIfNamed(session, cursor, device, rows, true);
  ReadFields(session, cursor, *analog, kAnalogTail, NullStyle::kStop, true);
}

// The name of the access-kind section of an update for a device of protocol; throws for a
// protocol that has no access record.
const char* AccessSectionOf(long protocol) {
  if (protocol == zdl::kProtocolAnalog) return "analog";
  if (protocol == zdl::kProtocolT1) return "t1";
  if (protocol == zdl::kProtocolPri) return "pri";
  throw CInvalidValueException("Invalid Device Protocol for an Analog or Digital Gateway.");
}

// The access-kind section of an update, named by the device's protocol.
void UpdateAccessSection(zdl::CZDLSession& session, ElementCursor& cursor, const zdl::CDevice& device,
                         AccessRows& rows) {
  const long protocol = device.GetDeviceProtocol();
  const char* section = AccessSectionOf(protocol);
  if (!cursor.Is(section)) cursor.ThrowFound(std::string("<") + section + ">");
  ElementCursor field = cursor.EnterCurrent();
  if (protocol == zdl::kProtocolAnalog) {
    UpdateAnalog(session, field, device.GetID(), rows);
  } else if (protocol == zdl::kProtocolT1) {
    UpdateT1(session, field, device.GetID(), rows);
  } else {
    ReadPriFields(session, field, *AccessRows::RecordOf(rows.pri, device.GetID(), false), true);
  }
  field.RequireEnd();
  cursor.Advance();
}

}  // namespace

// --- generic ports ---

CGenericGatewayPortList::CGenericGatewayPortList(zdl::CZDLSession& session, bool analog)
    : analog_(analog), analogPorts_(session), t1Ports_(session) {}

CGenericGatewayPort CGenericGatewayPortList::Insert(const zdl::CZDLID& device, long portNumber) {
  if (analog_) {
    auto port = analogPorts_.Insert();
    port->PutDeviceID(device);
    port->PutPortNum(portNumber);
    return CGenericGatewayPort(port, true);
  }
  auto port = t1Ports_.Insert();
  port->PutDeviceID(device);
  port->PutPortNum(portNumber);
  return CGenericGatewayPort(port, false);
}

void CGenericGatewayPortList::DeleteAllOf(const zdl::CZDLID& device) {
  if (analog_) {
    analogPorts_.SelectByDeviceID(device);
    analogPorts_.DeleteAll();
  } else {
    t1Ports_.SelectByDeviceID(device);
    t1Ports_.DeleteAll();
  }
}

void CGenericGatewayPortList::Update() {
  analogPorts_.Update();
  t1Ports_.Update();
}

zdl::CZDLID AddGatewayEndpointDevice(zdl::CZDLSession& session, XmlNode holder) {
  return EndpointReader(session, holder).Add();
}

void CGatewayEndpointHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <name>");
  const zdl::CZDLID id = AddGatewayEndpointDevice(db(), wrapper.node());
  Return(result, id);
}

void CGatewayEndpointHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kIdentifyForUpdate);
  auto device = devices.GetCurrentItem();
  // Only an analog, T1 or PRI device is updated here, whatever the request goes on to name.
  AccessSectionOf(device->GetDeviceProtocol());
  AccessRows rows(db());

  if (cursor.Is("newName")) {
    device->PutName(RequireValue(cursor.node(), ValueWording::kThenMustHave));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    device->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  ReadUpdateReference(db(), cursor, *device, kUpdateCallingSearchSpace);
  for (const UpdateReference& reference : kUpdateReferences) {
    ReadUpdateReferenceByIdOrName(db(), cursor, *device, reference);
  }
  ReadDeviceSettings(cursor, *device, true, AssociatedPC::kNone);
  if (cursor.Is("country")) {
    device->PutCountry(TypeEnum(db(), "TypeCountry", RequireValue(cursor.node(), ValueWording::kThenMustHave)));
    cursor.Advance();
  }
  if (!cursor.AtEnd()) UpdateAccessSection(db(), cursor, *device, rows);
  cursor.RequireEnd();

  WriteGateway(db(), devices, rows);
  Return(result, device->GetID());
}

// The gateway device the request names, or the not-found and not-a-gateway refusals.
static zdl::SmartItemPtr<zdl::CDevice> FindGateway(ElementCursor& cursor, zdl::CDeviceList& devices) {
  Identify(cursor, devices, kIdentifyGateway);
  auto device = devices.GetCurrentItem();
  if (device->GetClass() != zdl::kClassGateway) ThrowNotFound("The device specified is not a Gateway.");
  return device;
}

void CGatewayEndpointHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = FindGateway(cursor, devices)->GetID();
  devices.Delete();
  devices.Update();
  Return(result, id);
}

void CGatewayEndpointHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = FindGateway(cursor, devices)->GetID();
  CXMLElement holder;
  CXMLDevice::AddTo(holder, db(), id, RenderMode::kFull, context().versionStamp);
  ReturnChildren(result, holder);
}

}  // namespace zeb
