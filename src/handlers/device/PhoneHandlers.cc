#include "handlers/device/PhoneHandlers.h"

#include "builders/CXMLIPPhone.h"
#include "handlers/ElementTables.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

using Cols = zdl::DeviceCols;

const AddReference kAddPhoneTemplate = {"phoneTemplate", nullptr, nullptr, "phoneTemplateName", nullptr,
                                        "Phone Template not found.", FindIdByName<zdl::CPhoneTemplateList>,
                                        Cols::kPhoneTemplateID};
const AddReference kAddSoftkeyTemplate = {"softkeyTemplate", nullptr, nullptr, "softkeyTemplateName", nullptr,
                                          "Softkey Template not found.", FindSoftkeyTemplateByExactName,
                                          Cols::kSoftkeyTemplateID};

const char kNotAProfile[] = "The default device profile specified is not a device profile.";

// A profile given by identifier must be a profile when it exists; the library refuses one
// that does not exist when the phone is written.
void RequireProfileClass(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CDeviceList devices(session);
  devices.SelectByID(id);
  if (devices.Count() > 0 && devices.GetCurrentItem()->GetClass() != zdl::kClassDeviceProfile) {
    ThrowNotFound(kNotAProfile);
  }
}

// <enableExtensionMobility>: only on a device that has a default profile.
void ReadExtensionMobility(ElementCursor& cursor, zdl::CDevice& device) {
  if (!cursor.Is("enableExtensionMobility")) return;
  const bool enable = ParseBoolean(RequireValue(cursor.node(), ValueWording::kMustContain));
  if (device.GetDeviceDefaultProfileID().isNull()) {
    throw CInvalidValueException("Default Profile must be set before enableExtensionMobility.");
  }
  device.PutHotelingFlag(enable);
  cursor.Advance();
}

using Settings = zdl::VoxbeamCols;

}  // namespace

std::vector<ElementRow> DeviceReferenceRows() {
  return {
      Choice(UuidIdOrName("location", "locationId", "locationName"), kOpt, kOpt),
      Choice(UuidIdOrName("mediaResourceList", "mediaResourceListId", "mediaResourceListName"), kOpt, kOpt),
      Choice(UuidIdOrName("automatedAlternateRoutingCSS", "automatedAlternateRoutingCSSId",
                          "automatedAlternateRoutingCSSName"),
             kOpt, kOpt),
      Choice(UuidIdOrName("aarNeighborhood", "aarNeighborhoodId", "aarNeighborhoodName"), kOpt, kOpt),
  };
}

