#include "handlers/dialplan/CallNumberHandlers.h"

#include "builders/CXMLCallPark.h"
#include "builders/CXMLCallPickup.h"
#include "handlers/ElementTables.h"
#include "handlers/dialplan/NumPlanLookup.h"

namespace zeb {

namespace {

template <class Builder>
void Build(CXMLElement& holder, zdl::CZDLSession& session, const zdl::CZDLID& id) {
  holder.AddNewChild<Builder>()->BuildFromDatabase(session, id);
}

// The rows of a new call park or pickup group before the call park's node.
std::vector<ElementRow> NewNumberRows() {
  return {Custom("pattern", Form::kValue, kReq, kNo), Custom("description", Form::kValue, kOpt, kNo),
          Custom("usage", Form::kValue, kReq, kNo),
          Choice({{"routePartition", Form::kUuid}, {"routePartitionName", Form::kName}}, kOpt, kNo)};
}

std::vector<ElementRow> WithNode(std::vector<ElementRow> rows) {
  return Join({rows, {Choice({{"dialcoreId", Form::kId}, {"dialcoreName", Form::kName}}, kReq, kNo)}});
}

}  // namespace

// The get and update requests name a number by "uuid" or by pattern, partition and filter, a
// choice the rows do not declare yet.
const ElementTable kCallParkElements = {"addCallPark", nullptr, nullptr, WithNode(NewNumberRows())};
const ElementTable kCallPickupElements = {"addCallPickupGroup", nullptr, nullptr, NewNumberRows()};

const CallNumberKind kCallPark{zdl::kUsageCallPark,
                               true,
                               "Found NULL, expecting <callPark>",
                               "Call Park not found.",
                               "The specified call park was not found.",
                               "The specified Call Park was not found.",
                               "The NumPlan specified is not a Call Park.",
                               Build<CXMLCallPark>};
const CallNumberKind kCallPickup{zdl::kUsageCallPickup,
                                 false,
                                 "Found NULL, expecting <callPickup>",
                                 "Call Pickup not found.",
                                 "The specified call pickup group was not found.",
                                 "The specified Call Pickup Group was not found.",
                                 "The NumPlan specified is not a Call Pickup.",
                                 Build<CXMLCallPickup>};

void CCallNumberHandler::Lookup(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
                                const std::string& notFound) {
  IdentifyNumPlan(cursor, db(), list, {nullText, true, true});
  RequireNumPlan(list, kind_.usage, notFound, kind_.wrongUsage);
}

void CCallNumberHandler::ReadNode(const ElementCursor& cursor, zdl::CDialcoreCallParkMapList& maps,
                                  const zdl::CZDLID& number, ValueWording idWording) {
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
  map->PutNumPlanID(number);
}

void CCallNumberHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull(kind_.wrapper);
  zdl::CNumPlanList list(db());
  auto number = list.Insert();
  number->PutPatternUsageType(kind_.usage);
  zdl::CDialcoreCallParkMapList maps(db());
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <pattern>");
  ReadNumberHead(cursor, *number);
  if (kind_.ownedByNode) cursor.RequireNotNull("NULL element found, expecting more elements.");
  ReadOptionalPartition(cursor, db(), *number);
  if (kind_.ownedByNode) {
    cursor.RequireNotNull("NULL element found, expecting <dialcoreId>");
    ReadNode(cursor, maps, number->GetID(), ValueWording::kMustContain);
  }
  // The number and its node map are one unit: a refused map leaves no number behind.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (maps.Count() > 0) maps.Update();
  transaction.Commit();
  Return(result, number->GetID());
}

void CCallNumberHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  Lookup(cursor, list, "Found NULL, expecting <pattern> or <uuid>", kind_.updateNotFound);
  auto number = list.GetCurrentItem();
  ReadNumberChanges(cursor, db(), *number);
  zdl::CZDLTransaction transaction(db());
  if (kind_.ownedByNode && (cursor.Is("dialcoreId") || cursor.Is("dialcoreName"))) {
    zdl::CDialcoreCallParkMapList maps(db());
    maps.SelectByNumPlanID(number->GetID());
    maps.DeleteAll();
    ReadNode(cursor, maps, number->GetID(), ValueWording::kMustHave);
    maps.Update();
    cursor.Advance();
  }
  cursor.RequireEnd();
  list.Update();
  transaction.Commit();
  Return(result, number->GetID());
}

void CCallNumberHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  Lookup(cursor, list, "Found NULL, expecting <uuid> or <pattern>", kind_.removeNotFound);
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  zdl::CZDLTransaction transaction(db());
  if (kind_.ownedByNode) {
    zdl::CDialcoreCallParkMapList maps(db());
    maps.SelectByNumPlanID(id);
    maps.DeleteAll();
    maps.Update();
  }
  list.Delete();
  list.Update();
  transaction.Commit();
  Return(result, id);
}

void CCallNumberHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  Lookup(cursor, list, "Found NULL, expecting <uuid> or <pattern>", kind_.getNotFound);
  CXMLElement holder;
  kind_.build(holder, db(), list.GetCurrentItem()->GetID());
  ReturnChildren(result, holder);
}

}  // namespace zeb
