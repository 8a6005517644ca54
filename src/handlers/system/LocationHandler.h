// addLocation, updateLocation, removeLocation and getLocation: one handler that picks the
// operation by the request element's name.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CLocationHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;

 private:
  void Add(XmlNode request, CXMLElement* body, Sequence sequence);
  void Update(XmlNode request, CXMLElement* body, Sequence sequence);
  void Remove(XmlNode request, CXMLElement* body, Sequence sequence);
  void Get(XmlNode request, CXMLElement* body, Sequence sequence);
};

}  // namespace zeb
