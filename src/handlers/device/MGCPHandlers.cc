#include "handlers/device/MGCPHandlers.h"

#include <cstdio>
#include <optional>

#include "builders/CXMLMGCP.h"
#include "handlers/ElementTables.h"
#include "handlers/device/GatewayEndpointHandlers.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

// What the type tables' conversions yield for a name they do not know.
constexpr long kUnknownSlotModule = 4;
constexpr long kUnknownVic = 5;

// Rows that already exist or are missing are reported as plain client faults with the row's
// indexes in the text.
[[noreturn]] void ThrowRowFault(const std::string& text) { throw text; }

std::string Indexes(const char* format, long a, long b = 0, long c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, static_cast<int>(a), static_cast<int>(b), static_cast<int>(c));
  return text;
}

// The value of element, or CInvalidValueException(message) when it has none.
std::string ValueOr(XmlNode element, const std::string& message) {
  auto value = ValueOf(element);
  if (!value) throw CInvalidValueException(message);
  return *value;
}

// The "index" attribute of a <unit>, <subunit> or <endpoint>.
long ReadIndex(XmlNode element, const char* name) {
  if (!element.HasAttributes()) throw CUnexpectedNodeException(std::string("No \"index\" attribute found in <") + name + ">");
  auto index = AttributeOf(element, "index");
  if (!index) throw CUnexpectedNodeException(std::string("The <") + name + "> element requires an index attribute");
  return ParseLong(*index);
}

// Expects the element at the cursor (nullText when there is none) and returns its index.
long ReadIndexed(const ElementCursor& cursor, const char* name, const std::string& nullText) {
  cursor.Expect(name, std::string("<") + name + ">", nullText);
  return ReadIndex(cursor.node(), name);
}

// The gateway named by <domainName> or <uuid> at the cursor; advances past it.
zdl::CZDLID FindGateway(zdl::CZDLSession& session, ElementCursor& cursor, const std::string& nullText) {
  const Identification how{nullText, "<uuid> or <domainName>", "domainName", ValueWording::kMustHave, "uuid",
                           ValueWording::kMustHave, "MGCP gateway device not found."};
  const Identified which = ReadIdentifier(cursor, how);
  zdl::CMGCPList gateways(session);
  if (which.byId) {
    gateways.SelectByID(ParseID(which.value));
  } else {
    gateways.SelectByDomainName(which.value);
  }
  if (gateways.Count() == 0) ThrowNotFound(how.notFound);
  return gateways.GetCurrentItem()->GetID();
}

const char kFoundNullGateway[] = "Found NULL, expecting <domainName> or <uuid>";
const char kNullGateway[] = "NULL element found.  Expecting <domainName> or <uuid>";

// The slot rows of the gateway: all of them, or only the subunit rows.
void SelectSlots(zdl::CMGCPSlotConfigList& slots, const zdl::CZDLID& gateway, bool subunitsOnly) {
  slots.SelectWhere(subunitsOnly ? "fkMGCP = ? AND Subunit IS NOT NULL" : "fkMGCP = ?", {gateway}, "Slot, Subunit");
}

// The unit's slot module, or nothing when the gateway has no such unit. A gateway without any
// slot row fails at once.
std::optional<long> FindUnit(zdl::CZDLSession& session, const zdl::CZDLID& gateway, long slot) {
  zdl::CMGCPSlotConfigList slots(session);
  SelectSlots(slots, gateway, false);
  if (slots.Count() == 0) ThrowRowFault(Indexes("MGCPSlotConfig table does not already have the unit(%d)", slot));
  for (; !slots.IsEOF(); slots.MoveNext()) {
    if (slots.GetCurrentItem()->GetSlot() == slot) return slots.GetCurrentItem()->GetMGCPSlotModule();
  }
  return std::nullopt;
}

void RequireSubunit(zdl::CZDLSession& session, const zdl::CZDLID& gateway, long slot, long subunit) {
  const std::string missing =
      Indexes("MGCPSlotConfig table does not already have the unit(%d) and subunit(%d)", slot, subunit);
  zdl::CMGCPSlotConfigList slots(session);
  SelectSlots(slots, gateway, true);
  for (; !slots.IsEOF(); slots.MoveNext()) {
    if (slots.GetCurrentItem()->GetSlot() == slot && slots.GetCurrentItem()->GetSubunit() == subunit) return;
  }
  ThrowRowFault(missing);
}

