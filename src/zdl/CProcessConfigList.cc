#include "zdl/CProcessConfigList.h"

#include <cctype>
#include <cstdlib>

namespace zeb::zdl {

namespace {

// The first selected parameter named name, or null.
SmartItemPtr<CProcessConfig> Named(const CProcessConfigList& list, const std::string& name) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    SmartItemPtr<CProcessConfig> item = list.GetItem(i);
    if (item->GetParamName() == name) return item;
  }
  return nullptr;
}

}  // namespace

void SelectByNodeNameAndService(CProcessConfigList& list, const std::string& nodeName, long service,
                                bool enterpriseWide) {
  const std::string nodes = "SELECT pkid FROM ProcessNode WHERE Name = ?";
  if (enterpriseWide) {
    list.SelectWhere("tkService = ? AND (fkProcessNode IN (" + nodes + ") OR fkProcessNode = ?)",
                     {CZDLValue(service), CZDLValue(nodeName), CZDLValue(EnterpriseWideNode())},
                     "paramName, fkProcessNode");
  } else {
    list.SelectWhere("tkService = ? AND fkProcessNode IN (" + nodes + ")", {CZDLValue(service), CZDLValue(nodeName)},
                     "paramName");
  }
}

void SelectEnterpriseWide(CProcessConfigList& list) {
  list.SelectWhere("fkProcessNode = ?", {CZDLValue(EnterpriseWideNode())}, "paramName");
}

bool FindByParamName(CProcessConfigList& list, const std::string& name) {
  for (list.MoveFirst(); !list.IsEOF(); list.MoveNext()) {
    if (list.GetCurrentItem()->GetParamName() == name) return true;
  }
  return false;
}

namespace {
constexpr const char* kSecretParameter = "DirectoryManagerPassword";
}

bool IsSecretParameter(const std::string& name) { return name == kSecretParameter; }


bool GetParamExists(const CProcessConfigList& list, const std::string& name) { return Named(list, name) != nullptr; }

std::string GetStringParam(const CProcessConfigList& list, const std::string& name) {
  SmartItemPtr<CProcessConfig> item = Named(list, name);
  return item ? item->GetParamValue() : std::string();
}

unsigned long GetUnsignedParam(const CProcessConfigList& list, const std::string& name) {
  const std::string text = GetStringParam(list, name);
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return 0;
  return std::strtoul(text.c_str(), nullptr, 10);
}

}  // namespace zeb::zdl
