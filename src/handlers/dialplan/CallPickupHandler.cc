#include "handlers/dialplan/CallPickupHandler.h"

#include "builders/CXMLCallPickup.h"
#include "handlers/dialplan/NumPlanLookup.h"

namespace zeb {

void CCallPickupHandler::Execute(XmlNode request, CXMLElement* body, Sequence sequence) {
  const std::string method = request.LocalName();
  if (method == "addCallPickupGroup") return Add(request, body, sequence);
  if (method == "updateCallPickupGroup") return Update(request, body, sequence);
  if (method == "removeCallPickupGroup") return Remove(request, body, sequence);
  if (method == "getCallPickupGroup") return Get(request, body, sequence);
  throw CUnknownMethodException(request.Name());
}

void CCallPickupHandler::LookupCallPickup(ElementCursor& cursor, zdl::CNumPlanList& list,
                                          const std::string& nullText, const std::string& notFound) {
  IdentifyNumPlan(cursor, db(), list, {nullText, true, true});
  RequireNumPlan(list, kUsageCallPickup, notFound, "The NumPlan specified is not a Call Pickup.");
}

void CCallPickupHandler::Add(XmlNode request, CXMLElement* body, Sequence sequence) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <callPickup>");
  zdl::CNumPlanList list(db());
  auto group = list.Insert();
  group->PutPatternUsageType(kUsageCallPickup);
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <pattern>");
  ReadNumberHead(cursor, *group);
  ReadOptionalPartition(cursor, db(), *group);
  list.Update();
  AddStandardResponse(body, "addCallPickupGroupResponse", group->GetID(), sequence);
}

void CCallPickupHandler::Update(XmlNode request, CXMLElement* body, Sequence sequence) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <pattern> or <uuid>", "Call Pickup not found.");
  auto group = list.GetCurrentItem();
  ReadNumberChanges(cursor, db(), *group);
  cursor.RequireEnd();
  list.Update();
  AddStandardResponse(body, "updateCallPickupGroupResponse", group->GetID(), sequence);
}

void CCallPickupHandler::Remove(XmlNode request, CXMLElement* body, Sequence sequence) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                   "The specified call pickup group was not found.");
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  list.Delete();
  list.Update();
  AddStandardResponse(body, "removeCallPickupGroupResponse", id, sequence);
}

void CCallPickupHandler::Get(XmlNode request, CXMLElement* body, Sequence sequence) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                   "The specified Call Pickup Group was not found.");
  CXMLElement holder;
  holder.AddNewChild<CXMLCallPickup>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID());
  AddElementResponse(body, "getCallPickupGroupResponse", sequence, holder);
}

}  // namespace zeb
