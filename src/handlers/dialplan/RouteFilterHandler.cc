#include "handlers/dialplan/RouteFilterHandler.h"

#include "builders/CXMLRouteFilter.h"
#include "handlers/ElementTables.h"
#include "handlers/dialplan/DialPlanHandler.h"
#include "handlers/dialplan/DialPlanTagHandler.h"

namespace zeb {

namespace {

const char kMoreElements[] = "NULL element found. Expecting more elements.";
const char kUpdateNotFound[] = "Route Filter not found.";
const char kNotFound[] = "The specified Route Filter was not found.";
const char kDialPlanNotFound[] = "The specified Dial Plan was not found.";
const char kTagNotFound[] = "The specified Dial Plan Tag was not found.";

Identification FilterIdentification(FamilyOperation operation) {
  return FamilyIdentification(operation, kUpdateNotFound, kNotFound, /*uuidFirst=*/true);
}

void ReadMember(zdl::CZDLSession& session, const zdl::CZDLID& filter, const zdl::CZDLID& plan,
                zdl::CRouteFilterMember& row, const ElementCursor& member) {
  row.PutRouteFilterID(filter);
  row.PutPrecedence(ParseLong(RequireAttribute(member.node(), "priority")));
  ElementCursor cursor = member.EnterCurrent();
  cursor.RequireNotNull("NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>.");
  if (cursor.Is("dialPlanTagName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    row.PutDialPlanTagID(FindTagByName(session, name, plan, kTagNotFound)->GetID());
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <digits>.");
  } else if (cursor.Is("dialPlanTag")) {
    row.PutDialPlanTagID(ParseID(RequireAttribute(cursor.node(), "uuid")));
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  } else {
    cursor.ThrowFound("<dialPlanTagName> or <dialPlanTag>");
  }
  if (cursor.Is("digits")) {
    row.PutDigits(ValueOrEmpty(cursor.node()));
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <operator>.");
  }
  cursor.Expect("operator", "<operator>", "NULL element found. Expecting <operator>.");
  row.PutOperator(TypeEnum(session, "TypeOperator", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  if (!cursor.AtEnd()) cursor.ThrowFound("no more elements");
}

// Replaces the members of filter (whose dial plan is plan) by the children of "members".
void ReadMembers(zdl::CZDLSession& session, const zdl::CZDLID& filter, const zdl::CZDLID& plan,
                 zdl::CRouteFilterMemberList& members, XmlNode element) {
  members.SelectByRouteFilterID(filter);
  ReplaceMembers(members, element, [&](zdl::CRouteFilterMember& row, const ElementCursor& member) {
    ReadMember(session, filter, plan, row, member);
  });
}

}  // namespace

const ElementTable kRouteFilterElements = {
    "addRouteFilter", "updateRouteFilter", "getRouteFilter",
    ClauseFamilyRows(zdl::RouteFilterCols::kName, "dialPlanWizardGenId", kReq)};

void CRouteFilterHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <rfPtr>");
  zdl::CRouteFilterList list(db());
  auto filter = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  filter->PutName(ReadAddName(cursor));
  SkipClause(cursor, kMoreElements);
  filter->PutDialPlanID(ReadAddDialPlan(db(), cursor, "<dialPlanName> or <dialPlan>", kDialPlanNotFound));
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("dialPlanWizardGenId")) {
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <members>");
  }
  if (!cursor.Is("members")) cursor.ThrowFound("<members>");
  zdl::CRouteFilterMemberList members(db());
  ReadMembers(db(), filter->GetID(), filter->GetDialPlanID(), members, cursor.node());
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (members.Count() > 0) members.Update();
  transaction.Commit();
  Return(result, filter->GetID());
}

void CRouteFilterHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRouteFilterList list(db());
  Identify(cursor, list, FilterIdentification(FamilyOperation::kUpdate));
  auto filter = list.GetCurrentItem();
  ReadValues(cursor, kRouteFilterElements, Shape::kUpdate, "newName", *filter);
  if (auto plan = ReadUpdateDialPlan(db(), cursor, kDialPlanNotFound)) filter->PutDialPlanID(*plan);
  zdl::CRouteFilterMemberList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) ReadMembers(db(), filter->GetID(), filter->GetDialPlanID(), members, cursor.node());
  // Whatever follows is not looked at.
  zdl::CZDLTransaction transaction(db());
  if (replaceMembers) members.Update();
  list.Update();
  transaction.Commit();
  Return(result, filter->GetID());
}

void CRouteFilterHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<zdl::CRouteFilterList>(db(), cursor,
                                                         FilterIdentification(FamilyOperation::kRemove)));
}

void CRouteFilterHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id =
      IdentifiedID<zdl::CRouteFilterList>(db(), cursor, FilterIdentification(FamilyOperation::kGet));
  CXMLElement holder;
  holder.AddNewChild<CXMLRouteFilter>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
