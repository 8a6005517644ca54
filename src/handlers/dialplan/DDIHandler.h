// addDDI, updateDDI, removeDDI and getDDI: digit discard instructions, one family class, an
// operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDDIHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;

 private:
  // Replaces the members of ddi by the children of "members"; each tag must be of dial plan plan.
  void ReadMembers(const zdl::CZDLID& ddi, const zdl::CZDLID& plan, zdl::CDigitDiscardInstructionMemberList& members,
                   XmlNode element);
  void ReadMember(const zdl::CZDLID& ddi, const zdl::CZDLID& plan, zdl::CDigitDiscardInstructionMemberList& members,
                  const ElementCursor& member);
};

}  // namespace zeb
