#include "dispatch/CreateHandler.h"

#include <new>
#include <unordered_map>

#include "handlers/device/CRemoveDeviceHandler.h"
#include "handlers/dialplan/CCSSHandler.h"
#include "handlers/dialplan/CallParkHandler.h"
#include "handlers/dialplan/CallPickupHandler.h"
#include "handlers/dialplan/LineHandlers.h"
#include "handlers/dialplan/PatternHandlers.h"
#include "handlers/dialplan/RoutePartitionHandlers.h"
#include "handlers/system/ListQueryHandlers.h"
#include "handlers/system/ServiceParameterHandlers.h"
#include "handlers/system/UserHandlers.h"
#include "soap/ZebExceptions.h"
#include "zdl/CZDLException.h"

namespace zeb {

const std::vector<MethodEntry>& MethodTable() {
  // One line per method, in the order of the method table; a family adds its lines when its
  // handlers exist, so a method that is not built answers as unknown.
  static const std::vector<MethodEntry> table = {
      {"removePhone", Make<CRemoveDeviceHandler>},
      {"removeDeviceProfile", Make<CRemoveDeviceHandler>},
      {"getUser", Make<CGetUserHandler>},
      {"addUser", Make<CAddUserHandler>},
      {"removeUser", Make<CRemoveUserHandler>},
      {"updateUser", Make<CUpdateUserHandler>},
      {"addLine", Make<CAddLineHandler>},
      {"updateLine", Make<CUpdateLineHandler>},
      {"removeLine", Make<CRemoveLineHandler>},
      {"getLine", Make<CGetLineHandler>},
      {"addRoutePartition", Make<CAddRoutePartitionHandler>},
      {"updateRoutePartition", Make<CUpdateRoutePartitionHandler>},
      {"removeRoutePartition", Make<CRemoveRoutePartitionHandler>},
      {"getRoutePartition", Make<CGetRoutePartitionHandler>},
      {"addCSS", Make<CCSSHandler>},
      {"updateCSS", Make<CCSSHandler>},
      {"removeCSS", Make<CCSSHandler>},
      {"getCSS", Make<CCSSHandler>},
      {"addTransPattern", Make<CAddTransPatternHandler>},
      {"updateTransPattern", Make<CUpdateTransPatternHandler>},
      {"removeTransPattern", Make<CRemoveTransPatternHandler>},
      {"getTransPattern", Make<CGetTransPatternHandler>},
      {"addRoutePattern", Make<CAddRoutePatternHandler>},
      {"updateRoutePattern", Make<CUpdateRoutePatternHandler>},
      {"removeRoutePattern", Make<CRemoveRoutePatternHandler>},
      {"getRoutePattern", Make<CGetRoutePatternHandler>},
      {"listPhoneByName", Make<CListPhoneByNameHandler>},
      {"listPhoneByDescription", Make<CListPhoneByDescriptionHandler>},
      {"listUserByName", Make<CListUserByNameHandler>},
      {"listRoutePlanByType", Make<CListRoutePlanByTypeHandler>},
      {"listRoutePartitionByName", Make<CListRoutePartitionByNameHandler>},
      {"listCSSByName", Make<CListCSSByNameHandler>},
      {"getNumDevices", Make<CGetNumDevicesHandler>},
      {"listServiceParameters", Make<CListServiceParametersHandler>},
      {"addCallPark", Make<CCallParkHandler>},
      {"updateCallPark", Make<CCallParkHandler>},
      {"removeCallPark", Make<CCallParkHandler>},
      {"getCallPark", Make<CCallParkHandler>},
      {"addCallPickupGroup", Make<CCallPickupHandler>},
      {"updateCallPickupGroup", Make<CCallPickupHandler>},
      {"removeCallPickupGroup", Make<CCallPickupHandler>},
      {"getCallPickupGroup", Make<CCallPickupHandler>},
      {"updateServiceParameter", Make<CServiceParameterHandler>},
      {"getServiceParameter", Make<CServiceParameterHandler>},
  };
  return table;
}

HandlerFactory FindHandlerFactory(const std::string& localName) {
  static const auto index = [] {
    std::unordered_map<std::string, HandlerFactory> byName;
    for (const MethodEntry& entry : MethodTable()) byName.emplace(entry.name, entry.create);
    return byName;
  }();
  auto found = index.find(localName);
  return found == index.end() ? nullptr : found->second;
}

std::unique_ptr<CRequestHandler> CreateHandler(const std::string& localName, RequestContext& context) {
  HandlerFactory create = FindHandlerFactory(localName);
  if (!create) throw CUnknownMethodException(localName);
  try {
    return create(context, localName);
  } catch (const std::bad_alloc&) {
    throw zdl::CZDLException(zdl::kZDLOutOfMemory, "Not enough memory to process request.");
  }
}

}  // namespace zeb
