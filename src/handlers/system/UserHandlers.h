// addUser, updateUser, removeUser and getUser: directory users, opened with the manager
// credentials of the cluster configuration on every request.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CUserHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Get, Add, Remove, Update;
};

}  // namespace zeb
