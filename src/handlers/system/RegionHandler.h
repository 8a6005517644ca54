// addRegion, updateRegionMatrix, removeRegion and getRegion: one handler that picks the operation
// by the request element's name. A new region gets its matrix entries from the library.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CRegionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;

 private:
  void Add(XmlNode request, CXMLElement* body, Sequence sequence);
  void UpdateMatrix(XmlNode request, CXMLElement* body, Sequence sequence);
  void Remove(XmlNode request, CXMLElement* body, Sequence sequence);
  void Get(XmlNode request, CXMLElement* body, Sequence sequence);
};

}  // namespace zeb
