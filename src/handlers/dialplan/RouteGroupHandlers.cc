#include "handlers/dialplan/RouteGroupHandlers.h"

#include "builders/CXMLRouteGroup.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char kGroupNotFound[] = "Route Group not found.";
const char kSpecifiedGroupNotFound[] = "The specified route group was not found.";

// The device of a member: "device" by its mandatory uuid, or "deviceName".
zdl::CZDLID ReadMemberDevice(zdl::CZDLSession& session, const ElementCursor& cursor) {
  if (cursor.Is("device")) return ParseID(RequireAttribute(cursor.node(), "uuid"));
  if (cursor.Is("deviceName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    return FindIdByName<zdl::CDeviceList>(session, name, "Device not found.");
  }
  if (cursor.Is("deviceId")) {
    throw CUnexpectedNodeException("Deprecated element <deviceId>. Please use <device> or <deviceName.");
  }
  cursor.ThrowFound("<device> or <deviceName>");
}

// One "member": its port attribute, selection order, wizard number and device.
void ReadMember(zdl::CZDLSession& session, const zdl::CZDLID& group, zdl::CRouteGroupDeviceMap& row,
                const ElementCursor& member) {
  row.PutRouteGroupID(group);
  row.PutPort(ParseLong(RequireAttribute(member.node(), "port")));
  ElementCursor cursor = member.EnterCurrent();
  cursor.Expect("deviceSelectionOrder", "<deviceSelectionOrder>", "NULL element found, expecting <deviceSelectionOrder>");
  row.PutDeviceSelectionOrder(ParseLong(ValueOrEmpty(cursor.node())));
  cursor.Advance();
  cursor.Expect("dialPlanWizardGenId", "<dialPlanWizardGenId>", "NULL element found, expecting <dialPlanWizardGenId>");
  cursor.Advance();
  cursor.RequireNotNull("NULL element found, expecting <device> or <deviceName>");
  row.PutDeviceID(ReadMemberDevice(session, cursor));
}

// Replaces the group's device map by the children of the "members" element.
void ReadMembers(zdl::CZDLSession& session, const zdl::CZDLID& group, zdl::CRouteGroupDeviceMapList& map,
                 XmlNode members) {
  map.SelectByRouteGroupID(group);
  ReplaceMembers(map, members, [&](zdl::CRouteGroupDeviceMap& row, const ElementCursor& member) {
    ReadMember(session, group, row, member);
  });
}

}  // namespace

// The description of a new group is read past, not stored.
const ElementTable kRouteGroupElements = {"addRouteGroup", "updateRouteGroup", "getRouteGroup",
                                          Join({NamedRecordRows(zdl::RouteGroupCols::kName),
                                                {
                                                    Custom("description", Form::kValue, kOpt, kNo),
                                                    Custom("dialPlanWizardGenId", Form::kValue, kOpt, kNo),
                                                    Custom("members", Form::kChildren, kReq, kOpt),
                                                }})};

void CRouteGroupHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <routeGroup>");
  zdl::CRouteGroupList list(db());
  auto group = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  group->PutName(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <description> or <dialPlanWizardGenId>");
  if (cursor.Is("description")) {  // accepted, not stored
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <dialPlanWizardGenId>");
  }
  if (cursor.Is("dialPlanWizardGenId")) {
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <members>");
  }
  // The group is written before its members are read, so a refused group is reported first;
  // a failure with the members rolls the group back with them.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (!cursor.Is("members")) cursor.ThrowFound("<members>");
  zdl::CRouteGroupDeviceMapList map(db());
  ReadMembers(db(), group->GetID(), map, cursor.node());
  map.Update();
  transaction.Commit();
  Return(result, group->GetID());
}

void CRouteGroupHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRouteGroupList list(db());
  Identify(cursor, list,
           FamilyIdentification(FamilyOperation::kUpdate, kGroupNotFound, kSpecifiedGroupNotFound));
  auto group = list.GetCurrentItem();
  ReadValues(cursor, kRouteGroupElements, Shape::kUpdate, "newName", *group);
  zdl::CRouteGroupDeviceMapList map(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) {
    ReadMembers(db(), group->GetID(), map, cursor.node());
    cursor.Advance();
  }
  cursor.RequireEnd();
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (replaceMembers) map.Update();
  transaction.Commit();
  Return(result, group->GetID());
}

void CRouteGroupHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result,
         RemoveIdentified<zdl::CRouteGroupList>(
             db(), cursor,
             FamilyIdentification(FamilyOperation::kRemove, kGroupNotFound, kSpecifiedGroupNotFound)));
}

void CRouteGroupHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRouteGroupList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustContain,
                        kSpecifiedGroupNotFound, "<name> or <uuid>"));
  CXMLElement holder;
  holder.AddNewChild<CXMLRouteGroup>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                          RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
