// addDevicePool, updateDevicePool, removeDevicePool and getDevicePool: one family class, an
// operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDevicePoolHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);

 private:
  // The settings that follow the references, alike in add and update except for empty locales.
  void ReadLocales(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
  void ReadHoldAudioSources(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
};

}  // namespace zeb
