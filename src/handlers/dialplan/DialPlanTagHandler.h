// addDialPlanTag, updateDialPlanTag, removeDialPlanTag and getDialPlanTag: one family class, an
// operation per method. Also the tag look-ups that route filter and digit discard instruction
// members share.
#pragma once

#include <string>

#include "handlers/CRequestHandler.h"
#include "zdl/Records.h"

namespace zeb {

// The tag named name (compared without regard to case). Tag names are unique only within a
// dial plan: of several tags of that name, the one of dial plan preferred is taken when there is
// one, else the one of the dial plan whose name sorts first (the tag getDialPlanTag answers by
// name). Throws CZDLException 2 with notFound when there is none.
zdl::SmartItemPtr<zdl::CDialPlanTag> FindTagByName(zdl::CZDLSession& session, const std::string& name,
                                                   const zdl::CZDLID& preferred, const std::string& notFound);
// The tag with identifier id, or CZDLException 2 with notFound.
zdl::SmartItemPtr<zdl::CDialPlanTag> FindTagById(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                                 const std::string& notFound);

// The operator number of a dial plan tag: "NOT-SELECTED" 0, "EXISTS" 1, "DOES-NOT-EXIST" 2 and
// any other text 3, compared exactly.
long TagOperatorNumber(const std::string& text);

class CDialPlanTagHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