// Stores the lowest port of the subunit's members as its beginning port number.
void RecomputeBeginPort(zdl::CZDLSession& session, const zdl::CZDLID& gateway, long slot, long subunit) {
  zdl::CMGCPSlotConfigList slots(session);
  slots.SelectWhere("fkMGCP = ? AND Slot = ? AND Subunit = ?", {gateway, slot, subunit});
  if (slots.Count() == 0) return;
  const zdl::ResultSet lowest = session.Query(
      "SELECT COALESCE(MIN(Port), 0) FROM MGCPDeviceMember WHERE fkMGCP = ? AND Slot = ? AND Subunit = ?",
      {gateway, slot, subunit});
  slots.GetCurrentItem()->PutBeginPort(static_cast<long>(lowest.rows.at(0)[0].AsInt()));
  slots.Update();
}

// Deletes the endpoint devices of the members that match where (their member rows go with
// them). REQUIRES: a transaction is open.
void DeleteMemberDevices(zdl::CZDLSession& session, const std::string& where, const std::vector<zdl::CZDLValue>& values) {
  zdl::CDeviceList devices(session);
  devices.SelectWhere("pkid IN (SELECT fkDevice FROM MGCPDeviceMember WHERE " + where + ")", values);
  devices.DeleteAll();
  devices.Update();
}

}  // namespace

// A gateway's units, subunits and endpoints are added by methods of their own.
const ElementTable kMGCPElements = {
    "addMGCP",
    "updateMGCP",
    "getMGCP",
    {
        Choice({{"domainName", Form::kName}, {"uuid", Form::kId}}, kNo, kReq, kReq),
        Custom("domainName", Form::kValue, kReq, kNo),
        Custom("newDomainName", Form::kValue, kNo, kOpt),
        Custom("description", Form::kValue, kOpt, kOpt),
        Custom("product", Form::kValue, kReq, kOpt),
        Custom("model", Form::kValue, kReq, kOpt),
        Choice({{"dialcoreGroup", Form::kUuid}, {"dialcoreGroupName", Form::kName}}, kReq, kOpt),
        Custom("units", Form::kChildren, kOpt, kNo),
        // Read by the add's own code, where versionStamp and loadInformation are required.
        Optional("scratch", Kind::kText, zdl::MGCPCols::kScratch, kOpt, kOpt),
        WithEmpty(Optional("vendorConfig", Kind::kText, zdl::MGCPCols::kXML, kOpt, kOpt), IfEmpty::kLeave,
                  IfEmpty::kThenMustHave),
        Optional("versionStamp", Kind::kSkipped, -1, kReq, kOpt),
        Optional("loadInformation", Kind::kText, zdl::MGCPCols::kSpecialLoadInformation, kReq, kOpt),
    }};

void CMGCPHandler::Written(XmlNode request, CXMLElement& result, Write write) {
  zdl::CZDLTransaction transaction(db());
  const zdl::CZDLID id = (this->*write)(request);
  transaction.Commit();
  Return(result, id);
}

void CMGCPHandler::AddMGCP(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteAddGateway);
}

void CMGCPHandler::AddUnit(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteAddUnit);
}

void CMGCPHandler::AddSubunit(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteAddSubunit);
}

void CMGCPHandler::AddEndpoint(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteAddEndpoint);
}

void CMGCPHandler::Update(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteUpdate);
}

void CMGCPHandler::Remove(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteRemove);
}

void CMGCPHandler::RemoveUnit(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteRemoveUnit);
}

void CMGCPHandler::RemoveSubunit(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteRemoveSubunit);
}

void CMGCPHandler::RemoveEndpoint(XmlNode request, CXMLElement& result) {
  Written(request, result, &CMGCPHandler::WriteRemoveEndpoint);
}

// --- adds ---

zdl::CZDLID CMGCPHandler::WriteAddGateway(XmlNode request) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newMGCP>");
  zdl::CMGCPList gateways(db());
  auto gateway = gateways.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  ReadHeader(cursor, *gateway);
  // The gateway is written first: its units refer to it.
  gateways.Update();
  if (cursor.Is("units")) {
    for (ElementCursor unit = cursor.EnterCurrent(); !unit.AtEnd(); unit.Advance()) {
      if (!unit.Is("unit")) unit.ThrowFound("<unit>");
      ReadUnit(gateway->GetID(), unit.node());
    }
    cursor.Advance();
  }
  ReadTail(cursor, *gateway);
  gateways.Update();
  return gateway->GetID();
}

