// addRegion, updateRegionMatrix, removeRegion and getRegion: one family class, an operation per
// method. A new region gets its matrix entries from the library.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CRegionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, UpdateMatrix, Remove, Get;
};

}  // namespace zeb
