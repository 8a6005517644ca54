// doDeviceLogin, doDeviceLogout and doDeviceReset: extension mobility and resets, carried out
// by the cluster (CSystem). Each answers "true".
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"

namespace zeb {

class CDeviceLoginHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  zdl::CZDLID ReadProfile(ElementCursor& cursor);
};

class CDeviceLogoutHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CDeviceResetHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

}  // namespace zeb
