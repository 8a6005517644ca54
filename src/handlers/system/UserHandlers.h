// addUser, updateUser, removeUser and getUser: directory users, opened with the manager
// credentials of the cluster configuration on every request.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Get(XmlNode request, CXMLElement& result);
  void Add(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
