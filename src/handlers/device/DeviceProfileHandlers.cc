#include "handlers/device/DeviceProfileHandlers.h"

#include "builders/CXMLDeviceProfile.h"
#include "handlers/ElementTables.h"
#include "handlers/device/PhoneHandlers.h"
#include "zdl/CSystem.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

const char kMoreElements[] = "NULL element found. Expecting more elements.";

// Consumes the optional element at the cursor; a consumed element must be followed by another.
void SkipFollowed(ElementCursor& cursor, const char* element) {
  if (!cursor.Is(element)) return;
  cursor.Advance();
  cursor.RequireNotNull(kMoreElements);
}

// Forms of elements that are read past: their content is not looked at.
std::vector<ElementForm> ReadPast(std::initializer_list<const char*> names) {
  std::vector<ElementForm> forms;
  for (const char* name : names) forms.push_back({name, Form::kValue});
  return forms;
}

}  // namespace

// A profile reads its product and device settings past and keeps no phone-service settings.
const ElementTable kDeviceProfileElements = {
    "addDeviceProfile",
    "updateDeviceProfile",
    "getDeviceProfile",
    {
        IdentifiedBy("profileId", "profileName", kNo, kReq),
        IdentifiedBy("uuid", "name", kReq, kNo),
        Custom("name", Form::kValue, kReq, kNo),
        Custom("newName", Form::kValue, kNo, kOpt),
        Custom("description", Form::kValue, kOpt, kOpt),
        Choice({{"product", Form::kValue}, {"productInfo", Form::kValue}}, kReq, kNo),
        Custom("model", Form::kValue, kReq, kNo),
        Custom("class", Form::kValue, kReq, kNo),
        Custom("protocol", Form::kValue, kReq, kNo),
        Custom("protocolSide", Form::kValue, kReq, kNo),
        Choice(ReadPast({"callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName"}), kOpt, kNo),
        Choice(ReadPast({"devicePool", "devicePoolId", "devicePoolName"}), kOpt, kNo),
        Choice(ReadPast({"location", "locationId", "locationName"}), kOpt, kNo),
        Choice(ReadPast({"mediaResourceList", "mediaResourceListId", "mediaResourceListName"}), kOpt, kNo),
        Custom("loadInformation", Form::kValue, kOpt, kNo),
        Custom("vendorConfig", Form::kValue, kOpt, kNo),
        Custom("versionStamp", Form::kValue, kOpt, kNo),
        Custom("traceFlag", Form::kValue, kOpt, kNo),
        Custom("associatedPC", Form::kValue, kOpt, kNo),
        Custom("lines", Form::kChildren, kOpt, kOpt),
        Custom("numberOfButtons", Form::kValue, kOpt, kNo),
        Choice({{"phoneTemplate", Form::kUuid},
                {"phoneTemplateId", Form::kId},
                {"phoneTemplateName", Form::kName}},
               kOpt, kOpt),
        Custom("speeddials", Form::kChildren, kOpt, kOpt),
        Custom("addOnModules", Form::kChildren, kOpt, kOpt),
        Optional("idleTimeout", Kind::kSkipped, -1, kOpt, kNo),
        Optional("authenticationURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("directoryURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("idleURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("informationURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("messagesURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("proxyServerURL", Kind::kSkipped, -1, kOpt, kNo),
        Optional("servicesURL", Kind::kSkipped, -1, kOpt, kNo),
        Custom("services", Form::kChildren, kOpt, kOpt),
        Choice(UuidIdOrName("softkeyTemplate", "softkeyTemplateId", "softkeyTemplateName"), kOpt, kOpt),
    }};

void CDeviceProfileHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newProfile>");
  zdl::CDeviceList devices(db());
  auto profile = devices.Insert();
  profile->PutClass(zdl::kClassDeviceProfile);
  profile->PutDeviceProfileType(zdl::kProfileUser);
  profile->PutProduct(zdl::kProductDeskPhone60);
  profile->PutProtocolSide(1);
  profile->PutDeviceProtocol(0);
  DeviceChildren children(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  profile->PutName(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <description> or <product>");
  if (cursor.Is("description")) {
    if (auto value = ValueOf(cursor.node())) profile->PutDescription(*value);
    cursor.Advance();
  }
  SkipProductElements(cursor);
  SkipDeviceSettings(cursor);
  ReadTemplatesAndLists(cursor, *profile, children);
  cursor.RequireEnd();

  zdl::CZDLTransaction transaction(db());
  devices.Update();
  children.Update();
  transaction.Commit();
  Return(result, profile->GetID());
}

void CDeviceProfileHandler::SkipProductElements(ElementCursor& cursor) {
  cursor.RequireNotNull("NULL element found. Expecting <product>");
  if (!cursor.Is("product") && !cursor.Is("productInfo")) cursor.ThrowFound("<product> or <productInfo>");
  cursor.Advance();
  for (const char* element : {"model", "class", "protocol", "protocolSide"}) {
    cursor.Expect(element, std::string("<") + element + ">", std::string("NULL element found. Expecting <") + element + ">");
    cursor.Advance();
  }
  cursor.RequireNotNull(kMoreElements);
}

void CDeviceProfileHandler::SkipDeviceSettings(ElementCursor& cursor) {
  for (const char* element :
       {"callingSearchSpace", "callingSearchSpaceId", "callingSearchSpaceName", "devicePool", "devicePoolId",
        "devicePoolName", "location", "locationId", "locationName", "mediaResourceList", "mediaResourceListId",
        "mediaResourceListName", "loadInformation", "vendorConfig", "versionStamp", "traceFlag", "associatedPC"}) {
    SkipFollowed(cursor, element);
  }
}

void CDeviceProfileHandler::ReadTemplatesAndLists(ElementCursor& cursor, zdl::CDevice& profile,
                                                  DeviceChildren& children) {
  const zdl::CZDLID id = profile.GetID();
  if (cursor.Is("lines")) {
    RequireNoLineAppearances(db(), id);
    LineRules rules;
    rules.dirnIdIsIdentifier = true;
    ReadLines(db(), cursor.node().FirstElementChild(), id, children.lines, rules);
    cursor.Advance();
  }
  if (cursor.Is("numberOfButtons")) cursor.Advance();
  if (cursor.Is("phoneTemplate")) {
    profile.PutPhoneTemplateID(ParseID(RequireAttribute(cursor.node(), "uuid")));
    SkipFollowed(cursor, "phoneTemplate");
  } else if (cursor.Is("phoneTemplateId")) {
    profile.PutPhoneTemplateID(ParseID(ValueOrEmpty(cursor.node())));
    SkipFollowed(cursor, "phoneTemplateId");
  } else if (cursor.Is("phoneTemplateName")) {
    profile.PutPhoneTemplateID(FindIdByName<zdl::CPhoneTemplateList>(db(), ValueOrEmpty(cursor.node()),
                                                                      "Phone Template not found."));
    cursor.Advance();
  }
  ReplaceSpeeddialsAndModules(cursor, id, children);
  ReadValues(cursor, kDeviceProfileElements, Shape::kAdd, "idleTimeout", profile);
  if (cursor.Is("services")) {
    ReadSubscribedServices(db(), cursor.node(), id, children.services);
    cursor.Advance();
  }
  if (cursor.Is("softkeyTemplate")) {
    profile.PutSoftkeyTemplateID(ParseID(RequireAttribute(cursor.node(), "uuid")));
    cursor.Advance();
  } else if (cursor.Is("softkeyTemplateName")) {
    profile.PutSoftkeyTemplateID(
        FindSoftkeyTemplateByExactName(db(), ValueOrEmpty(cursor.node()), "Softkey Template not found."));
    cursor.Advance();
  }
}

void CDeviceProfileHandler::Generate(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices,
           {"Found NULL, expecting <phoneName> or <phoneId>", "<phoneId> or <phoneName>", "phoneName",
            ValueWording::kThenMustHave, "phoneId", ValueWording::kThenMustHave, "Device not found."});
  if (devices.Count() != 1) ThrowNotFound("Device not found.");
  const zdl::CZDLID profile = zdl::CSystem(db()).GenerateProfile(devices.GetCurrentItem()->GetID());
  Return(result, profile);
}

// --- updateDeviceProfile ---

void CDeviceProfileHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kIdentifyDevice);
  auto profile = devices.GetCurrentItem();
  const zdl::CZDLID id = profile->GetID();
  DeviceChildren children(db());
  cursor.RequireNotNull("Found NULL, expecting <newName>");

  if (cursor.Is("newName")) {
    profile->PutName(RequireValue(cursor.node(), ValueWording::kThenMustHave));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    profile->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  if (cursor.Is("lines")) {
    ReplaceLines(db(), cursor.node(), id, children.lines, LineRules());
    cursor.Advance();
  }
  ReadUpdateReference(db(), cursor, *profile, kUpdatePhoneTemplate);
  ReplaceSpeeddialsAndModules(cursor, id, children);
  if (cursor.Is("services")) {
    ReadSubscribedServices(db(), cursor.node(), id, children.services);
    cursor.Advance();
  }
  ReadUpdateReference(db(), cursor, *profile, kUpdateSoftkeyTemplate);
  cursor.RequireEnd();

  zdl::CZDLTransaction transaction(db());
  devices.Update();
  children.Update();
  transaction.Commit();
  Return(result, id);
}

// --- getDeviceProfile ---

void CDeviceProfileHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.RequireNotNull("NULL element found.  Expecting a device Id or Name.");
  zdl::CFastAccess device(db(), "Device");
  if (cursor.Is("profileId")) {
    device.SelectByID(ParseID(RequireValue(cursor.node(), ValueWording::kMustContain)));
  } else if (cursor.Is("profileName")) {
    device.SelectCustom("SELECT * FROM Device WHERE " + db().dialect().Equals("Name", true),
                        {RequireValue(cursor.node(), ValueWording::kMustContain)});
  } else {
    cursor.ThrowFound("<profileName> or <profileId>.");
  }
  if (device.IsEOF()) ThrowNotFound("The specified profile was not found.");
  CXMLElement holder;
  holder.AddNewChild<CXMLDeviceProfile>()->BuildFromRow(db(), device);
  ReturnChildren(result, holder);
}

}  // namespace zeb
