#include "handlers/dialplan/CallParkHandler.h"

#include "builders/CXMLCallPark.h"
#include "handlers/dialplan/NumPlanLookup.h"

namespace zeb {

void CCallParkHandler::Execute(XmlNode request, CXMLElement& result) {
  const std::string method = request.LocalName();
  if (method == "addCallPark") return Add(request, result);
  if (method == "updateCallPark") return Update(request, result);
  if (method == "removeCallPark") return Remove(request, result);
  if (method == "getCallPark") return Get(request, result);
  throw CUnknownMethodException(request.Name());
}

void CCallParkHandler::LookupCallPark(ElementCursor& cursor, zdl::CNumPlanList& list,
                                      const std::string& nullText, const std::string& notFound) {
  IdentifyNumPlan(cursor, db(), list, {nullText, true, true});
  RequireNumPlan(list, kUsageCallPark, notFound, "The NumPlan specified is not a Call Park.");
}

void CCallParkHandler::ReadNode(const ElementCursor& cursor, zdl::CDialcoreCallParkMapList& maps,
                                const zdl::CZDLID& park, ValueWording idWording) {
  zdl::CZDLID node;
  if (cursor.Is("dialcoreId")) {
    node = ParseID(RequireValue(cursor.node(), idWording));
  } else if (cursor.Is("dialcoreName")) {
    node = FindIdByName<zdl::CDialcoreList>(db(), RequireValue(cursor.node(), ValueWording::kMustHave),
                                            "The specified Dialcore was not found.");
  } else {
    cursor.ThrowFound("<dialcoreId> or <dialcoreName>");
  }
  auto map = maps.Insert();
  map->PutDialcoreID(node);
  map->PutNumPlanID(park);
}

void CCallParkHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <callPark>");
  zdl::CNumPlanList list(db());
  auto park = list.Insert();
  park->PutPatternUsageType(kUsageCallPark);
  zdl::CDialcoreCallParkMapList maps(db());
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <pattern>");
  ReadNumberHead(cursor, *park);
  cursor.RequireNotNull("NULL element found, expecting more elements.");
  ReadOptionalPartition(cursor, db(), *park);
  cursor.RequireNotNull("NULL element found, expecting <dialcoreId>");
  ReadNode(cursor, maps, park->GetID(), ValueWording::kMustContain);
  // The number and its node map are one unit: a refused map leaves no number behind.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  maps.Update();
  transaction.Commit();
  Return(result, park->GetID());
}

void CCallParkHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPark(cursor, list, "Found NULL, expecting <pattern> or <uuid>", "Call Park not found.");
  auto park = list.GetCurrentItem();
  ReadNumberChanges(cursor, db(), *park);
  zdl::CZDLTransaction transaction(db());
  if (cursor.Is("dialcoreId") || cursor.Is("dialcoreName")) {
    zdl::CDialcoreCallParkMapList maps(db());
    maps.SelectByNumPlanID(park->GetID());
    maps.DeleteAll();
    ReadNode(cursor, maps, park->GetID(), ValueWording::kMustHave);
    maps.Update();
    cursor.Advance();
  }
  cursor.RequireEnd();
  list.Update();
  transaction.Commit();
  Return(result, park->GetID());
}

void CCallParkHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPark(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                 "The specified call park was not found.");
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  zdl::CZDLTransaction transaction(db());
  zdl::CDialcoreCallParkMapList maps(db());
  maps.SelectByNumPlanID(id);
  maps.DeleteAll();
  maps.Update();
  list.Delete();
  list.Update();
  transaction.Commit();
  Return(result, id);
}

void CCallParkHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  LookupCallPark(cursor, list, "Found NULL, expecting <uuid> or <pattern>",
                 "The specified Call Park was not found.");
  CXMLElement holder;
  holder.AddNewChild<CXMLCallPark>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID());
  ReturnChildren(result, holder);
}

}  // namespace zeb
