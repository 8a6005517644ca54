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

Identification FilterIdentification(DialPlanOperation operation) {
  return DialPlanFamilyIdentification(operation, kUpdateNotFound, kNotFound, /*uuidFirst=*/true);
}

}  // namespace

// The clause is made from the members, never taken from a request.
const ElementTable kRouteFilterElements = {"addRouteFilter",
                                           "updateRouteFilter",
                                           "getRouteFilter",
                                           {
                                               IdentifiedBy("uuid", "name", kReq, kReq),
                                               Custom("name", Form::kValue, kReq, kNo),
                                               NewName(zdl::RouteFilterCols::kName),
                                               Custom("clause", Form::kValue, kOpt, kNo),
                                               Choice({{"dialPlan", Form::kUuid, kInAdd},
                                                       {"dialPlanId", Form::kId, kInUpdate},
                                                       {"dialPlanName", Form::kName}},
                                                      kReq, kOpt),
                                               Custom("dialPlanWizardGenId", Form::kValue, kOpt, kNo),
                                               Custom("members", Form::kChildren, kReq, kOpt),
                                           }};

void CRouteFilterHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <rfPtr>");
  zdl::CRouteFilterList list(db());
  auto filter = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  filter->PutName(ReadAddName(cursor));
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("clause")) {  // the clause is made from the members, never taken from a request
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <dialPlan> or <dialPlanName>");
  }
  filter->PutDialPlanID(ReadAddDialPlan(cursor));
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("dialPlanWizardGenId")) {
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <members>");
  }
  if (!cursor.Is("members")) cursor.ThrowFound("<members>");
  zdl::CRouteFilterMemberList members(db());
  ReadMembers(filter->GetID(), filter->GetDialPlanID(), members, cursor.node());
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (members.Count() > 0) members.Update();
  transaction.Commit();
  Return(result, filter->GetID());
}

zdl::CZDLID CRouteFilterHandler::ReadAddDialPlan(const ElementCursor& cursor) {
  if (cursor.Is("dialPlanName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    return FindIdByName<zdl::CDialPlanList>(db(), name, kDialPlanNotFound);
  }
  if (cursor.Is("dialPlan")) return ParseID(RequireAttribute(cursor.node(), "uuid"));
  cursor.ThrowFound("<dialPlanName> or <dialPlan>");
}

void CRouteFilterHandler::ReadMembers(const zdl::CZDLID& filter, const zdl::CZDLID& plan,
                                      zdl::CRouteFilterMemberList& members, XmlNode element) {
  members.SelectByRouteFilterID(filter);
  members.DeleteAll();
  for (ElementCursor member = ElementCursor::Enter(element); !member.AtEnd(); member.Advance()) {
    ReadMember(filter, plan, members, member);
  }
}

void CRouteFilterHandler::ReadMember(const zdl::CZDLID& filter, const zdl::CZDLID& plan,
                                     zdl::CRouteFilterMemberList& members, const ElementCursor& member) {
  if (!member.Is("member")) member.ThrowFound("<member>");
  auto row = members.Insert();
  row->PutRouteFilterID(filter);
  row->PutPrecedence(ParseLong(RequireAttribute(member.node(), "priority")));
  ElementCursor cursor = member.EnterCurrent();
  cursor.RequireNotNull("NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>.");
  if (cursor.Is("dialPlanTagName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    row->PutDialPlanTagID(FindTagByName(db(), name, plan, kTagNotFound)->GetID());
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <digits>.");
  } else if (cursor.Is("dialPlanTag")) {
    row->PutDialPlanTagID(ParseID(RequireAttribute(cursor.node(), "uuid")));
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  } else {
    cursor.ThrowFound("<dialPlanTagName> or <dialPlanTag>");
  }
  if (cursor.Is("digits")) {
    row->PutDigits(ValueOrEmpty(cursor.node()));
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <operator>.");
  }
  cursor.Expect("operator", "<operator>", "NULL element found. Expecting <operator>.");
  row->PutOperator(TypeEnum(db(), "TypeOperator", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  if (!cursor.AtEnd()) cursor.ThrowFound("no more elements");
}

void CRouteFilterHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRouteFilterList list(db());
  Identify(cursor, list, FilterIdentification(DialPlanOperation::kUpdate));
  auto filter = list.GetCurrentItem();
  ReadValues(cursor, kRouteFilterElements, Shape::kUpdate, "newName", *filter);
  if (cursor.Is("dialPlanName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    filter->PutDialPlanID(FindIdByName<zdl::CDialPlanList>(db(), name, kDialPlanNotFound));
    cursor.Advance();
  } else if (cursor.Is("dialPlanId")) {
    filter->PutDialPlanID(ParseID(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
  zdl::CRouteFilterMemberList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) ReadMembers(filter->GetID(), filter->GetDialPlanID(), members, cursor.node());
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
                                                         FilterIdentification(DialPlanOperation::kRemove)));
}

void CRouteFilterHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id =
      IdentifiedID<zdl::CRouteFilterList>(db(), cursor, FilterIdentification(DialPlanOperation::kGet));
  CXMLElement holder;
  holder.AddNewChild<CXMLRouteFilter>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
