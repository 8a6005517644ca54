#include "zdl/directory/CLdapConfig.h"

#include "zdl/CProcessConfigList.h"

namespace zeb::zdl {

CLdapConfig::CLdapConfig(CZDLSession& session) {
  CProcessConfigList parameters(session);
  SelectEnterpriseWide(parameters);
  managerDn_ = GetStringParam(parameters, kManagerDnParameter);
  managerPassword_ = GetStringParam(parameters, kManagerPasswordParameter);
}

}  // namespace zeb::zdl
