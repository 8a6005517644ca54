#include "handlers/dialplan/CallPickupHandler.h"

#include "builders/CXMLCallPickup.h"
#include "handlers/dialplan/NumPlanLookup.h"

namespace zeb {

void CCallPickupHandler::Execute(XmlNode request, CXMLElement& result) {
  const std::string method = request.LocalName();
  if (method == "addCallPickupGroup") return Add(request, result);
  if (method == "updateCallPickupGroup") return Update(request, result);
  if (method == "removeCallPickupGroup") return Remove(request, result);
  if (method == "getCallPickupGroup") return Get(request, result);
  throw CUnknownMethodException(request.Name());
}

void CCallPickupHandler::LookupCallPickup(ElementCursor& cursor, zdl::CNumPlanList& list,
                                          const std::string& nullText, const std::string& notFound) {
  IdentifyNumPlan(cursor, db(), list, {nullText, true, true});
  RequireNumPlan(list, kUsageCallPickup, notFound, "The NumPlan specified is not a Call Pickup.");
}

void CCallPickupHandler::Add(XmlNode request, CXMLElement& result) {
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
  Return(result, group->GetID());
}

void CCallPickupHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <pattern> or <uuid>", "Call Pickup not found.");
  auto group = list.GetCurrentItem();
  ReadNumberChanges(cursor, db(), *group);
  cursor.RequireEnd();
  list.Update();
  Return(result, group->GetID());
}

void CCallPickupHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                   "The specified call pickup group was not found.");
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  list.Delete();
  list.Update();
  Return(result, id);
}

void CCallPickupHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPickup(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                   "The specified Call Pickup Group was not found.");
  CXMLElement holder;
  holder.AddNewChild<CXMLCallPickup>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID());
  ReturnChildren(result, holder);
}

}  // namespace zeb
