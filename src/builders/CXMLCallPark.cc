#include "builders/CXMLCallPark.h"

namespace zeb {

void CXMLCallPark::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  SetTag("callPark");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("pattern", row.getString("DNOrPattern"));
  AddChild("usage", TypeText(session, "TypePatternUsage", row.getInt("tkPatternUsage")));
  if (!row.isNull("fkRoutePartition")) {
    AddNewChild<CXMLElement>("routePartition")->AddAttribute("uuid", row.getGuid("fkRoutePartition"));
  }
  zdl::CFastAccess map(session, "DialcoreCallParkMap");
  map.SelectCustom("SELECT fkDialcore FROM DialcoreCallParkMap WHERE fkNumPlan = ?", {id});
  if (!map.IsEOF()) AddChild("dialcoreId", map.getGuid("fkDialcore"));
}

}  // namespace zeb
