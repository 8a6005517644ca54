#include "handlers/dialplan/RouteListHandlers.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "builders/CXMLRouteList.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/Records.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

constexpr std::uint32_t kComOverflow = 0x8002000Au;
const char kMoreElements[] = "NULL element found. Expecting more elements.";
const Identification kRouteList =
    ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave, "Route List not found.");
const Identification kSpecifiedRouteList =
    ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave,
                 "The specified Route List was not found.");

// A reference given as <field uuid="..."/> (without the attribute it stays as it was),
// <fieldName>name</fieldName>, or the deprecated <fieldId>. False when the cursor is on none of
// them.
template <class List>
bool ReadReference(zdl::CZDLSession& session, const ElementCursor& cursor, const std::string& field,
                   const char* notFound, zdl::CZDLID& id) {
  const std::string nameElement = field + "Name";
  const std::string idElement = field + "Id";
  if (cursor.Is(field.c_str())) {
    if (auto uuid = AttributeOf(cursor.node(), "uuid")) id = ParseID(*uuid);
    return true;
  }
  if (cursor.Is(nameElement.c_str())) {
    id = FindIdByName<List>(session, RequireValue(cursor.node(), ValueWording::kMustContain), notFound);
    return true;
  }
  if (cursor.Is(idElement.c_str())) {
    throw CUnexpectedNodeException("Deprecated element <" + idElement + ">. Please use <" + field + "> or <" +
                                   nameElement + ">.");
  }
  return false;
}

// An optional reference of a member (see ReadReference), preceded by the NULL check of its
// position; put stores an identifier found.
template <class List>
void ReadOptionalReference(zdl::CZDLSession& session, ElementCursor& cursor, const char* field,
                           const char* notFound, zdl::CRouteList& row,
                           void (zdl::CRouteList::*put)(const zdl::CZDLID&)) {
  cursor.RequireNotNull(kMoreElements);
  zdl::CZDLID id;
  if (!ReadReference<List>(session, cursor, field, notFound, id)) return;
  if (!id.isNull()) (row.*put)(id);
  cursor.Advance();
}

// The optional elements between the selection order and useFullyQualifiedCallingPartyNumber.
void ReadDigitManipulation(zdl::CZDLSession& session, zdl::CRouteList& row, ElementCursor& cursor) {
  auto text = [&](const char* name, void (zdl::CRouteList::*put)(const std::string&)) {
    cursor.RequireNotNull(kMoreElements);
    if (!cursor.Is(name)) return;
    (row.*put)(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  };
  text("calledPartyTransformationMask", &zdl::CRouteList::PutCalledPartyTransformationMask);
  text("callingPartyTransformationMask", &zdl::CRouteList::PutCallingPartyTransformationMask);
  ReadOptionalReference<zdl::CCallingSearchSpaceList>(session, cursor, "callingSearchSpace",
                                                      "Calling search space not found.", row,
                                                      &zdl::CRouteList::PutCallingSearchSpaceID);
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("dialPlanWizardGenId")) cursor.Advance();
  ReadOptionalReference<zdl::CDigitDiscardInstructionList>(session, cursor, "digitDiscardInstruction",
                                                           "Digit Discard Instruction not found.", row,
                                                           &zdl::CRouteList::PutDigitDiscardInstructionID);
  text("prefixDigitsOut", &zdl::CRouteList::PutPrefixDigitsOut);
  text("callingPartyPrefixDigits", &zdl::CRouteList::PutCallingPartyPrefixDigits);
}

