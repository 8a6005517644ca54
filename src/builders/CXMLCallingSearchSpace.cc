#include "builders/CXMLCallingSearchSpace.h"

#include "builders/CXMLRoutePartition.h"
#include "zdl/CItemList.h"

namespace zeb {

namespace {
const char kMembers[] = "SELECT * FROM callingSearchSpaceMember where fkCallingSearchSpace = ?";
}  // namespace

void CXMLCallingSearchSpace::ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id) {
  if (id.isNull()) return;
  ahead.AddRecord("CallingSearchSpace", id);
  ahead.Add(kMembers, {id});
  ahead.Add(zdl::RecordByIdSql(*zdl::FindTable("RoutePartition")),
            "SELECT RoutePartition.*, RoutePartition.pkid FROM callingSearchSpaceMember JOIN RoutePartition ON "
            "RoutePartition.pkid = callingSearchSpaceMember.fkRoutePartition WHERE fkCallingSearchSpace = ?",
            {id});
}

void CXMLCallingSearchSpace::ReadAheadByName(zdl::CZDLReadAhead& ahead, zdl::CZDLSession& session,
                                             const std::string& name) {
  const zdl::TableDef& table = *zdl::FindTable("CallingSearchSpace");
  const std::string byName = zdl::SelectBySql(session.dialect(), table, table.Find("Name"));
  const std::string ids = " IN (SELECT pkid" + byName.substr(byName.find(" FROM ")) + ")";
  ahead.Add(byName, {name});
  ahead.Add(zdl::RecordByIdSql(table),
            "SELECT CallingSearchSpace.*, CallingSearchSpace.pkid" + byName.substr(byName.find(" FROM ")), {name});
  ahead.Add(kMembers,
            "SELECT callingSearchSpaceMember.*, fkCallingSearchSpace FROM callingSearchSpaceMember WHERE "
            "fkCallingSearchSpace" + ids,
            {name});
  ahead.Add(zdl::RecordByIdSql(*zdl::FindTable("RoutePartition")),
            "SELECT RoutePartition.*, RoutePartition.pkid FROM callingSearchSpaceMember JOIN RoutePartition ON "
            "RoutePartition.pkid = callingSearchSpaceMember.fkRoutePartition WHERE fkCallingSearchSpace" + ids,
            {name});
}

void CXMLCallingSearchSpace::CoverFound(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id) {
  ahead.Cover(kMembers, id);
}

void CXMLCallingSearchSpace::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                               RenderMode mode) {
  BuildReference(*this, session, "CallingSearchSpace", "callingSearchSpace", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("description", row.getString("Description"));
                   element.AddChild("clause", row.getString("Clause"));
                   element.AddChild("dialPlanWizardGenID", std::to_string(row.getInt("DialPlanWizardGenID")));
                   element.AddNewChild<CXMLCallingSearchSpaceMembers>()->BuildFromDatabase(session, id, mode);
                 });
}

void CXMLCallingSearchSpaceMembers::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& cssId,
                                                      RenderMode mode) {
  SetTag("members");
  zdl::CFastAccess rows(session, "callingSearchSpaceMember");
  rows.SelectCustom(kMembers, {cssId});
  for (; !rows.IsEOF(); rows.MoveNext()) AddNewChild<CXMLCallingSearchSpaceMember>()->BuildFromRow(session, rows, mode);
}

void CXMLCallingSearchSpaceMember::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row,
                                                RenderMode mode) {
  SetTag("member");
  AddAttribute("index", std::to_string(row.getInt("SortOrder")));
  const zdl::CZDLID partition = row.getID("fkRoutePartition");
  if (mode == RenderMode::kNames || mode == RenderMode::kFull) {
    AddNewChild<CXMLRoutePartition>()->BuildFromDatabase(session, partition, RenderMode::kNames);
  } else {
    AddRawChild(session.database().Cache<CXMLRoutePartitionCache>().Lookup(session, partition));
  }
}

void CXMLAutoSearchSpace::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                            RenderMode mode) {
  BuildReference(*this, session, "CallingSearchSpace", "autoSearchSpace", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("description", row.getString("Description"));
                   element.AddChild("clause", row.getString("Clause"));
                   element.AddNewChild<CXMLCallingSearchSpaceMembers>()->BuildFromDatabase(session, id, mode);
                   element.AddChild("dialPlanWizardGenID", std::to_string(row.getInt("DialPlanWizardGenID")));
                 });
}

}  // namespace zeb
