// addLocation, updateLocation, removeLocation and getLocation: one handler that picks the
// operation by the request element's name.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CLocationHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
