// The element table of each family (see builders/ElementTable.h), defined beside the family's
// handlers; the schema check walks them all.
#pragma once

#include "builders/ElementTable.h"

namespace zeb {

extern const ElementTable kPhoneElements;
extern const ElementTable kDeviceProfileElements;
extern const ElementTable kLocationElements;
extern const ElementTable kRegionElements;
extern const ElementTable kRoutePartitionElements;
extern const ElementTable kCSSElements;
extern const ElementTable kDialPlanElements;
extern const ElementTable kDialPlanTagElements;
extern const ElementTable kRouteGroupElements;
extern const ElementTable kRouteListElements;
extern const ElementTable kDialcoreGroupElements;
extern const ElementTable kDDIElements;
extern const ElementTable kRouteFilterElements;
extern const ElementTable kDialcoreElements;
extern const ElementTable kDevicePoolElements;
extern const ElementTable kUserElements;
extern const ElementTable kLineElements;
extern const ElementTable kTransPatternElements;
extern const ElementTable kRoutePatternElements;
extern const ElementTable kCallParkElements;
extern const ElementTable kCallPickupElements;
extern const ElementTable kCTIRoutePointElements;
extern const ElementTable kVoiceMailPortElements;
extern const ElementTable kMGCPElements;
extern const ElementTable kNumDevicesElements;

}  // namespace zeb
