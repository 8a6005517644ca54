#include "handlers/dialplan/RoutePartitionHandlers.h"

#include "builders/CXMLRoutePartition.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const Identification kByPartitionIdOrName{"Found NULL, expecting <partitionId> or <partitionName>",
                                          "<partitionId> or <partitionName>",
                                          "partitionName",
                                          ValueWording::kMustHave,
                                          "partitionId",
                                          ValueWording::kMustHave,
                                          "The specified route partition was not found."};

void DropCached(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  session.database().Cache<CXMLRoutePartitionCache>().Drop(id);
}

}  // namespace

void CRoutePartitionHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newRoutePartition>");
  zdl::CRoutePartitionList list(db());
  auto partition = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <name>");
  if (cursor.Is("name")) {
    partition->PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    if (auto value = ValueOf(cursor.node())) partition->PutDescription(*value);
    cursor.Advance();
  }
  if (cursor.Is("dialPlanWizardGenId")) cursor.Advance();
  list.Update();
  Return(result, partition->GetID());
}

void CRoutePartitionHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRoutePartitionList list(db());
  Identify(cursor, list,
           {"Found NULL, expecting <name> or <uuid>", "<uuid> or <name>", "name", ValueWording::kMustHave, "uuid",
            ValueWording::kMustHave, "Route Partition not found."});
  auto partition = list.GetCurrentItem();
  if (cursor.Is("newName")) {
    partition->PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    partition->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  if (cursor.Is("dialPlanWizardGenId")) cursor.Advance();
  cursor.RequireEnd();
  list.Update();
  DropCached(db(), partition->GetID());
  Return(result, partition->GetID());
}

void CRoutePartitionHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = RemoveIdentified<zdl::CRoutePartitionList>(db(), cursor, kByPartitionIdOrName);
  DropCached(db(), id);
  Return(result, id);
}

void CRoutePartitionHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Identification how = kByPartitionIdOrName;
  how.nameWording = ValueWording::kMustContain;
  const Identified which = ReadIdentifier(cursor, how);
  zdl::CZDLID id;
  if (which.byId) {
    id = ParseID(which.value);
  } else {
    id = FindIdByName<zdl::CRoutePartitionList>(db(), which.value, how.notFound);
  }
  CXMLElement holder;
  holder.AddNewChild<CXMLRoutePartition>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
