#include "handlers/dialplan/RoutePartitionHandlers.h"

#include "builders/CXMLRoutePartition.h"
#include "handlers/ElementTables.h"
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

// REQUIRES: the change of the partition is committed.
void DropCached(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  session.database().Cache<CXMLRoutePartitionCache>().Drop(id);
  session.database().NoteDroppedAfterCommit();
}

}  // namespace

const ElementTable kRoutePartitionElements = {
    "addRoutePartition",
    "updateRoutePartition",
    "getRoutePartition",
    {
        IdentifiedBy("partitionId", "partitionName", kNo, kReq),
        IdentifiedBy("uuid", "name", kReq, kNo),
        Custom("name", Form::kValue, kReq, kNo),
        NewName(zdl::RoutePartitionCols::kName),
        Optional("description", Kind::kText, zdl::RoutePartitionCols::kDescription, kOpt, kOpt),
        Optional("dialPlanWizardGenId", Kind::kSkipped, -1, kOpt, kOpt),
    }};

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
  ReadValues(cursor, kRoutePartitionElements, Shape::kAdd, "description", *partition);
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
  ReadValues(cursor, kRoutePartitionElements, Shape::kUpdate, "newName", *partition);
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
