#include "handlers/system/DevicePoolHandler.h"

#include "builders/CXMLDevicePool.h"
#include "handlers/ElementTables.h"

namespace zeb {

namespace {

const char kMoreComma[] = "NULL element found, expecting more elements.";
const char kMoreStop[] = "NULL element found. Expecting more elements.";
const char kNotFound[] = "The specified Device Pool was not found.";

Identification PoolIdentification(FamilyOperation operation) {
  return FamilyIdentification(operation, "Device Pool not found.", kNotFound);
}

// One record a pool refers to. Adding names it as <element uuid="..."> or <nameElement>; updating
// as <element>Id holding the identifier, or <nameElement>.
struct PoolReference {
  const char* element;
  const char* nameElement;
  bool optional;         // may be left out when adding; an empty update value clears it
  const char* nullText;  // thrown when an add request ends before this position
  const char* notFound;
  NameLookup find;
  void (zdl::CDevicePool::*put)(const zdl::CZDLID&);

  std::string Expected() const { return std::string("<") + element + "> or <" + nameElement + ">"; }
  std::string IdElement() const { return std::string(element) + "Id"; }
};

using Pool = zdl::CDevicePool;
const PoolReference kAutoSearchSpace{"autoSearchSpace",
                                     "autoSearchSpaceName",
                                     true,
                                     kMoreComma,
                                     "Calling Search Space not found.",
                                     &FindIdByName<zdl::CCallingSearchSpaceList>,
                                     &Pool::PutCallingSearchSpaceIDForAutoregistration};
const PoolReference kDateTimeSetting{
    "dateTimeSetting",
    "dateTimeSettingName",
    false,
    "NULL element found, expecting <dateTimeSetting> or <dateTimeSettingName>.",
    "DateTimeSetting not found.",
    &FindIdByName<zdl::CDateTimeSettingList>,
    &Pool::PutDateTimeSettingID};
const PoolReference kDialcoreGroup{"dialcoreGroup",
                                   "dialcoreGroupName",
                                   false,
                                   "NULL element found, expecting <dialcoreGroup> or <dialcoreGroupName>.",
                                   "Dialcore Group not found.",
                                   &FindIdByName<zdl::CDialcoreGroupList>,
                                   &Pool::PutDialcoreGroupID};
const PoolReference kMediaResourceList{"mediaResourceList",
                                       "mediaResourceListName",
                                       true,
                                       kMoreComma,
                                       "Media Resource List not found.",
                                       &FindIdByName<zdl::CMediaResourceListList>,
                                       &Pool::PutMediaResourceListID};
const PoolReference kRegion{"region",
                            "regionName",
                            false,
                            "NULL element found, expecting <region> or <regionName>.",
                            "Region not found.",
                            &FindIdByName<zdl::CRegionList>,
                            &Pool::PutRegionID};
const PoolReference kSoftkeyTemplate{
    "softkeyTemplate",
    "softkeyTemplateName",
    false,
    "NULL element found, expecting <softkeyTemplate> or <softkeyTemplateName>.",
    "Softkey Template not found.",
    &FindIdByName<zdl::CSoftkeyTemplateList>,
    &Pool::PutSoftkeyTemplateID};
const PoolReference kHaven{"havenInfo",
                           "havenName",
                           false,
                           "NULL element found. Expecting <havenInfo>.",
                           "Haven Reference not found.",
                           &FindIdByName<zdl::CHavenList>,
                           &Pool::PutHavenID};

// The reference at an add position: required ones must be there; an optional one that is absent,
// or named by an empty name element, stores nothing.
void ReadAddedReference(zdl::CZDLSession& session, ElementCursor& cursor, Pool& pool,
                        const PoolReference& ref) {
  cursor.RequireNotNull(ref.nullText);
  if (!cursor.Is(ref.element) && !cursor.Is(ref.nameElement)) {
    if (ref.optional) return;
    cursor.ThrowFound(ref.Expected());
  }
  if (!ref.optional || cursor.Is(ref.element) || ValueOf(cursor.node())) {
    (pool.*ref.put)(ReadReference(session, cursor.node(), ref.nameElement, ref.find, ref.notFound));
  }
  cursor.Advance();
}

// The reference at an update position, when the element there is one of its two forms.
void ReadUpdatedReference(zdl::CZDLSession& session, ElementCursor& cursor, Pool& pool,
                          const PoolReference& ref) {
  const bool byId = cursor.Is(ref.IdElement().c_str());
  if (!byId && !cursor.Is(ref.nameElement)) return;
  const auto value = ValueOf(cursor.node());
  if (!value && !ref.optional)
    throw CInvalidValueException(MissingValueText(cursor.node().LocalName(), ValueWording::kThenMustHave));
  if (!value) {
    (pool.*ref.put)(zdl::CZDLID::NULLID());
  } else {
    (pool.*ref.put)(byId ? ParseID(*value) : ref.find(session, *value, ref.notFound));
  }
  cursor.Advance();
}

// A reference of a pool: adding by "uuid" or name, updating by identifier or name.
std::vector<ElementForm> PoolForms(const char* element, const char* idElement, const char* nameElement) {
  return {{element, Form::kUuid, kInAdd}, {idElement, Form::kId, kInUpdate}, {nameElement, Form::kName}};
}

}  // namespace

const ElementTable kDevicePoolElements = {
    "addDevicePool", "updateDevicePool", "getDevicePool",
    Join({NamedRecordRows(zdl::DevicePoolCols::kName),
          {
              Choice(PoolForms("autoSearchSpace", "autoSearchSpaceId", "autoSearchSpaceName"), kOpt, kOpt),
              Choice(PoolForms("dateTimeSetting", "dateTimeSettingId", "dateTimeSettingName"), kReq, kOpt),
              Choice(PoolForms("dialcoreGroup", "dialcoreGroupId", "dialcoreGroupName"), kReq, kOpt),
              Choice(PoolForms("mediaResourceList", "mediaResourceListId", "mediaResourceListName"), kOpt,
                     kOpt),
              Choice(PoolForms("region", "regionId", "regionName"), kReq, kOpt),
              Choice(PoolForms("softkeyTemplate", "softkeyTemplateId", "softkeyTemplateName"), kReq, kOpt),
              Custom("networkLocale", Form::kValue, kOpt, kOpt),
              Custom("userLocale", Form::kValue, kOpt, kOpt),
              Custom("networkHoldMOHAudioSourceId", Form::kValue, kOpt, kOpt),
              Custom("userHoldMOHAudioSourceId", Form::kValue, kOpt, kOpt),
              Choice(PoolForms("havenInfo", "havenInfoId", "havenName"), kReq, kOpt),
          }})};

void CDevicePoolHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <devicePool>");
  zdl::CDevicePoolList list(db());
  auto pool = list.Insert();