const ElementTable kPhoneElements = {
    "addPhone", "updatePhone", "getPhone",
    Join({{
              IdentifiedBy("phoneId", "phoneName", kNo, kReq),
              IdentifiedBy("uuid", "name", kReq, kNo),
              Custom("name", Form::kValue, kReq, kNo),
              Custom("newName", Form::kValue, kNo, kOpt),
              Custom("description", Form::kValue, kOpt, kOpt),
              Choice({{"product", Form::kValue}, {"productInfo", Form::kAttribute}}, kReq, kNo),
              Custom("model", Form::kValue, kReq, kNo),
              Custom("class", Form::kValue, kReq, kNo),
              Custom("protocol", Form::kValue, kReq, kOpt),
              Custom("protocolSide", Form::kValue, kReq, kOpt),
              // In an update every callingSearchSpace... element ending in "e" is a name.
              Choice({{"callingSearchSpace", Form::kUuid, kInAdd},
                      {"callingSearchSpace", Form::kName, kInUpdate},
                      {"callingSearchSpaceId", Form::kId, kInUpdate},
                      {"callingSearchSpaceName", Form::kName}},
                     kOpt, kOpt),
              Choice(UuidIdOrName("devicePool", "devicePoolId", "devicePoolName"), kOpt, kOpt),
          },
          DeviceReferenceRows(),
          {
              // The device settings (ReadDeviceSettings).
              Optional("loadInformation", Kind::kText, Cols::kSpecialLoadInformation, kOpt, kOpt),
              Optional("vendorConfig", Kind::kText, Cols::kXML, kOpt, kOpt),
              Optional("versionStamp", Kind::kSkipped, -1, kOpt, kNo),
              WithEmpty(Optional("traceFlag", Kind::kBoolean, Cols::kDeviceLevelTraceFlag, kOpt, kOpt),
                        IfEmpty::kMustContain, IfEmpty::kThenMustHave),
              Optional("associatedPC", Kind::kText, Cols::kAssociatedPC, kOpt, kOpt),
              Custom("lines", Form::kChildren, kOpt, kOpt),
              Custom("numberOfButtons", Form::kValue, kOpt, kNo),
              Choice({{"phoneTemplateId", Form::kId},
                      {"phoneTemplate", Form::kUuid},
                      {"phoneTemplateName", Form::kName}},
                     kOpt, kOpt),
              Custom("ringSetting", Form::kValue, kNo, kOpt),
              Custom("speeddials", Form::kChildren, kOpt, kOpt),
              Custom("addOnModules", Form::kChildren, kOpt, kOpt),
              // The phone-service settings (ReadPhoneServiceSettings).
              Optional("idleTimeout", Kind::kNumber, Settings::kIdleTimeout, kOpt, kOpt),
              Optional("authenticationURL", Kind::kText, Settings::kAuthenticationURL, kOpt, kOpt),
              Optional("directoryURL", Kind::kText, Settings::kDirectoryServicesURL2, kOpt, kOpt),
              Optional("idleURL", Kind::kText, Settings::kIdleURL, kOpt, kOpt),
              Optional("informationURL", Kind::kText, Settings::kDirectoryServicesURL1, kOpt, kOpt),
              Optional("messagesURL", Kind::kText, Settings::kVoiceMailURL1, kOpt, kOpt),
              Optional("proxyServerURL", Kind::kText, Settings::kProxyURL, kOpt, kOpt),
              Optional("servicesURL", Kind::kText, Settings::kVoiceMailURL2, kOpt, kOpt),
              Custom("services", Form::kChildren, kOpt, kOpt),
              Choice(UuidIdOrName("softkeyTemplate", "softkeyTemplateId", "softkeyTemplateName"), kOpt, kOpt),
              Choice(UuidIdOrName("defaultProfile", "defaultProfileId", "defaultProfileName"), kOpt, kOpt),
              Custom("enableExtensionMobility", Form::kValue, Presence::kWithPrevious, kOpt),
          }})};

namespace {

// Writes the device and the rows that hang off it as one unit: a phone never exists without
// the line appearances its request asked for.
void WriteDevice(zdl::CZDLSession& session, zdl::CDeviceList& devices, DeviceChildren& children) {
  zdl::CZDLTransaction transaction(session);
  devices.Update();
  children.Update();
  transaction.Commit();
}

}  // namespace

const AddReference kAddReferences[kDeviceReferenceCount] = {
    {"callingSearchSpace", "callingSearchSpaceId",
     "Deprecated element. Please use <callingSearchSpace> or <callingSearchSpaceName.", "callingSearchSpaceName",
     nullptr, "Calling search space not found.", FindIdByName<zdl::CCallingSearchSpaceList>,
     Cols::kCallingSearchSpaceID},
    {"devicePool", "devicePoolId", "Deprecated element. Please use <devicePool> or <devicePoolName.",
     "devicePoolName", "The element, <devicePoolName>, must contain a value.", "Device Pool not found.",
     FindIdByName<zdl::CDevicePoolList>, Cols::kDevicePoolID},
    {"location", "locationId", "Deprecated element. Please use <location> or <locationName>.", "locationName",
     nullptr, "Location not found.", FindIdByName<zdl::CLocationList>, Cols::kLocationID},
    {"mediaResourceList", "mediaResourceListId",
     "Deprecated element. Please use <mediaResourceList> or <mediaResourceListName>.", "mediaResourceListName",
     nullptr, "Media Resource List not found.", FindIdByName<zdl::CMediaResourceListList>,
     Cols::kMediaResourceListID},
    {"automatedAlternateRoutingCSS", nullptr, nullptr, "automatedAlternateRoutingCSSName", nullptr,
     "AAR Calling search space not found.", FindIdByName<zdl::CCallingSearchSpaceList>,
     Cols::kAARCallingSearchSpaceID},
    {"aarNeighborhood", nullptr, nullptr, "aarNeighborhoodName",
     "The element, <aarNeighborhoodName> must contain a value.", "AAR Neighborhood not found.",
     FindIdByName<zdl::CAARNeighborhoodList>, Cols::kAARNeighborhoodID},
};

