#include "builders/CXMLCallPickup.h"

#include "builders/CXMLRoutePartition.h"

namespace zeb {

void CXMLCallPickup::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  SetTag("callPickup");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("pattern", row.getString("DNOrPattern"));
  AddChild("usage", TypeText(session, "TypePatternUsage", row.getInt("tkPatternUsage")));
  AddNewChild<CXMLRoutePartition>()->BuildFromDatabase(session, row.getID("fkRoutePartition"),
                                                       RenderMode::kFull);
  RemoveEmptyChildren();
}

}  // namespace zeb
