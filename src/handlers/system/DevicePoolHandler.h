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
  HandlerOperation Add, Update, Remove, Get;

 private:
  // The settings that follow the references, alike in add and update except for empty locales.
  void ReadLocales(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
  void ReadHoldAudioSources(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding);
};

}  // namespace zeb