const UpdateReference kUpdateReferences[kDeviceReferenceCount - 1] = {
    {"devicePool", "devicePoolId", "devicePoolName", "Device Pool not found.", FindIdByName<zdl::CDevicePoolList>,
     Cols::kDevicePoolID},
    {"location", "locationId", "locationName", "Location not found.", FindIdByName<zdl::CLocationList>,
     Cols::kLocationID},
    {"mediaResourceList", "mediaResourceListId", "mediaResourceListName", "Media Resource List not found.",
     FindIdByName<zdl::CMediaResourceListList>, Cols::kMediaResourceListID},
    {"automatedAlternateRoutingCSS", "automatedAlternateRoutingCSSId", "automatedAlternateRoutingCSSName",
     "AAR Calling Search Space not found.", FindIdByName<zdl::CCallingSearchSpaceList>,
     Cols::kAARCallingSearchSpaceID},
    {"aarNeighborhood", "aarNeighborhoodId", "aarNeighborhoodName", "AAR Neighborhood not found.",
     FindIdByName<zdl::CAARNeighborhoodList>, Cols::kAARNeighborhoodID},
};

const Identification kIdentifyDevice{"Found NULL, expecting <name> or <uuid>", "<uuid> or <name>", "name",
                                     ValueWording::kThenMustHave, "uuid", ValueWording::kThenMustHave,
                                     "Device not found."};

// The device profile of that name: exactly one device, of the device profile class.
zdl::CZDLID FindDefaultProfile(zdl::CZDLSession& session, const std::string& name, const std::string& notFound) {
  zdl::CDeviceList devices(session);
  devices.SelectByName(name);
  if (devices.Count() != 1) ThrowNotFound(notFound);
  if (devices.GetCurrentItem()->GetClass() != zdl::kClassDeviceProfile) ThrowNotFound(kNotAProfile);
  return devices.GetCurrentItem()->GetID();
}

const UpdateReference kUpdatePhoneTemplate = {"phoneTemplate", "phoneTemplateId", "phoneTemplateName",
                                              "Phone Template not found.", FindIdByName<zdl::CPhoneTemplateList>,
                                              Cols::kPhoneTemplateID};
const UpdateReference kUpdateSoftkeyTemplate = {"softkeyTemplate", "softkeyTemplateId", "softkeyTemplateName",
                                                "Softkey Template not found.", FindSoftkeyTemplateByExactName,
                                                Cols::kSoftkeyTemplateID};

zdl::CZDLID FindSoftkeyTemplateByExactName(zdl::CZDLSession& session, const std::string& name,
                                           const std::string& notFound) {
  zdl::CSoftkeyTemplateList templates(session);
  templates.SelectByName(name);
  for (; !templates.IsEOF(); templates.MoveNext()) {
    if (templates.GetCurrentItem()->GetName() == name) return templates.GetCurrentItem()->GetID();
  }
  ThrowNotFound(notFound);
}

void ReadDeviceSettings(ElementCursor& cursor, zdl::CDevice& device, bool isUpdate, AssociatedPC associatedPC) {
  ReadValues(cursor, kPhoneElements, isUpdate ? Shape::kUpdate : Shape::kAdd, "loadInformation", device,
             associatedPC == AssociatedPC::kRead ? "associatedPC" : "traceFlag");
}

// --- addPhone ---

void CPhoneHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newPhone>");
  zdl::CDeviceList devices(db());
  auto device = devices.Insert();
  const zdl::CZDLID id = device->GetID();
  DeviceChildren children(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  ReadIdentity(cursor, *device);
  for (const AddReference& reference : kAddReferences) ReadAddReference(db(), cursor, *device, reference);
  ReadDeviceSettings(cursor, *device, false, AssociatedPC::kRead);
  ReadLines(cursor, *device, children);
  ReadServices(cursor, id, children);
  ReadTemplatesAndProfile(cursor, *device);
  cursor.RequireEnd();

  WriteDevice(db(), devices, children);
  Return(result, id);
}