void ReadMember(zdl::CZDLSession& session, const zdl::CZDLID& routeList, zdl::CRouteListList& members,
                const ElementCursor& member) {
  if (!member.Is("member")) member.ThrowFound("<member>");
  auto row = members.Insert();
  row->PutDeviceID(routeList);
  ElementCursor cursor = member.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <routeGroup> or <routeGroupName>");
  zdl::CZDLID group;
  if (!ReadReference<zdl::CRouteGroupList>(session, cursor, "routeGroup", "Route Group not found.", group)) {
    cursor.ThrowFound("<routeGroup> or <routeGroupName>");
  }
  row->PutRouteGroupID(group);
  cursor.Advance();
  cursor.Expect("routeGroupSelectionOrder", "<routeGroupSelectionOrder>",
                "NULL element found. Expecting <routeGroupSelectionOrder>.");
  row->PutRouteGroupSelectionOrder(VariantToLong(RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  ReadDigitManipulation(session, *row, cursor);
  cursor.Expect("useFullyQualifiedCallingPartyNumber", "<useFullyQualifiedCallingPartyNumber>",
                "NULL element found. Expecting <useFullyQualifiedCallingPartyNumber>.");
  row->PutUseFullyQualifiedCallingPartyNumber(
      TypeEnum(session, "TypeStatus", RequireValue(cursor.node(), ValueWording::kMustContain)));
}

// Replaces the route list's members by the children of "members", which must hold one at least.
void ReadMembers(zdl::CZDLSession& session, const zdl::CZDLID& routeList, zdl::CRouteListList& members,
                 XmlNode element) {
  ElementCursor member = ElementCursor::Enter(element);
  member.RequireNotNull("NULL element found. Expecting <member>.");
  members.SelectByDeviceID(routeList);
  members.DeleteAll();
  for (; !member.AtEnd(); member.Advance()) ReadMember(session, routeList, members, member);
}

}  // namespace

long VariantToLong(const std::string& text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0;
  while (i < text.size() && blank(text[i])) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t integerStart = i;
  long long magnitude = 0;
  for (; i < text.size() && digit(text[i]); ++i) magnitude = std::min(magnitude * 10 + (text[i] - '0'), 1LL << 40);
  bool digits = i > integerStart;
  int firstFraction = 0;
  bool restOfFraction = false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = ++i;
    for (; i < text.size() && digit(text[i]); ++i) {
      if (i == fractionStart) firstFraction = text[i] - '0';
      if (i > fractionStart && text[i] != '0') restOfFraction = true;
    }
    digits = digits || i > fractionStart;
  }
  while (i < text.size() && blank(text[i])) ++i;
  if (!digits || i != text.size()) throw CComError(kComTypeMismatch, "Type mismatch.");
  // A fraction of exactly one half goes to the even neighbour.
  if (firstFraction > 5 || (firstFraction == 5 && (restOfFraction || magnitude % 2 == 1))) ++magnitude;
  const long long value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) throw CComError(kComOverflow, "Out of present range.");
  return static_cast<long>(value);
}

const ElementTable kRouteListElements = {
    "addRouteList", "updateRouteList", "getRouteList",
    Join({NamedRecordRows(zdl::DeviceCols::kName),
          {
              Optional("description", Kind::kText, zdl::DeviceCols::kDescription, kOpt, kOpt),
              Custom("members", Form::kChildren, kReq, kOpt),
          }})};

void CRouteListHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <routeList>");
  zdl::CDeviceList devices(db());
  auto device = devices.Insert();
  device->PutProduct(zdl::kProductRouteList);
  ElementCursor cursor = wrapper.EnterCurrent();
  device->PutName(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <description> or <members>.");
  if (cursor.Is("description")) {
    device->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <members>.");
  }
  if (!cursor.Is("members")) cursor.ThrowFound("<members>");
  zdl::CRouteListList members(db());
  ReadMembers(db(), device->GetID(), members, cursor.node());
  zdl::CZDLTransaction transaction(db());
  devices.Update();
  members.Update();
  transaction.Commit();
  Return(result, device->GetID());
}

void CRouteListHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kRouteList);
  auto device = devices.GetCurrentItem();
  ReadValues(cursor, kRouteListElements, Shape::kUpdate, "newName", *device);
  zdl::CRouteListList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) {
    ReadMembers(db(), device->GetID(), members, cursor.node());
    cursor.Advance();
  }
  cursor.RequireEnd();
  zdl::CZDLTransaction transaction(db());
  devices.Update();
  if (replaceMembers) members.Update();
  transaction.Commit();
  Return(result, device->GetID());
}

void CRouteListHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kSpecifiedRouteList);
  const zdl::CZDLID id = devices.GetCurrentItem()->GetID();
  zdl::CRouteListList members(db());
  members.SelectByDeviceID(id);
  members.DeleteAll();
  zdl::CZDLTransaction transaction(db());
  members.Update();
  devices.Delete();
  devices.Update();
  transaction.Commit();
  Return(result, id);
}

void CRouteListHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kRouteList);
  const zdl::CZDLID id = devices.GetCurrentItem()->GetID();
  // The members are read once, for the check and the element; the list is not read again.
  zdl::CZDLReadAhead ahead(db());
  ahead.Know(*devices.GetCurrentItem());
  CXMLRouteListMembers::ReadAhead(ahead, id);
  ahead.Run();
  if (!CXMLRouteListMembers::Exist(db(), id)) ThrowNotFound("Route List not found.");
  CXMLElement holder;
  holder.AddNewChild<CXMLRouteList>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
