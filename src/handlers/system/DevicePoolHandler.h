// addDevicePool, updateDevicePool, removeDevicePool and getDevicePool: one handler that picks
// the operation by the request element's name.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDevicePoolHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
  // The settings that follow the references, alike in add and update except for empty locales.
  void ReadLocales(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
  void ReadHoldAudioSources(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
};

}  // namespace zeb
