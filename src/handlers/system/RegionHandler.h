// addRegion, updateRegionMatrix, removeRegion and getRegion: one handler that picks the operation
// by the request element's name. A new region gets its matrix entries from the library.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CRegionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void Add(XmlNode request, CXMLElement& result);
  void UpdateMatrix(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
