#include "handlers/device/CTIRoutePointHandlers.h"

#include "builders/CXMLCTIRoutePoint.h"
#include "handlers/device/DeviceReaders.h"

namespace zeb {

namespace {

using Cols = zdl::DeviceCols;

const char kNotARoutePoint[] = "The specified device is not a CTI Route Point.";

Identification RoutePointBy(const char* nullText, const char* notFound) {
  return {nullText, "<uuid> or <name>", "name", ValueWording::kMustHave, "uuid", ValueWording::kMustHave, notFound};
}

const UpdateReference kCallingSearchSpace = {
    "callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName", "Calling search space not found.",
    FindIdByName<zdl::CCallingSearchSpaceList>, Cols::kCallingSearchSpaceID};
const UpdateReference kDevicePool = {"devicePool", "devicePoolId", "devicePoolName", "Device Pool not found.",
                                     FindIdByName<zdl::CDevicePoolList>, Cols::kDevicePoolID};
const UpdateReference kLocation = {"location", "locationId", "locationName", "Location not found.",
                                   FindIdByName<zdl::CLocationList>, Cols::kLocationID};
const UpdateReference kUpdateCallingSearchSpace = {
    "callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName", "Calling Search Space not found.",
    FindIdByName<zdl::CCallingSearchSpaceList>, Cols::kCallingSearchSpaceID};
// An update names its device pool by identifier or name only.
const UpdateReference kUpdateDevicePool = {nullptr, "devicePoolId", "devicePoolName", "Device Pool not found.",
                                           FindIdByName<zdl::CDevicePoolList>, Cols::kDevicePoolID};

// Accepted in an add request and not stored: a route point has no media resources, no
// alternate routing and no load.
const char* const kSkipped[] = {"mediaResourceList",
                                "mediaResourceListId",
                                "mediaResourceListName",
                                "automatedAlternateRoutingCSS",
                                "automatedAlternateRoutingCSSId",
                                "automatedAlternateRoutingCSSName",
                                "aarNeighborhood",
                                "aarNeighborhoodId",
                                "aarNeighborhoodName",
                                "loadInformation",
                                "vendorConfig",
                                "versionStamp"};

const LineRules kRoutePointLines{true, false, false};

}  // namespace

void CCTIRoutePointHandler::Execute(XmlNode request, CXMLElement& result) {
  const std::string method = request.LocalName();
  if (method == "addCTIRoutePoint") return Add(request, result);
  if (method == "updateCTIRoutePoint") return Update(request, result);
  if (method == "removeCTIRoutePoint") return Remove(request, result);
  if (method == "getCTIRoutePoint") return Get(request, result);
  throw CUnknownMethodException(request.Name());
}

// --- add ---

void CCTIRoutePointHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <routePointt>");
  zdl::CDeviceList devices(db());
  auto device = devices.Insert();
  device->PutProduct(kProductCTIRoutePoint);
  const zdl::CZDLID id = device->GetID();
  zdl::CDeviceNumPlanMapList lines(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  ReadIdentity(cursor, *device);
  ReadReferencesAndSettings(cursor, *device);
  if (cursor.Is("lines")) RequireNoLineAppearances(db(), id);
  ReadLinesElement(cursor, id, lines);
  cursor.RequireEnd();

  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

void CCTIRoutePointHandler::ReadIdentity(ElementCursor& cursor, zdl::CDevice& device) {
  cursor.Expect("name", "<name>", "Found NULL, expecting <name>");
  device.PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <description> or <calledPartyTransformationMask>");
  if (cursor.Is("description")) {
    if (auto value = ValueOf(cursor.node())) device.PutDescription(*value);
    cursor.Advance();
  }
  cursor.RequireNotNull("NULL element found. Expecting <product>");
  if (!cursor.Is("product") && !cursor.Is("productInfo")) cursor.ThrowFound("<product> or <productInfo>");
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <model> or <modelInfo>");
  if (!cursor.Is("model") && !cursor.Is("modelInfo")) cursor.ThrowFound("<model> or <modelInfo>");
  cursor.Advance();
  cursor.Expect("class", "<class>", "NULL element found. Expecting <class>");
  cursor.Advance();
  cursor.Expect("protocol", "<protocol>", "NULL element found. Expecting <protocol>");
  device.PutDeviceProtocol(TypeEnum(db(), "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.Expect("protocolSide", "<protocolSide>", "NULL element found. Expecting <protocolSide>");
  device.PutProtocolSide(TypeEnum(db(), "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting more elements.");
}

void CCTIRoutePointHandler::ReadReferencesAndSettings(ElementCursor& cursor, zdl::CDevice& device) {
  ReadRequiredReference(db(), cursor, device, kCallingSearchSpace, ValueWording::kMustContain);
  cursor.RequireNotNull("NULL element found. Expecting <devicePool>.");
  if (!ReadRequiredReference(db(), cursor, device, kDevicePool, ValueWording::kMustContain)) {
    cursor.ThrowFound("<devicePool> or <devicePoolName>");
  }
  ReadRequiredReference(db(), cursor, device, kLocation, ValueWording::kMustContain);
  for (const char* skipped : kSkipped) {
    if (cursor.Is(skipped)) cursor.Advance();
  }
  if (cursor.Is("traceFlag")) {
    device.PutDeviceLevelTraceFlag(ParseBoolean(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
}

void CCTIRoutePointHandler::ReadLinesElement(ElementCursor& cursor, const zdl::CZDLID& device,
                                             zdl::CDeviceNumPlanMapList& lines) {
  if (!cursor.Is("lines")) return;
  ReplaceLines(db(), cursor.node(), device, lines, kRoutePointLines);
  cursor.Advance();
}

// --- update ---

void CCTIRoutePointHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  auto device = FindRoutePoint(cursor, devices,
                               RoutePointBy("Found NULL, expecting <name> or <uuid>",
                                            "The specified route point was not found."));
  const zdl::CZDLID id = device->GetID();
  zdl::CDeviceNumPlanMapList lines(db());

  if (cursor.Is("newName")) {
    device->PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    device->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  ReadUpdateReference(db(), cursor, *device, kUpdateCallingSearchSpace);
  ReadRequiredReference(db(), cursor, *device, kUpdateDevicePool, ValueWording::kMustContain);
  ReadUpdateReference(db(), cursor, *device, kLocation);
  ReadLinesElement(cursor, id, lines);
  cursor.RequireEnd();

  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

// --- remove and get ---

zdl::SmartItemPtr<zdl::CDevice> CCTIRoutePointHandler::FindRoutePoint(ElementCursor& cursor,
                                                                      zdl::CDeviceList& devices,
                                                                      const Identification& how) {
  const Identified which = ReadIdentifier(cursor, how);
  if (which.byId) {
    devices.SelectByID(ParseID(which.value));
    if (devices.Count() == 0) ThrowNotFound(how.notFound);
  } else {
    devices.SelectByName(which.value);
    if (devices.Count() == 0) ThrowNotFound("route point not found.");
  }
  devices.MoveFirst();
  auto device = devices.GetCurrentItem();
  if (device->GetClass() != kClassCTIRoutePoint) ThrowNotFound(kNotARoutePoint);
  return device;
}

void CCTIRoutePointHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id =
      FindRoutePoint(cursor, devices,
                     RoutePointBy("Found NULL, expecting <name> or <uuid>", "The specified route point was not found."))
          ->GetID();
  devices.Delete();
  devices.Update();
  Return(result, id);
}

void CCTIRoutePointHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id =
      FindRoutePoint(cursor, devices, RoutePointBy("Found NULL, expecting <name> or <uuid>", "Route Point not found."))
          ->GetID();
  CXMLElement holder;
  holder.AddNewChild<CXMLCTIRoutePoint>()->BuildFromDatabase(db(), id, kModeFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
