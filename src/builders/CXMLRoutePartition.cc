#include "builders/CXMLRoutePartition.h"

namespace zeb {

void CXMLRoutePartition::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                           RenderMode mode) {
  zdl::CFastAccess row(session, "RoutePartition");
  if (ReadRecord(row, id)) BuildFromRow(row, mode);
}

void CXMLRoutePartition::BuildFromRow(const zdl::CFastAccess& row, RenderMode mode) {
  if (mode == RenderMode::kNames) {
    SetTag("routePartitionName");
    SetText(row.getString("Name"));
    return;
  }
  SetTag("routePartition");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("name", row.getString("Name"));
  AddChild("description", row.getString("Description"));
  AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
}

std::string CXMLRoutePartitionCache::Lookup(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = texts_.find(id);
  if (found != texts_.end()) return found->second;
  CXMLRoutePartition element;
  element.BuildFromDatabase(session, id, RenderMode::kNamespaces);
  return texts_.emplace(id, element.ToString()).first->second;
}

void CXMLRoutePartitionCache::Drop(const zdl::CZDLID& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_.erase(id);
}

void CXMLRoutePartitionCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_.clear();
}

}  // namespace zeb
