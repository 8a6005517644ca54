#include "handlers/device/VoiceMailPortHandlers.h"

#include "builders/CXMLVoiceMailPort.h"
#include "handlers/device/DeviceReaders.h"
#include "handlers/device/PhoneHandlers.h"

namespace zeb {

namespace {

using Cols = zdl::DeviceCols;

const char kMoreElements[] = "NULL element found. Expecting more elements.";
const char kNotFound[] = "The specified VoiceMailPort was not found.";
const char kNotAPort[] = "The device specified is not a Voice Mail Port.";

const Identification kIdentifyForUpdate{"Found NULL, expecting <name> or <uuid>", "<uuid> or <name>", "name",
                                        ValueWording::kMustHave, "uuid", ValueWording::kMustHave, kNotFound};
const Identification kIdentifyPort{"Found NULL, expecting <uuid> or <name>", "<uuid> or <name>", "name",
                                   ValueWording::kMustHave, "uuid", ValueWording::kMustHave, kNotFound};

const UpdateReference kUpdateCallingSearchSpace = {
    "callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName", "Calling Search Space not found.",
    FindIdByName<zdl::CCallingSearchSpaceList>, Cols::kCallingSearchSpaceID};
// The device pool of an update is named by identifier or name, and a named one needs a value.
const UpdateReference kUpdateDevicePool = {nullptr, "devicePoolId", "devicePoolName", "Device Pool not found.",
                                           FindIdByName<zdl::CDevicePoolList>, Cols::kDevicePoolID};

// The voice-mail port reads its lines with the rules of the gateway port: a ring setting per line.
const LineRules kPortLines{true, false, false};

}  // namespace

void CVoiceMailPortHandler::Execute(XmlNode request, CXMLElement& result) {
  const std::string method = request.LocalName();
  if (method == "addVoiceMailPort") return Add(request, result);
  if (method == "updateVoiceMailPort") return Update(request, result);
  if (method == "removeVoiceMailPort") return Remove(request, result);
  if (method == "getVoiceMailPort") return Get(request, result);
  throw CUnknownMethodException(request.Name());
}

// --- add ---

void CVoiceMailPortHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <voiceMailPort>");
  zdl::CDeviceList devices(db());
  auto device = devices.Insert();
  device->PutProduct(kProductVoiceMailPort);
  const zdl::CZDLID id = device->GetID();
  zdl::CDeviceNumPlanMapList lines(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  ReadIdentity(cursor, *device);
  ReadReferences(cursor, *device);
  ReadDeviceSettings(cursor, *device, false);
  RequireNoLineAppearances(db(), id);
  ReadLines(db(), cursor.node(), id, lines, kPortLines);

  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

void CVoiceMailPortHandler::ReadIdentity(ElementCursor& cursor, zdl::CDevice& device) {
  cursor.Expect("name", "<name>", "Found NULL, expecting <name>");
  device.PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
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
  device.PutDeviceProtocol(TypeEnum(db(), "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.Expect("protocolSide", "<protocolSide>", kMoreElements);
  device.PutProtocolSide(TypeEnum(db(), "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
}

void CVoiceMailPortHandler::ReadReferences(ElementCursor& cursor, zdl::CDevice& device) {
  ReadAddReference(db(), cursor, device, kAddReferences[0]);
  cursor.RequireNotNull("NULL element found. Expecting <devicePool> or <devicePoolName>.");
  if (!cursor.Is("devicePool") && !cursor.Is("devicePoolName")) cursor.ThrowFound("<devicePool> or <devicePoolName>");
  for (int i = 1; i < kDeviceReferenceCount; ++i) ReadAddReference(db(), cursor, device, kAddReferences[i]);
}

// --- update ---

void CVoiceMailPortHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  auto device = FindPort(cursor, devices, kIdentifyForUpdate);
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
  ReadUpdateReferences(cursor, *device);
  ReadDeviceSettings(cursor, *device, true);
  if (cursor.Is("line")) {
    lines.SelectByDeviceID(id);
    lines.DeleteAll();
    ReadLines(db(), cursor.node(), id, lines, kPortLines);
  } else {
    cursor.RequireEnd();
  }

  WriteDeviceAndLines(db(), devices, lines);
  Return(result, id);
}

void CVoiceMailPortHandler::ReadUpdateReferences(ElementCursor& cursor, zdl::CDevice& device) {
  ReadUpdateReference(db(), cursor, device, kUpdateCallingSearchSpace);
  ReadRequiredReference(db(), cursor, device, kUpdateDevicePool, ValueWording::kThenMustHave);
  // kUpdateReferences begins with the device pool, read above with its own wording.
  for (int i = 1; i < kDeviceReferenceCount - 1; ++i) ReadUpdateReference(db(), cursor, device, kUpdateReferences[i]);
}

// --- remove and get ---

zdl::SmartItemPtr<zdl::CDevice> CVoiceMailPortHandler::FindPort(ElementCursor& cursor, zdl::CDeviceList& devices,
                                                                const Identification& how) {
  Identify(cursor, devices, how);
  auto device = devices.GetCurrentItem();
  if (device->GetClass() != kClassVoiceMailPort) ThrowNotFound(kNotAPort);
  return device;
}

void CVoiceMailPortHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = FindPort(cursor, devices, kIdentifyPort)->GetID();
  devices.Delete();
  devices.Update();
  Return(result, id);
}

void CVoiceMailPortHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  const zdl::CZDLID id = FindPort(cursor, devices, kIdentifyPort)->GetID();
  CXMLElement holder;
  holder.AddNewChild<CXMLVoiceMailPort>()->BuildFromDatabase(db(), id, kModeFull, context().versionStamp);
  ReturnChildren(result, holder);
}

}  // namespace zeb
