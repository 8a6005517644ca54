// addRegion, updateRegionMatrix, removeRegion and getRegion: one family class, an operation per
// method. A new region gets its matrix entries from the library.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CRegionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Add(XmlNode request, CXMLElement& result);
  void UpdateMatrix(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
