// The enterprise-wide phone service URLs and idle timeout, kept for the life of the module. Each
// value is read from the enterprise parameters on its first use and then served from memory; a
// value whose read failed stays unloaded and is read again on the next call.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLID.h"

namespace zeb {

// The service number of the enterprise-wide parameters.
constexpr long kEnterpriseWideService = 11;

// The value of the enterprise-wide parameter name of that service, or nothing when it does not exist.
std::optional<std::string> EnterpriseParameter(zdl::CZDLSession& session, const std::string& name);

class CXMLURLCache : public zdl::ModuleCache {
 public:
  std::string GetInformationURL(zdl::CZDLSession& session) { return Text(session, kInformation); }
  std::string GetDirectoriesURL(zdl::CZDLSession& session) { return Text(session, kDirectories); }
  std::string GetMessagesURL(zdl::CZDLSession& session) { return Text(session, kMessages); }
  std::string GetServicesURL(zdl::CZDLSession& session) { return Text(session, kServices); }
  std::string GetIdleURL(zdl::CZDLSession& session) { return Text(session, kIdle); }
  std::string GetAuthenticationURL(zdl::CZDLSession& session) { return Text(session, kAuthentication); }
  std::string GetProxyURL(zdl::CZDLSession& session) { return Text(session, kProxy); }
  std::string GetHelpURL(zdl::CZDLSession& session) { return Text(session, kHelp); }
  // "URLIdleTime" as an unsigned number; 0 when the parameter does not exist.
  std::uint32_t GetIdleTimeout(zdl::CZDLSession& session);

  // Marks every value unloaded (another writer may have changed the parameters).
  void Invalidate() override;

 private:
  enum Url { kInformation, kDirectories, kMessages, kServices, kIdle, kAuthentication, kProxy, kHelp, kUrlCount };
  struct Entry {
    std::string text;
    bool loaded = false;
  };

  std::string Text(zdl::CZDLSession& session, Url url);

  std::mutex mutex_;
  Entry urls_[kUrlCount];
  std::uint32_t idleTimeout_ = 0;
  bool idleTimeoutLoaded_ = false;
};

}  // namespace zeb
