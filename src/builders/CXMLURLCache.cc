#include "builders/CXMLURLCache.h"

#include <cstdlib>

#include "zdl/CZDLException.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char* const kParameterNames[] = {"URLInformation", "URLDirectories", "URLMessages",       "URLServices",
                                       "URLIdle",        "URLAuthentication", "URLProxy", "URLHelp"};

}  // namespace

std::optional<std::string> EnterpriseParameter(zdl::CZDLSession& session, const std::string& name) {
  zdl::CProcessConfigList parameters(session);
  parameters.SelectWhere("fkProcessNode = ? AND tkService = ? AND paramName = ?",
                         {EnterpriseNodeID(), kEnterpriseWideService, name});
  if (parameters.Count() == 0) return std::nullopt;
  return parameters.GetCurrentItem()->GetParamValue();
}

std::string CXMLURLCache::Text(zdl::CZDLSession& session, Url url) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry& entry = urls_[url];
  if (!entry.loaded) {
    entry.text.clear();
    // A failed read leaves the value empty and unloaded, so the next call reads again.
    try {
      auto value = EnterpriseParameter(session, kParameterNames[url]);
      if (value && !value->empty()) entry.text = *value;
      entry.loaded = true;
    } catch (const zdl::CZDLException&) {
    }
  }
  return entry.text;
}

std::uint32_t CXMLURLCache::GetIdleTimeout(zdl::CZDLSession& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!idleTimeoutLoaded_) {
    idleTimeout_ = 0;
    try {
      auto value = EnterpriseParameter(session, "URLIdleTime");
      if (value) idleTimeout_ = static_cast<std::uint32_t>(std::strtoul(value->c_str(), nullptr, 10));
      idleTimeoutLoaded_ = true;
    } catch (const zdl::CZDLException&) {
    }
  }
  return idleTimeout_;
}

void CXMLURLCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& entry : urls_) entry = Entry();
  idleTimeout_ = 0;
  idleTimeoutLoaded_ = false;
}

}  // namespace zeb
