#include "handlers/device/LineDeviceHandlers.h"

#include "builders/CXMLCTIRoutePoint.h"
#include "builders/CXMLVoiceMailPort.h"
#include "handlers/ElementTables.h"
#include "handlers/device/DeviceReaders.h"
#include "handlers/device/PhoneHandlers.h"

namespace zeb {

namespace {

using Cols = zdl::DeviceCols;

const char kNameOrUuid[] = "Found NULL, expecting <name> or <uuid>";
const char kMoreElements[] = "NULL element found. Expecting more elements.";
const char kPortNotFound[] = "The specified VoiceMailPort was not found.";
const char kRoutePointNotFound[] = "The specified route point was not found.";

void BuildRoutePoint(CXMLElement& holder, zdl::CZDLSession& session, const zdl::CZDLID& id,
                     const std::string&) {
  holder.AddNewChild<CXMLCTIRoutePoint>()->BuildFromDatabase(session, id, RenderMode::kFull);
}

void BuildPort(CXMLElement& holder, zdl::CZDLSession& session, const zdl::CZDLID& id,
               const std::string& versionStamp) {
  holder.AddNewChild<CXMLVoiceMailPort>()->BuildFromDatabase(session, id, RenderMode::kFull, versionStamp);
}

const UpdateReference kCallingSearchSpace = {"callingSearchSpace",
                                             "callingSearchSpaceId",
                                             "callingSearchSpaceName",
                                             "Calling search space not found.",
                                             FindIdByName<zdl::CCallingSearchSpaceList>,
                                             Cols::kCallingSearchSpaceID};
const UpdateReference kDevicePool = {"devicePool",
                                     "devicePoolId",
                                     "devicePoolName",
                                     "Device Pool not found.",
                                     FindIdByName<zdl::CDevicePoolList>,
                                     Cols::kDevicePoolID};
const UpdateReference kLocation = {
    "location",       "locationId", "locationName", "Location not found.", FindIdByName<zdl::CLocationList>,
    Cols::kLocationID};
const UpdateReference kUpdateCallingSearchSpace = {nullptr,
                                                   "callingSearchSpaceId",
                                                   "callingSearchSpaceName",
                                                   "Calling Search Space not found.",
                                                   FindIdByName<zdl::CCallingSearchSpaceList>,
                                                   Cols::kCallingSearchSpaceID};
// An update names its device pool by identifier or name only.
const UpdateReference kUpdateDevicePool = {nullptr,
                                           "devicePoolId",
                                           "devicePoolName",
                                           "Device Pool not found.",
                                           FindIdByName<zdl::CDevicePoolList>,
                                           Cols::kDevicePoolID};

// Accepted in a route point's add request and not stored: a route point has no media resources,
// no alternate routing and no load.
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

// Both kinds read their lines with the rules of the gateway port: a ring setting per line.
const LineRules kDeviceLines{true, false, false};

// The rows both kinds begin with.
std::vector<ElementRow> HeadRows(std::vector<ElementRow> rest) {
  return Join(
      {NamedRecordRows(Cols::kName),
       {
           Optional("description", Kind::kText, Cols::kDescription, kOpt, kOpt),
           Choice({{"product", Form::kValue}, {"productInfo", Form::kValue}}, kReq, kNo),  // read past
       },
       rest});
}

// A reference both requests know: the add by its "uuid" attribute, identifier or name, the
// update by identifier or name only.
ElementRow Reference(const char* element, const char* idElement, const char* nameElement, Presence add) {
  return Choice({{element, Form::kUuid, kInAdd}, {idElement, Form::kId}, {nameElement, Form::kName}}, add, kOpt);
}

// The rows with their "uuid" attribute forms left to the add.
std::vector<ElementRow> UuidFormsInAddOnly(std::vector<ElementRow> rows) {
  for (ElementRow& row : rows) {
    for (ElementForm& form : row.forms) {
      if (form.form == Form::kUuid) form.shapes &= kInAdd;
    }
  }
  return rows;
}

}  // namespace

// A route point reads past, one by one, the elements of a device it has no use for.
const ElementTable kCTIRoutePointElements = {
    "addCTIRoutePoint", "updateCTIRoutePoint", "getCTIRoutePoint",
    HeadRows({
        Choice({{"model", Form::kValue}, {"modelInfo", Form::kValue}}, kReq, kNo),
        Custom("class", Form::kValue, kReq, kNo),
        Custom("protocol", Form::kValue, kReq, kNo),
        Custom("protocolSide", Form::kValue, kReq, kNo),
        Reference("callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName", kOpt),
        Choice({{"devicePool", Form::kUuid, kInAdd},
                {"devicePoolId", Form::kId},
                {"devicePoolName", Form::kName}},
               kReq, kOpt),
        Reference("location", "locationId", "locationName", kOpt),
        Custom("mediaResourceList", Form::kValue, kOpt, kNo),
        Custom("mediaResourceListId", Form::kValue, kOpt, kNo),
        Custom("mediaResourceListName", Form::kValue, kOpt, kNo),
        Custom("automatedAlternateRoutingCSS", Form::kValue, kOpt, kNo),
        Custom("automatedAlternateRoutingCSSId", Form::kValue, kOpt, kNo),
        Custom("automatedAlternateRoutingCSSName", Form::kValue, kOpt, kNo),
        Custom("aarNeighborhood", Form::kValue, kOpt, kNo),
        Custom("aarNeighborhoodId", Form::kValue, kOpt, kNo),
        Custom("aarNeighborhoodName", Form::kValue, kOpt, kNo),
        Custom("loadInformation", Form::kValue, kOpt, kNo),
        Custom("vendorConfig", Form::kValue, kOpt, kNo),
        Custom("versionStamp", Form::kValue, kOpt, kNo),
        Custom("traceFlag", Form::kValue, kOpt, kNo),
        Custom("lines", Form::kChildren, kOpt, kOpt),
    })};

// A port's update replaces its lines when a <line> follows the settings; its later siblings may
// also be <lineIdentifier>.
const ElementTable kVoiceMailPortElements = {
    "addVoiceMailPort", "updateVoiceMailPort", "getVoiceMailPort",
    HeadRows(Join({{
                       Custom("model", Form::kValue, kReq, kNo),
                       Custom("class", Form::kValue, kReq, kNo),
                       Custom("protocol", Form::kValue, kReq, kNo),
                       Custom("protocolSide", Form::kValue, kReq, kNo),
                       Choice({{"callingSearchSpace", Form::kUuid, kInAdd},
                               {"callingSearchSpaceId", Form::kId, kInUpdate},
                               {"callingSearchSpaceName", Form::kName}},
                              kOpt, kOpt),
                       Choice({{"devicePool", Form::kUuid, kInAdd},
                               {"devicePoolId", Form::kId, kInUpdate},
                               {"devicePoolName", Form::kName}},
                              kReq, kOpt),
                   },
                   UuidFormsInAddOnly(DeviceReferenceRows()),
                   {
                       Custom("loadInformation", Form::kValue, kOpt, kOpt),
                       Custom("vendorConfig", Form::kValue, kOpt, kOpt),
                       Custom("versionStamp", Form::kValue, kOpt, kNo),
                       Custom("traceFlag", Form::kValue, kOpt, kOpt),
                       Custom("line", Form::kChildren, kNo, kOpt),
                       Choice({{"line", Form::kChildren}, {"lineIdentifier", Form::kChildren}}, kReq, kOpt),
                   }}))};

const LineDeviceKind kCTIRoutePoint{true,
                                    zdl::kProductCTIRoutePoint,
                                    zdl::kClassCTIRoutePoint,
                                    "Found NULL, expecting <routePointt>",
                                    kNameOrUuid,
                                    kRoutePointNotFound,
                                    kRoutePointNotFound,
                                    "Route Point not found.",
                                    "route point not found.",
                                    "The specified device is not a CTI Route Point.",
                                    BuildRoutePoint};
const LineDeviceKind kVoiceMailPort{false,
                                    zdl::kProductVoiceMailPort,
                                    zdl::kClassVoiceMailPort,
                                    "Found NULL, expecting <voiceMailPort>",
                                    "Found NULL, expecting <uuid> or <name>",
                                    kPortNotFound,
                                    kPortNotFound,
                                    kPortNotFound,
                                    nullptr,
                                    "The device specified is not a Voice Mail Port.",
                                    BuildPort};

// --- add ---

void CLineDeviceHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull(kind_.wrapperNull);
  zdl::CDeviceList devices(db());
  auto device = devices.Insert();
  device->PutProduct(kind_.product);
  const zdl::CZDLID id = device->GetID();
  zdl::CDeviceNumPlanMapList lines(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  if (kind_.routePoint) {
    ReadRoutePointIdentity(cursor, *device);
    ReadRoutePointReferences(cursor, *device);
    if (cursor.Is("lines")) RequireNoLineAppearances(db(), id);
    ReadLinesElement(cursor, id, lines);
    cursor.RequireEnd();
  } else {
    ReadPortIdentity(cursor, *device);
    ReadPortReferences(cursor, *device);
    ReadDeviceSettings(cursor, *device, false, AssociatedPC::kNone);
    RequireNoLineAppearances(db(), id);
    ReadLines(db(), cursor.node(), id, lines, kDeviceLines);
  }
  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

void CLineDeviceHandler::ReadRoutePointIdentity(ElementCursor& cursor, zdl::CDevice& device) {
  device.PutName(ReadAddName(cursor));
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
  device.PutDeviceProtocol(
      TypeEnum(db(), "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.Expect("protocolSide", "<protocolSide>", "NULL element found. Expecting <protocolSide>");
  device.PutProtocolSide(
      TypeEnum(db(), "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
}

void CLineDeviceHandler::ReadRoutePointReferences(ElementCursor& cursor, zdl::CDevice& device) {
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

void CLineDeviceHandler::ReadLinesElement(ElementCursor& cursor, const zdl::CZDLID& device,
                                          zdl::CDeviceNumPlanMapList& lines) {
  if (!cursor.Is("lines")) return;
  ReplaceLines(db(), cursor.node(), device, lines, kDeviceLines);
  cursor.Advance();
}

void CLineDeviceHandler::ReadPortIdentity(ElementCursor& cursor, zdl::CDevice& device) {
  device.PutName(ReadAddName(cursor));
  if (cursor.Is("description")) {
    if (auto value = ValueOf(cursor.node())) device.PutDescription(*value);
    cursor.Advance();
  }
  cursor.RequireNotNull(kMoreElements);
  if (!cursor.Is("product") && !cursor.Is("productInfo")) cursor.ThrowFound("<product> or <productInfo>");
  cursor.Advance();
  cursor.Expect("model", "<model>", kMoreElements);
  cursor.Advance();
  cursor.Expect("class", "<class>", kMoreElements);
  cursor.Advance();
  cursor.Expect("protocol", "<protocol>", kMoreElements);
  device.PutDeviceProtocol(
      TypeEnum(db(), "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.Expect("protocolSide", "<protocolSide>", kMoreElements);
  device.PutProtocolSide(
      TypeEnum(db(), "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
}

void CLineDeviceHandler::ReadPortReferences(ElementCursor& cursor, zdl::CDevice& device) {
  ReadAddReference(db(), cursor, device, kAddReferences[0]);
  cursor.RequireNotNull("NULL element found. Expecting <devicePool> or <devicePoolName>.");
  if (!cursor.Is("devicePool") && !cursor.Is("devicePoolName"))
    cursor.ThrowFound("<devicePool> or <devicePoolName>");
  for (int i = 1; i < kDeviceReferenceCount; ++i) ReadAddReference(db(), cursor, device, kAddReferences[i]);
}

// --- update ---

void CLineDeviceHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  auto device = Find(cursor, devices, kNameOrUuid, kind_.updateNotFound);
  const zdl::CZDLID id = device->GetID();
  zdl::CDeviceNumPlanMapList lines(db());

  ReadValues(cursor, kind_.routePoint ? kCTIRoutePointElements : kVoiceMailPortElements, Shape::kUpdate,
             "newName", *device);
  if (kind_.routePoint) {
    ReadRoutePointUpdateReferences(cursor, *device);
    ReadLinesElement(cursor, id, lines);
    cursor.RequireEnd();
  } else {
    ReadPortUpdateReferences(cursor, *device);
    ReadDeviceSettings(cursor, *device, true, AssociatedPC::kNone);
    if (cursor.Is("line")) {
      lines.SelectByDeviceID(id);
      lines.DeleteAll();
      ReadLines(db(), cursor.node(), id, lines, kDeviceLines);
    } else {
      cursor.RequireEnd();
    }
  }
  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

void CLineDeviceHandler::ReadRoutePointUpdateReferences(ElementCursor& cursor, zdl::CDevice& device) {
  ReadUpdateReference(db(), cursor, device, kUpdateCallingSearchSpace);
  ReadRequiredReference(db(), cursor, device, kUpdateDevicePool, ValueWording::kMustContain);
  ReadUpdateReferenceByIdOrName(db(), cursor, device, kLocation);
}

void CLineDeviceHandler::ReadPortUpdateReferences(ElementCursor& cursor, zdl::CDevice& device) {
  ReadUpdateReference(db(), cursor, device, kUpdateCallingSearchSpace);
  ReadRequiredReference(db(), cursor, device, kUpdateDevicePool, ValueWording::kThenMustHave);
  // kUpdateReferences begins with the device pool, read above with its own wording.
  for (int i = 1; i < kDeviceReferenceCount - 1; ++i)
    ReadUpdateReferenceByIdOrName(db(), cursor, device, kUpdateReferences[i]);
}

// --- remove and get ---

zdl::SmartItemPtr<zdl::CDevice> CLineDeviceHandler::Find(ElementCursor& cursor, zdl::CDeviceList& devices,
                                                         const char* nullText, const char* notFound) {
  const Identification how{nullText, "<uuid> or <name>",      "name",  ValueWording::kMustHave,
                           "uuid",   ValueWording::kMustHave, notFound};
  const Identified which = ReadIdentifier(cursor, how);
  if (which.byId) {
    devices.SelectByID(ParseID(which.value));
  } else {
    devices.SelectByName(which.value);
  }
  if (devices.Count() == 0) ThrowNotFound(!which.byId && kind_.nameNotFound ? kind_.nameNotFound : notFound);
  devices.MoveFirst();
  auto device = devices.GetCurrentItem();
  if (device->GetClass() != kind_.deviceClass) ThrowNotFound(kind_.wrongClass);
  return device;
}

void CLineDeviceHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = Find(cursor, devices, kind_.lookupNull, kind_.removeNotFound)->GetID();
  devices.Delete();
  devices.Update();
  Return(result, id);
}

void CLineDeviceHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = Find(cursor, devices, kind_.lookupNull, kind_.getNotFound)->GetID();
  CXMLElement holder;
  kind_.build(holder, db(), id, context().versionStamp);
  ReturnChildren(result, holder);
}

}  // namespace zeb