  ElementCursor cursor = wrapper.EnterCurrent();
  pool->PutName(ReadAddName(cursor));
  for (const PoolReference* ref : {&kAutoSearchSpace, &kDateTimeSetting, &kDialcoreGroup, &kMediaResourceList,
                                   &kRegion, &kSoftkeyTemplate}) {
    ReadAddedReference(db(), cursor, *pool, *ref);
  }
  ReadLocales(cursor, *pool, true);
  ReadHoldAudioSources(cursor, *pool, true);
  ReadAddedReference(db(), cursor, *pool, kHaven);

  list.Update();
  Return(result, pool->GetID());
}

void CDevicePoolHandler::ReadLocales(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding) {
  // Adding, an empty locale stores nothing; updating, it sets the enumeration number 0.
  auto locale = [&](const char* element, const char* nullText, const char* table, void (Pool::*put)(long)) {
    if (adding) cursor.RequireNotNull(nullText);
    if (!cursor.Is(element)) return;
    if (auto value = ValueOf(cursor.node())) {
      (pool.*put)(TypeEnum(db(), table, *value));
    } else if (!adding) {
      (pool.*put)(0);
    }
    cursor.Advance();
  };
  locale("networkLocale", kMoreComma, "TypeCountry", &Pool::PutNetworkLocale);
  locale("userLocale", kMoreStop, "TypeUserLocale", &Pool::PutUserLocale);
}

void CDevicePoolHandler::ReadHoldAudioSources(ElementCursor& cursor, zdl::CDevicePool& pool, bool adding) {
  auto source = [&](const char* element, void (Pool::*put)(long)) {
    if (adding) cursor.RequireNotNull(kMoreStop);
    if (!cursor.Is(element)) return;
    (pool.*put)(ParseLong(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  };
  source("networkHoldMOHAudioSourceId", &Pool::PutHoldPartyNetworkHoldMOHAudioSourceID);
  source("userHoldMOHAudioSourceId", &Pool::PutHoldPartyUserHoldMOHAudioSourceID);
}

void CDevicePoolHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDevicePoolList list(db());
  Identify(cursor, list, PoolIdentification(FamilyOperation::kUpdate));
  auto pool = list.GetCurrentItem();
  ReadValues(cursor, kDevicePoolElements, Shape::kUpdate, "newName", *pool);
  for (const PoolReference* ref : {&kAutoSearchSpace, &kDateTimeSetting, &kDialcoreGroup, &kMediaResourceList,
                                   &kRegion, &kSoftkeyTemplate}) {
    ReadUpdatedReference(db(), cursor, *pool, *ref);
  }
  ReadLocales(cursor, *pool, false);
  ReadHoldAudioSources(cursor, *pool, false);
  ReadUpdatedReference(db(), cursor, *pool, kHaven);

  list.Update();
  Return(result, pool->GetID());
}

void CDevicePoolHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result,
         RemoveIdentified<zdl::CDevicePoolList>(db(), cursor, PoolIdentification(FamilyOperation::kRemove)));
}

void CDevicePoolHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDevicePoolList list(db());
  Identify(cursor, list, PoolIdentification(FamilyOperation::kGet));
  // The builder does not read the pool again.
  zdl::CZDLReadAhead known(db());
  known.Know(*list.GetCurrentItem());
  CXMLElement holder;
  holder.AddNewChild<CXMLDevicePool>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                          RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
