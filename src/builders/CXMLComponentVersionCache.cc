#include "builders/CXMLComponentVersionCache.h"

#include "soap/Namespaces.h"
#include "zdl/CFastAccess.h"
#include "zdl/CProcessConfigList.h"

namespace zeb {

std::string CXMLComponentVersionCache::GetVersion(zdl::CZDLSession& session, const zdl::CZDLID& node,
                                                  const std::string& component) {
  const std::string key = node.str() + component;
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byNodeAndComponent_.find(key);
  if (found != byNodeAndComponent_.end()) return found->second;
  Load(session);
  found = byNodeAndComponent_.find(key);
  return found == byNodeAndComponent_.end() ? std::string() : found->second;
}

std::string CXMLComponentVersionCache::GetVersionByID(const zdl::CZDLID& row) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = byRow_.find(row);
  return found == byRow_.end() ? std::string() : found->second;
}

void CXMLComponentVersionCache::Load(zdl::CZDLSession& session) {
  zdl::CFastAccess rows(session, "ComponentVersion");
  for (rows.SelectAll(); !rows.IsEOF(); rows.MoveNext()) {
    const std::string version = rows.getString("version");
    byRow_.emplace(rows.getID("pkid"), version);
    byNodeAndComponent_.emplace(rows.getGuid("fkProcessNode") + rows.getString("softwareComponent"), version);
  }
}

void CXMLComponentVersionCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  byRow_.clear();
  byNodeAndComponent_.clear();
}

zdl::CZDLID LocalProcessNodeID(zdl::CZDLSession& session) {
  zdl::CProcessNodeList nodes(session);
  nodes.SelectByName(LocalHostName());
  if (nodes.Count() > 0) return nodes.GetCurrentItem()->GetID();
  nodes.SelectWhere("pkid <> ?", {zdl::EnterpriseWideNode()}, "Name");
  return nodes.Count() > 0 ? nodes.GetCurrentItem()->GetID() : zdl::CZDLID();
}

}  // namespace zeb
