// The installed software component versions per call-processing node, from table
// "ComponentVersion", kept for the life of the module. A lookup that misses reloads the table
// (entries already present stay), so a component installed later is found on its first use.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLID.h"

namespace zeb {

class CXMLComponentVersionCache : public zdl::ModuleCache {
 public:
  // The version of component on node; "" when no row names them, after one reload.
  std::string GetVersion(zdl::CZDLSession& session, const zdl::CZDLID& node, const std::string& component);
  // The version of the row with that identifier, from what is loaded; "" when unknown.
  std::string GetVersionByID(const zdl::CZDLID& row);
  void Invalidate() override;

 private:
  void Load(zdl::CZDLSession& session);

  std::mutex mutex_;
  std::map<zdl::CZDLID, std::string> byRow_;
  std::map<std::string, std::string> byNodeAndComponent_;  // node text + component name
};

// The identifier of the call-processing node this server answers for: the node named like this
// machine's host name (without regard to case), else the first node by name that is not the
// enterprise-wide pseudo node; null when there is none.
zdl::CZDLID LocalProcessNodeID(zdl::CZDLSession& session);

}  // namespace zeb
