#include "handlers/dialplan/DialPlanHandler.h"

#include "builders/CXMLDialPlan.h"
#include "handlers/ElementTables.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char kUpdateNotFound[] = "Dial Plan not found.";
const char kNotFound[] = "The specified dial plan was not found.";

Identification PlanIdentification(FamilyOperation operation) {
  return FamilyIdentification(operation, kUpdateNotFound, kNotFound);
}

}  // namespace

const ElementTable kDialPlanElements = {
    "addDialPlan", "updateDialPlan", "getDialPlan",
    Join({NamedRecordRows(zdl::DialPlanCols::kName),
          {
              Optional("description", Kind::kText, zdl::DialPlanCols::kDescription, kOpt, kOpt),
          }})};

std::vector<ElementRow> ClauseFamilyRows(int nameField, const char* extra, Presence membersInAdd) {
  return Join({NamedRecordRows(nameField),
               {
                   Custom("clause", Form::kValue, kOpt, kNo),
                   Choice({{"dialPlan", Form::kUuid, kInAdd},
                           {"dialPlanId", Form::kId, kInUpdate},
                           {"dialPlanName", Form::kName}},
                          kReq, kOpt),
                   Custom(extra, Form::kValue, kOpt, kNo),
                   Custom("members", Form::kChildren, membersInAdd, kOpt),
               }});
}

void SkipClause(ElementCursor& cursor, const char* nullText) {
  cursor.RequireNotNull(nullText);
  if (!cursor.Is("clause")) return;
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <dialPlan> or <dialPlanName>");
}

zdl::CZDLID ReadAddDialPlan(zdl::CZDLSession& session, const ElementCursor& cursor, const char* expected,
                            const char* notFound) {
  if (cursor.Is("dialPlan")) return ParseID(RequireAttribute(cursor.node(), "uuid"));
  if (!cursor.Is("dialPlanName")) cursor.ThrowFound(expected);
  return FindIdByName<zdl::CDialPlanList>(session, RequireValue(cursor.node(), ValueWording::kMustContain),
                                          notFound);
}

std::optional<zdl::CZDLID> ReadUpdateDialPlan(zdl::CZDLSession& session, ElementCursor& cursor,
                                              const char* notFound) {
  std::optional<zdl::CZDLID> plan;
  if (cursor.Is("dialPlanId")) {
    plan = ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
  } else if (cursor.Is("dialPlanName")) {
    plan = FindIdByName<zdl::CDialPlanList>(session, RequireValue(cursor.node(), ValueWording::kMustContain),
                                            notFound);
  } else {
    return plan;
  }
  cursor.Advance();
  return plan;
}

void CDialPlanHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <dialPlan>");
  zdl::CDialPlanList list(db());
  auto plan = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  plan->PutName(ReadAddName(cursor));
  ReadValues(cursor, kDialPlanElements, Shape::kAdd, "description", *plan);
  list.Update();
  Return(result, plan->GetID());
}

void CDialPlanHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDialPlanList list(db());
  Identify(cursor, list, PlanIdentification(FamilyOperation::kUpdate));
  auto plan = list.GetCurrentItem();
  ReadValues(cursor, kDialPlanElements, Shape::kUpdate, "newName", *plan);
  cursor.RequireEnd();
  list.Update();
  Return(result, plan->GetID());
}

void CDialPlanHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result,
         RemoveIdentified<zdl::CDialPlanList>(db(), cursor, PlanIdentification(FamilyOperation::kRemove)));
}

void CDialPlanHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id =
      IdentifiedID<zdl::CDialPlanList>(db(), cursor, PlanIdentification(FamilyOperation::kGet));
  CXMLElement holder;
  holder.AddNewChild<CXMLDialPlan>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
