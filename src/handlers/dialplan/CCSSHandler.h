// addCSS, updateCSS, removeCSS and getCSS: one family class, an operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CCSSHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);

 private:
  // Replaces the members of css in members by the children of the "members" element.
  void ReadMembers(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMemberList& members, XmlNode element);
  void ReadMember(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMemberList& members, const ElementCursor& member);
};

}  // namespace zeb
