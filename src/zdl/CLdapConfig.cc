#include "zdl/CLdapConfig.h"

#include "zdl/CProcessConfigList.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::zdl {

CLdapConfig::CLdapConfig(CZDLSession& session) {
  CProcessConfigList parameters(session);
  SelectEnterpriseWide(parameters);
  settings_.url = GetStringParam(parameters, kUrlParameter);
  settings_.startTls = GetStringParam(parameters, kStartTlsParameter) == "true";
  settings_.userBase = GetStringParam(parameters, kUserBaseParameter);
  settings_.managerDn = GetStringParam(parameters, kManagerDnParameter);
  settings_.managerPassword = session.database().secretKey().Open(
      kManagerPasswordParameter, GetStringParam(parameters, kManagerPasswordParameter));
}

bool IsDirectoryConnectionParameter(const std::string& name) {
  for (const char* parameter : {kUrlParameter, kStartTlsParameter, kUserBaseParameter, kManagerDnParameter,
                                kManagerPasswordParameter}) {
    if (name == parameter) return true;
  }
  return false;
}

}  // namespace zeb::zdl
