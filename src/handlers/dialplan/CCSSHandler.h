// addCSS, updateCSS, removeCSS and getCSS: one family class, an operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CCSSHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;

 private:
  // Replaces the members of css in members by the children of the "members" element.
  void ReadMembers(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMemberList& members, XmlNode element);
  void ReadMember(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMember& row, const ElementCursor& member);
};

}  // namespace zeb
