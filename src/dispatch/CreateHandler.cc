#include "dispatch/CreateHandler.h"

#include <new>
#include <unordered_map>

#include "handlers/device/CRemoveDeviceHandler.h"
#include "handlers/dialplan/CCSSHandler.h"
#include "handlers/dialplan/CallParkHandler.h"
#include "handlers/dialplan/CallPickupHandler.h"
#include "handlers/dialplan/DDIHandler.h"
#include "handlers/dialplan/DialPlanHandler.h"
#include "handlers/dialplan/DialPlanTagHandler.h"
#include "handlers/dialplan/LineHandlers.h"
#include "handlers/dialplan/PatternHandlers.h"
#include "handlers/dialplan/RouteFilterHandler.h"
#include "handlers/dialplan/RouteGroupHandlers.h"
#include "handlers/dialplan/RouteListHandlers.h"
#include "handlers/dialplan/RoutePartitionHandlers.h"
#include "handlers/system/DevicePoolHandler.h"
#include "handlers/system/DialcoreGroupHandler.h"
#include "handlers/system/DialcoreHandler.h"
#include "handlers/system/ListQueryHandlers.h"
#include "handlers/system/LocationHandler.h"
#include "handlers/system/RegionHandler.h"
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
      {"addRouteGroup", Make<CAddRouteGroupHandler>},
      {"updateRouteGroup", Make<CUpdateRouteGroupHandler>},
      {"removeRouteGroup", Make<CRemoveRouteGroupHandler>},
      {"getRouteGroup", Make<CGetRouteGroupHandler>},
      {"addRouteList", Make<CAddRouteListHandler>},
      {"updateRouteList", Make<CUpdateRouteListHandler>},
      {"removeRouteList", Make<CRemoveRouteListHandler>},
      {"getRouteList", Make<CGetRouteListHandler>},
      {"listPhoneByName", Make<CListPhoneByNameHandler>},
      {"listPhoneByDescription", Make<CListPhoneByDescriptionHandler>},
      {"listUserByName", Make<CListUserByNameHandler>},
      {"listRoutePlanByType", Make<CListRoutePlanByTypeHandler>},
      {"listRoutePartitionByName", Make<CListRoutePartitionByNameHandler>},
      {"listCSSByName", Make<CListCSSByNameHandler>},
      {"getNumDevices", Make<CGetNumDevicesHandler>},
      {"listServiceParameters", Make<CListServiceParametersHandler>},
      {"addDialPlan", Make<CDialPlanHandler>},
      {"updateDialPlan", Make<CDialPlanHandler>},
      {"removeDialPlan", Make<CDialPlanHandler>},
      {"getDialPlan", Make<CDialPlanHandler>},
      {"addDialPlanTag", Make<CDialPlanTagHandler>},
      {"updateDialPlanTag", Make<CDialPlanTagHandler>},
      {"removeDialPlanTag", Make<CDialPlanTagHandler>},
      {"getDialPlanTag", Make<CDialPlanTagHandler>},
      {"addCallPark", Make<CCallParkHandler>},
      {"updateCallPark", Make<CCallParkHandler>},
      {"removeCallPark", Make<CCallParkHandler>},
      {"getCallPark", Make<CCallParkHandler>},
      {"addCallPickupGroup", Make<CCallPickupHandler>},
      {"updateCallPickupGroup", Make<CCallPickupHandler>},
      {"removeCallPickupGroup", Make<CCallPickupHandler>},
      {"getCallPickupGroup", Make<CCallPickupHandler>},
      {"addDDI", Make<CDDIHandler>},
      {"updateDDI", Make<CDDIHandler>},
      {"removeDDI", Make<CDDIHandler>},
      {"getDDI", Make<CDDIHandler>},
      {"addDevicePool", Make<CDevicePoolHandler>},
      {"updateDevicePool", Make<CDevicePoolHandler>},
      {"removeDevicePool", Make<CDevicePoolHandler>},
      {"getDevicePool", Make<CDevicePoolHandler>},
      {"addDialcoreGroup", Make<CDialcoreGroupHandler>},
      {"updateDialcoreGroup", Make<CDialcoreGroupHandler>},
      {"removeDialcoreGroup", Make<CDialcoreGroupHandler>},
      {"getDialcoreGroup", Make<CDialcoreGroupHandler>},
      {"addRouteFilter", Make<CRouteFilterHandler>},
      {"updateRouteFilter", Make<CRouteFilterHandler>},
      {"removeRouteFilter", Make<CRouteFilterHandler>},
      {"getRouteFilter", Make<CRouteFilterHandler>},
      {"updateServiceParameter", Make<CServiceParameterHandler>},
      {"getServiceParameter", Make<CServiceParameterHandler>},
      {"addLocation", Make<CLocationHandler>},
      {"updateLocation", Make<CLocationHandler>},
      {"removeLocation", Make<CLocationHandler>},
      {"getLocation", Make<CLocationHandler>},
      {"addRegion", Make<CRegionHandler>},
      {"updateRegionMatrix", Make<CRegionHandler>},
      {"removeRegion", Make<CRegionHandler>},
      {"getRegion", Make<CRegionHandler>},
      {"addDialcore", Make<CDialcoreHandler>},
      {"updateDialcore", Make<CDialcoreHandler>},
      {"removeDialcore", Make<CDialcoreHandler>},
      {"getDialcore", Make<CDialcoreHandler>},
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
