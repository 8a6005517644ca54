// addUser, updateUser, removeUser and getUser: directory users, opened with the manager
// credentials of the cluster configuration on every request.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CGetUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CAddUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CRemoveUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CUpdateUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

}  // namespace zeb
