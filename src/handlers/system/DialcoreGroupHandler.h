// addDialcoreGroup, updateDialcoreGroup, removeDialcoreGroup and getDialcoreGroup (node groups):
// one handler that picks the operation by the request element's name. A group and its member
// list are written as one unit.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDialcoreGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
  // Replaces the members of group in members by the children of the "members" element.
  void ReadMembers(const zdl::CZDLID& group, zdl::CDialcoreGroupMemberList& members, XmlNode element);
  void ReadMember(const zdl::CZDLID& group, zdl::CDialcoreGroupMemberList& members,
                  const ElementCursor& member);
};

}  // namespace zeb