void CPhoneHandler::ReadIdentity(ElementCursor& cursor, zdl::CDevice& device) {
  device.PutName(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <description> or <product>");
  if (cursor.Is("description")) {
    if (auto value = ValueOf(cursor.node())) device.PutDescription(*value);
    cursor.Advance();
  }
  ReadProduct(cursor, device);
  cursor.Expect("model", "<model>", "NULL element found. Expecting <model>");
  cursor.Advance();
  cursor.Expect("class", "<class>", "NULL element found. Expecting <class>");
  cursor.Advance();
  cursor.Expect("protocol", "<protocol>", "NULL element found. Expecting <protocol>");
  device.PutDeviceProtocol(
      TypeEnum(db(), "TypeDeviceProtocol", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  cursor.Expect("protocolSide", "<protocolSide>", "NULL element found. Expecting <protocolSide>");
  device.PutProtocolSide(TypeEnum(db(), "TypeProtocolSide", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
}

void CPhoneHandler::ReadProduct(ElementCursor& cursor, zdl::CDevice& device) {
  cursor.RequireNotNull("NULL element found. Expecting <product>");
  if (cursor.Is("product")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    const long product = FindTypeEnum(db(), "TypeProduct", name).value_or(zdl::kProductUnknown);
    if (product == zdl::kProductUnknown) throw CInvalidValueException("Unkown product type specified: " + name);
    device.PutProduct(product);
  } else if (cursor.Is("productInfo")) {
    const std::string name = RequireAttribute(cursor.node(), "name");
    device.PutProduct(FindTypeEnum(db(), "TypeProduct", name).value_or(zdl::kProductUnknown));
  } else {
    cursor.ThrowFound("<product> or <productInfo>");
  }
  cursor.Advance();
}

void CPhoneHandler::ReadLines(ElementCursor& cursor, zdl::CDevice& device, DeviceChildren& children) {
  const zdl::CZDLID id = device.GetID();
  if (cursor.Is("lines")) {
    RequireNoLineAppearances(db(), id);
    zeb::ReadLines(db(), cursor.node().FirstElementChild(), id, children.lines, LineRules());
    cursor.Advance();
  }
  if (cursor.Is("numberOfButtons")) cursor.Advance();
  if (cursor.Is("phoneTemplateId")) {
    device.PutPhoneTemplateID(ParseID(ValueOrEmpty(cursor.node())));
    cursor.Advance();
  } else {
    ReadAddReference(db(), cursor, device, kAddPhoneTemplate);
  }
  if (cursor.Is("speeddials")) {
    ReadSpeeddials(cursor.node(), id, children.speeddials);
    cursor.Advance();
  }
  if (cursor.Is("addOnModules")) {
    ReadAddOnModules(cursor.node(), id, children.addOnModules);
    cursor.Advance();
  }
}

void CPhoneHandler::ReadServices(ElementCursor& cursor, const zdl::CZDLID& id, DeviceChildren& children) {
  ReadValues(cursor, kPhoneElements, Shape::kAdd, "idleTimeout", *SettingsOf(children.settings, id, true));
  if (cursor.Is("services")) {
    ReadSubscribedServices(db(), cursor.node(), id, children.services);
    cursor.Advance();
  }
}

void CPhoneHandler::ReadTemplatesAndProfile(ElementCursor& cursor, zdl::CDevice& device) {
  ReadAddReference(db(), cursor, device, kAddSoftkeyTemplate);
  const bool hasProfile = cursor.Is("defaultProfile") || cursor.Is("defaultProfileName");
  if (cursor.Is("defaultProfile")) {
    const zdl::CZDLID profile = ParseID(RequireAttribute(cursor.node(), "uuid"));
    RequireProfileClass(db(), profile);
    device.PutDeviceDefaultProfileID(profile);
    cursor.Advance();
  } else if (cursor.Is("defaultProfileName")) {
    device.PutDeviceDefaultProfileID(FindDefaultProfile(db(), ValueOrEmpty(cursor.node()), "Device Profile not found."));
    cursor.Advance();
  }
  if (hasProfile) {
    cursor.Expect("enableExtensionMobility", "<enableExtensionMobility>",
                  "NULL element found. Expecting <enableExtensionMobility>.");
  }
  ReadExtensionMobility(cursor, device);
}

// --- updatePhone ---

void CPhoneHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices, kIdentifyDevice);
  auto device = devices.GetCurrentItem();
  DeviceChildren children(db());

  if (cursor.Is("newName")) {
    device->PutName(RequireValue(cursor.node(), ValueWording::kThenMustHave));
    cursor.Advance();
  }
  if (cursor.Is("description")) {
    device->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  // The protocol cannot be changed; the elements are accepted and ignored.
  if (cursor.Is("protocol")) cursor.Advance();
  if (cursor.Is("protocolSide")) cursor.Advance();
  ReadUpdateReferences(cursor, *device);
  ReadDeviceSettings(cursor, *device, true, AssociatedPC::kRead);
  ReadUpdateLists(cursor, *device, children);
  ReadUpdateTemplatesAndProfile(cursor, *device);
  cursor.RequireEnd();

  WriteDevice(db(), devices, children);
  Return(result, device->GetID());
}

void CPhoneHandler::ReadUpdateReferences(ElementCursor& cursor, zdl::CDevice& device) {
  // Any element named callingSearchSpace...: one ending in 'd' carries the identifier, one
  // ending in 'e' (callingSearchSpace itself included) the name.
  const std::string name = cursor.AtEnd() ? "" : cursor.node().LocalName();
  if (name.rfind("callingSearchSpace", 0) == 0 && (name.back() == 'd' || name.back() == 'e')) {
    const std::string value = ValueOrEmpty(cursor.node());
    zdl::CZDLID css;
    if (name.back() == 'd') {
      css = ParseID(value);
    } else if (!value.empty()) {
      css = FindIdByName<zdl::CCallingSearchSpaceList>(db(), value, "Calling Search Space not found.");
    }
    device.PutCallingSearchSpaceID(css);
    cursor.Advance();
  }
  for (const UpdateReference& reference : kUpdateReferences) ReadUpdateReference(db(), cursor, device, reference);
}

void CPhoneHandler::ReadUpdateLists(ElementCursor& cursor, zdl::CDevice& device, DeviceChildren& children) {
  const zdl::CZDLID id = device.GetID();
  if (cursor.Is("lines")) {
    ReplaceLines(db(), cursor.node(), id, children.lines, LineRules{false, true, false});
    cursor.Advance();
  }
  ReadUpdateReference(db(), cursor, device, kUpdatePhoneTemplate);
  if (cursor.Is("ringSetting")) {
    device.PutRingSetting(TypeEnum(db(), "TypeRingSetting", RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
  ReplaceSpeeddialsAndModules(cursor, id, children);
  if (AtValues(cursor, kPhoneElements, Shape::kUpdate, "idleTimeout")) {
    ReadValues(cursor, kPhoneElements, Shape::kUpdate, "idleTimeout",
               *SettingsOf(children.settings, id, false));
  }
  if (cursor.Is("services")) {
    ReadSubscribedServices(db(), cursor.node(), id, children.services);
    cursor.Advance();
  }
}

void CPhoneHandler::ReadUpdateTemplatesAndProfile(ElementCursor& cursor, zdl::CDevice& device) {
  ReadUpdateReference(db(), cursor, device, kUpdateSoftkeyTemplate);
  if (cursor.Is("defaultProfile")) {
    // Without its attribute the element leaves the default profile as it is.
    if (auto uuid = AttributeOf(cursor.node(), "uuid")) {
      RequireProfileClass(db(), ParseID(*uuid));
      device.PutDeviceDefaultProfileID(ParseID(*uuid));
    }
    cursor.Advance();
  } else if (cursor.Is("defaultProfileId")) {
    const zdl::CZDLID profile = ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
    RequireProfileClass(db(), profile);
    device.PutDeviceDefaultProfileID(profile);
    cursor.Advance();
  } else if (cursor.Is("defaultProfileName")) {
    device.PutDeviceDefaultProfileID(FindDefaultProfile(
        db(), RequireValue(cursor.node(), ValueWording::kMustContain), "Device Profile not found."));
    cursor.Advance();
  }
  ReadExtensionMobility(cursor, device);
}

// --- getPhone ---

void CPhoneHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.RequireNotNull("NULL element found.  Expecting a device Id or Name.");
  CXMLElement holder;
  auto* phone = holder.AddNewChild<CXMLIPPhone>();
  if (cursor.Is("phoneId")) {
    const zdl::CZDLID id = ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
    phone->BuildFromDatabase(db(), id, RenderMode::kNames, context().versionStamp);
  } else if (cursor.Is("phoneName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    // The phone and what its element reads, in one round trip where the back end can.
    zdl::CZDLReadAhead ahead(db());
    const bool pipelined = db().pipelinesReads();
    if (pipelined) {
      CXMLIPPhone::ReadAheadByName(ahead, db(), name, RenderMode::kNames);
      ahead.Run();
    }
    zdl::CFastAccess device(db(), "Device");
    device.SelectCustom(CXMLIPPhone::ByNameSql(db()), {name});
    if (device.IsEOF()) ThrowNotFound("The specified phone was not found.");
    if (pipelined) CXMLIPPhone::CoverFound(ahead, device.getID("pkid"), RenderMode::kNames);
    phone->BuildFromRow(db(), device, RenderMode::kNames, context().versionStamp);
  } else {
    cursor.ThrowFound("<phoneName> or <phoneId>.");
  }
  ReturnChildren(result, holder);
}

}  // namespace zeb
