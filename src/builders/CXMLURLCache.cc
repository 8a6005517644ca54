#include "builders/CXMLURLCache.h"

#include "zdl/CProcessConfigList.h"
#include "zdl/base/CZDLException.h"

namespace zeb {

namespace {

const char* const kParameterNames[] = {"URLInformation", "URLDirectories", "URLMessages",       "URLServices",
                                       "URLIdle",        "URLAuthentication", "URLProxy", "URLHelp"};

}  // namespace

std::optional<std::string> EnterpriseParameter(zdl::CZDLSession& session, const std::string& name) {
  zdl::CProcessConfigList parameters(session);
  parameters.SelectWhere("fkProcessNode = ? AND tkService = ? AND paramName = ?",
                         {zdl::EnterpriseWideNode(), kEnterpriseWideService, name});
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
      zdl::CProcessConfigList parameters(session);
      zdl::SelectEnterpriseWide(parameters);
      const char* name = kParameterNames[url];
      if (zdl::GetParamExists(parameters, name)) entry.text = zdl::GetStringParam(parameters, name);
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
      zdl::CProcessConfigList parameters(session);
      zdl::SelectEnterpriseWide(parameters);
      idleTimeout_ = static_cast<std::uint32_t>(zdl::GetUnsignedParam(parameters, "URLIdleTime"));
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
