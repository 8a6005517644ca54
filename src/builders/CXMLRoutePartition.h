// The "routePartition" element of one route partition, and the module-wide cache of its text.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLRoutePartition : public CXMLElement {
 public:
  // Mode kNames: "routePartitionName"; other modes: "routePartition" with uuid, name, description
  // and dialPlanWizardGenId. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
  // The same from a row already read (a row of table RoutePartition).
  void BuildFromRow(const zdl::CFastAccess& row, RenderMode mode);
};

// Partition identifier to the complete text of its mode-2 element, filled on first use. This
// server drops an entry when it changes or removes the partition.
class CXMLRoutePartitionCache : public zdl::ModuleCache {
 public:
  std::string Lookup(zdl::CZDLSession& session, const zdl::CZDLID& id);
  void Drop(const zdl::CZDLID& id);
  void Invalidate() override;

 private:
  std::mutex mutex_;
  std::unordered_map<zdl::CZDLID, std::string> texts_;
};

}  // namespace zeb
