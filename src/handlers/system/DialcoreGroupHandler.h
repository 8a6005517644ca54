// addDialcoreGroup, updateDialcoreGroup, removeDialcoreGroup and getDialcoreGroup (node groups):
// one family class, an operation per method. A group and its member list are written as one unit.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDialcoreGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;

 private:
  // Replaces the members of group in members by the children of the "members" element.
  void ReadMembers(const zdl::CZDLID& group, zdl::CDialcoreGroupMemberList& members, XmlNode element);
  void ReadMember(const zdl::CZDLID& group, zdl::CDialcoreGroupMember& row, const ElementCursor& member);
};

}  // namespace zeb
