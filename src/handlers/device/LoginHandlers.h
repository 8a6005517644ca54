// doDeviceLogin, doDeviceLogout and doDeviceReset: extension mobility and resets, carried out
// by the cluster (CSystem). Each answers "true".
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"

namespace zeb {

class CDeviceLoginHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Login, Logout, Reset;

 private:
  zdl::CZDLID ReadProfile(ElementCursor& cursor);
};

}  // namespace zeb
