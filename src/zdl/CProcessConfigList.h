// Service parameters: the rows of table ProcessConfig (one per node, service and parameter
// name). Rows of the enterprise-wide pseudo node apply to every node. The generated
// CProcessConfigList carries the generic selections; these add the ones by node and service and
// the look-ups within a selection.
#pragma once

#include <string>

#include "zdl/Records.h"

namespace zeb::zdl {

// The pseudo node whose parameters apply to every node.
inline const CZDLID& EnterpriseWideNode() {
  static const CZDLID id("{00000000-1111-0000-0000-000000000000}");
  return id;
}

// Selects the parameters of the node of that name (case-insensitive) for the service, ordered
// by parameter name; with enterpriseWide also the enterprise-wide ones of the service.
void SelectByNodeNameAndService(CProcessConfigList& list, const std::string& nodeName, long service,
                                bool enterpriseWide);
// Selects every parameter of the enterprise-wide pseudo node, whatever its service.
void SelectEnterpriseWide(CProcessConfigList& list);

// Moves the cursor to the first selected parameter named exactly name. Returns false (and leaves
// the cursor at the end) when the selection has none.
bool FindByParamName(CProcessConfigList& list, const std::string& name);

// Whether the parameter holds a secret: stored only sealed (SecretKey.h) and never answered.
bool IsSecretParameter(const std::string& name);

// Look-ups within a selection that leave the cursor alone: whether a parameter named name is
// selected, its text ("" when not), and its value as an unsigned number (0 when not selected or
// when the text does not start with a digit).
bool GetParamExists(const CProcessConfigList& list, const std::string& name);
std::string GetStringParam(const CProcessConfigList& list, const std::string& name);
unsigned long GetUnsignedParam(const CProcessConfigList& list, const std::string& name);

}  // namespace zeb::zdl
