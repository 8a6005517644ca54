// The "serviceParameter" element of one service parameter (a ProcessConfig row).
#pragma once

#include "builders/BuilderSupport.h"
#include "zdl/Records.h"

namespace zeb {

class CXMLServiceParameter : public CXMLElement {
 public:
  // "serviceParameter" with the row's "uuid" and processNodeName, name, service, value,
  // valueType and primaryData; the value of a secret parameter is empty.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CProcessConfig& parameter);
};

}  // namespace zeb