void CMGCPHandler::ReadHeader(ElementCursor& cursor, zdl::CMGCP& gateway) {
  cursor.RequireNotNull("  Found NULL, expecting <domainName>");
  if (!cursor.Is("domainName")) cursor.ThrowFound("<domainName>");
  const std::string domain = ValueOr(cursor.node(), "The element, <domainName>, must contain a value");
  zdl::CMGCPList existing(db());
  existing.SelectByDomainName(domain);
  if (existing.Count() > 0) ThrowRowFault("Insert Failed. DomainName already exists");
  gateway.PutDomainName(domain);
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <description> or <product>");
  if (cursor.Is("description")) {
    gateway.PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  cursor.RequireNotNull("NULL element found. Expecting <product>");
  if (!cursor.Is("product")) cursor.ThrowFound("<product>");
  const std::string product = ValueOr(cursor.node(), "The element, <product>, must contain a value");
  const long number = FindTypeEnum(db(), "TypeProduct", product).value_or(zdl::kProductUnknown);
  if (number == zdl::kProductUnknown) throw CInvalidValueException("Unknown product type: " + product);
  gateway.PutProduct(number);
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <model>");
  if (!cursor.Is("model")) cursor.ThrowFound("<model>");
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <dialcoreGroup> or <domainName>");
  if (cursor.Is("dialcoreGroup")) {
    gateway.PutDialcoreGroupID(ParseID(RequireAttribute(cursor.node(), "uuid", false)));
  } else if (cursor.Is("dialcoreGroupName")) {
    const std::string name = ValueOr(cursor.node(), "The element, <dialcoreGroupName>, must contain a value");
    gateway.PutDialcoreGroupID(FindIdByName<zdl::CDialcoreGroupList>(db(), name, "Dialcore Group not found"));
  } else {
    cursor.ThrowFound("<dialcoreGroup> or <dialcoreGroupName>");
  }
  cursor.Advance();
  cursor.RequireNotNull("NULL element found, expecting more elements.");
}

void CMGCPHandler::ReadTail(ElementCursor& cursor, zdl::CMGCP& gateway) {
  if (cursor.Is("scratch")) {
    gateway.PutScratch(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  cursor.RequireNotNull("NULL element found. Expecting <vendorConfig>");
  if (cursor.Is("vendorConfig")) {
    gateway.PutXML(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  cursor.RequireNotNull("NULL element found. Expecting <versionStamp>");
  if (!cursor.Is("versionStamp")) cursor.ThrowFound("<versionStamp>");
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <specialLoadInformation>");
  if (!cursor.Is("loadInformation")) cursor.ThrowFound("<loadInformation>");
  gateway.PutSpecialLoadInformation(ValueOrEmpty(cursor.node()));
  cursor.Advance();
  cursor.RequireEnd(false);
}

void CMGCPHandler::ReadUnit(const zdl::CZDLID& gateway, XmlNode unit) {
  const long slot = ReadIndex(unit, "unit");
  ElementCursor cursor = ElementCursor::Enter(unit);
  cursor.RequireNotNull("NULL element found, expecting <product> for unit");
  if (!cursor.Is("product")) cursor.ThrowFound("<product>");
  const std::string product = ValueOr(cursor.node(), "Product type Not specified: ");
  const long module = FindTypeEnum(db(), "TypeMGCPSlotModule", product).value_or(kUnknownSlotModule);
  if (module == kUnknownSlotModule) throw CInvalidValueException("Invalid product type specified for <unit>: " + product);
  cursor.Advance();

  zdl::CMGCPSlotConfigList slots(db());
  SelectSlots(slots, gateway, false);
  for (; !slots.IsEOF(); slots.MoveNext()) {
    if (slots.GetCurrentItem()->GetSlot() == slot) {
      ThrowRowFault(Indexes("MGCPSlotConfig already has an entry with unit(%d)", slot));
    }
  }
  auto row = slots.Insert();
  row->PutMGCPID(gateway);
  row->PutSlot(slot);
  row->PutMGCPSlotModule(module);
  slots.Update();

  if (cursor.Is("subunits")) {
    for (ElementCursor subunit = cursor.EnterCurrent(); !subunit.AtEnd(); subunit.Advance()) {
      ReadSubunit(gateway, slot, module, subunit);
    }
    cursor.Advance();
  } else if (!cursor.AtEnd()) {
    cursor.ThrowFound("Expecting <subunits>");
  }
  cursor.RequireEnd(false);
}

void CMGCPHandler::ReadSubunit(const zdl::CZDLID& gateway, long slot, long module, const ElementCursor& subunit) {
  const long index = ReadIndexed(subunit, "subunit", "Found NULL, expecting <subunit>");
  ElementCursor cursor = subunit.EnterCurrent();
  cursor.RequireNotNull("NULL element found, expecting <product> for subunit element");
  if (!cursor.Is("product")) cursor.ThrowFound("<product>");
  const std::string product = ValueOr(cursor.node(), "Product type not specified for Subunit ");
  const long vic = FindTypeEnum(db(), "TypeMGCPVic", product).value_or(kUnknownVic);
  if (vic == kUnknownVic) throw CInvalidValueException("Invalid Vic type specified for <subunit>: " + product);
  cursor.Advance();

  zdl::CMGCPSlotConfigList slots(db());
  SelectSlots(slots, gateway, true);
  for (; !slots.IsEOF(); slots.MoveNext()) {
    if (slots.GetCurrentItem()->GetSlot() == slot && slots.GetCurrentItem()->GetSubunit() == index) {
      ThrowRowFault(Indexes("MGCPSlotConfig already has an entry with unit(%d) and subunit(%d)", slot, index));
    }
  }
  auto row = slots.Insert();
  row->PutMGCPID(gateway);
  row->PutSlot(slot);
  row->PutMGCPSlotModule(module);
  row->PutSubunit(index);
  row->PutMGCPVic(vic);
  slots.Update();

  if (cursor.Is("endpoints")) {
    zdl::CMGCPDeviceMemberList members(db());
    for (ElementCursor endpoint = cursor.EnterCurrent(); !endpoint.AtEnd(); endpoint.Advance()) {
      ReadEndpoint(gateway, slot, index, endpoint, members);
    }
    members.Update();
    RecomputeBeginPort(db(), gateway, slot, index);
    cursor.Advance();
  } else if (!cursor.AtEnd()) {
    cursor.ThrowFound("<endpoints>");
  }
  cursor.RequireEnd(false);
}

void CMGCPHandler::ReadEndpoint(const zdl::CZDLID& gateway, long slot, long subunit, const ElementCursor& endpoint,
                                zdl::CMGCPDeviceMemberList& members) {
  const long port = ReadIndexed(endpoint, "endpoint", "Found NULL, expecting <endpoint>");
  const zdl::ResultSet taken = db().Query(
      "SELECT pkid FROM MGCPDeviceMember WHERE fkMGCP = ? AND Slot = ? AND Subunit = ? AND Port = ?",
      {gateway, slot, subunit, port});
  bool pending = false;
  for (std::size_t i = 0; i < members.Count(); ++i) pending = pending || members.GetItem(i)->GetPort() == port;
  if (!taken.rows.empty() || pending) {
    ThrowRowFault(Indexes("MGCPDeviceMember table already has entry with slot(%d), subunit(%d), port(%d)", slot,
                          subunit, port));
  }
  const zdl::CZDLID device = AddGatewayEndpointDevice(db(), endpoint.node());
  auto member = members.Insert();
  member->PutMGCPID(gateway);
  member->PutSlot(slot);
  member->PutSubunit(subunit);
  member->PutPort(port);
  member->PutDeviceID(device);
}

zdl::CZDLID CMGCPHandler::WriteAddUnit(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID gateway = FindGateway(db(), cursor, "Found NULL, expecting <domainName> or <uuid>");
  cursor.Expect("unit", "<unit>", "Found NULL, expecting <unit>");
  ReadUnit(gateway, cursor.node());
  cursor.Advance();
  cursor.RequireEnd(false);
  return gateway;
}

zdl::CZDLID CMGCPHandler::WriteAddSubunit(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID gateway = FindGateway(db(), cursor, kFoundNullGateway);
  const long slot = ReadIndexed(cursor, "unit", "Found NULL, expecting <unit>");
  const std::optional<long> module = FindUnit(db(), gateway, slot);
  if (!module) ThrowRowFault(Indexes("MGCPSlotConfig table does not already have unit(%d)", slot));
  cursor.Advance();
  ReadSubunit(gateway, slot, *module, cursor);
  cursor.Advance();
  cursor.RequireEnd(false);
  return gateway;
}

zdl::CZDLID CMGCPHandler::WriteAddEndpoint(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID gateway = FindGateway(db(), cursor, kFoundNullGateway);
  const long slot = ReadIndexed(cursor, "unit", "Found NULL, expecting <unit>");
  if (!FindUnit(db(), gateway, slot)) {
    ThrowRowFault(Indexes("MGCPSlotConfig table does not already have unit(%d)", slot));
  }
  cursor.Advance();
  const long subunit = ReadIndexed(cursor, "subunit", "Found NULL, expecting <subunit>");
  RequireSubunit(db(), gateway, slot, subunit);
  cursor.Advance();
  zdl::CMGCPDeviceMemberList members(db());
  ReadEndpoint(gateway, slot, subunit, cursor, members);
  cursor.Advance();
  cursor.RequireEnd(false);
  members.Update();
  RecomputeBeginPort(db(), gateway, slot, subunit);
  return gateway;
}

// --- update and get ---

zdl::CZDLID CMGCPHandler::WriteUpdate(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kNullGateway);
  zdl::CMGCPList gateways(db());
  gateways.SelectByID(id);
  auto gateway = gateways.GetCurrentItem();
  if (cursor.Is("newDomainName")) {
    gateway->PutDomainName(ValueOr(cursor.node(), "Then element, <newDomainName>, must have a value"));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    gateway->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  // The product and model cannot be changed; the elements are accepted and ignored.
  if (cursor.Is("product")) cursor.Advance();
  if (cursor.Is("model")) cursor.Advance();
  if (cursor.Is("dialcoreGroup")) {
    gateway->PutDialcoreGroupID(ParseID(RequireAttribute(cursor.node(), "uuid", false)));
    cursor.Advance();
  } else if (cursor.Is("dialcoreGroupName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    gateway->PutDialcoreGroupID(FindIdByName<zdl::CDialcoreGroupList>(db(), name, "Dialcore Group not found."));
    cursor.Advance();
  }
  if (cursor.Is("units")) throw CInvalidValueException("Cannot update <units>. Use remove and add.");
  ReadValues(cursor, kMGCPElements, Shape::kUpdate, "scratch", *gateway);
  cursor.RequireEnd(false);
  gateways.Update();
  return id;
}

void CMGCPHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kNullGateway);
  CXMLElement holder;
  holder.AddNewChild<CXMLMGCP>()->BuildFromDatabase(db(), id, RenderMode::kNames, context().versionStamp);
  ReturnChildren(result, holder);
}

// --- removals ---

zdl::CZDLID CMGCPHandler::WriteRemove(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kFoundNullGateway);
  DeleteMemberDevices(db(), "fkMGCP = ?", {id});
  zdl::CMGCPList gateways(db());
  gateways.SelectByID(id);
  gateways.DeleteAll();
  gateways.Update();
  return id;
}

zdl::CZDLID CMGCPHandler::WriteRemoveUnit(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kFoundNullGateway);
  const long slot = ReadIndexed(cursor, "unit", "NULL element found. Expecting <unit>");
  if (!FindUnit(db(), id, slot)) ThrowRowFault(Indexes("MGCPSlotConfig table does not have unit(%d)", slot));
  zdl::CMGCPSlotConfigList slots(db());
  slots.SelectWhere("fkMGCP = ? AND Slot = ?", {id, slot});
  DeleteMemberDevices(db(), "fkMGCP = ? AND Slot = ?", {id, slot});
  slots.DeleteAll();
  slots.Update();
  return id;
}

zdl::CZDLID CMGCPHandler::WriteRemoveSubunit(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kFoundNullGateway);
  const long slot = ReadIndexed(cursor, "unit", "Found NULL, expecting <unit>");
  cursor.Advance();
  const long subunit = ReadIndexed(cursor, "subunit", "Found NULL, expecting <subunit>");
  zdl::CMGCPSlotConfigList slots(db());
  slots.SelectWhere("fkMGCP = ? AND Slot = ? AND Subunit = ?", {id, slot, subunit});
  if (slots.Count() == 0) ThrowRowFault("Subunit not found");
  DeleteMemberDevices(db(), "fkMGCP = ? AND Slot = ? AND Subunit = ?", {id, slot, subunit});
  slots.DeleteAll();
  slots.Update();
  return id;
}

zdl::CZDLID CMGCPHandler::WriteRemoveEndpoint(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = FindGateway(db(), cursor, kFoundNullGateway);
  const long slot = ReadIndexed(cursor, "unit", "Found NULL, expecting <unit>");
  cursor.Advance();
  const long subunit = ReadIndexed(cursor, "subunit", "Found NULL, expecting <subunit>");
  cursor.Advance();
  const long port = ReadIndexed(cursor, "endpoint", "Found NULL, expecting <endpoint>");
  const std::string where = "fkMGCP = ? AND Slot = ? AND Subunit = ? AND Port = ?";
  zdl::CMGCPDeviceMemberList members(db());
  members.SelectWhere(where, {id, slot, subunit, port});
  if (members.Count() == 0) ThrowRowFault("Endpoint not found");
  DeleteMemberDevices(db(), where, {id, slot, subunit, port});
  return id;
}

}  // namespace zeb
