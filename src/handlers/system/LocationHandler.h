// addLocation, updateLocation, removeLocation and getLocation: one family class, an operation per
// method.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CLocationHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
