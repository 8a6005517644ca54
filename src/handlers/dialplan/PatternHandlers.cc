#include "handlers/dialplan/PatternHandlers.h"

#include "builders/CXMLNPPattern.h"
#include "handlers/ElementTables.h"
#include "handlers/dialplan/NumPlanLookup.h"
#include "zdl/CZDLReadAhead.h"

namespace zeb {

const PatternKind kTranslationPattern{zdl::kUsageTranslation,
                                      "Translation Pattern not found.",
                                      "The specified tranlsation pattern was not found.",
                                      "The specified translation pattern was not found.",
                                      "The NumPlan specified is not a Translation Pattern."};
const PatternKind kRoutePattern{zdl::kUsageRoute,
                                "Route Pattern not found.",
                                "The specified route pattern was not found.",
                                "The specified Route Pattern was not found.",
                                "The NumPlan specified is not a Route Pattern."};

bool PatternKind::IsRoute() const { return usage == zdl::kUsageRoute; }

namespace {

// A destination device in the forms "gateway" (uuid), "gatewayName" and "gatewayId", and the
// same for "routeList".
struct DeviceForms {
  const char* element;
  const char* nameElement;
  const char* idElement;
  const char* notFound;
  const char* deprecated;
};

const DeviceForms kDestinationForms[] = {
    {"gateway", "gatewayName", "gatewayId", "Gateway not found.",
     "Deprecated element <gatewayId>. Please use <gateway> or <gatewayName>."},
    {"routeList", "routeListName", "routeListId", "Route List not found.",
     "Deprecated element <routeListId>. Please use <routeList> or <routeListName>."},
};

// The device the first child of "destination" names. With idAccepted (update methods) the "Id"
// forms hold the device's identifier instead of being refused.
zdl::CZDLID ReadDestinationDevice(const ElementCursor& cursor, zdl::CZDLSession& session, bool idAccepted) {
  for (const DeviceForms& forms : kDestinationForms) {
    if (cursor.Is(forms.element)) return ParseID(RequireAttribute(cursor.node(), "uuid"));
    if (cursor.Is(forms.nameElement)) {
      return FindIdByName<zdl::CDeviceList>(session, RequireValue(cursor.node(), ValueWording::kMustContain),
                                            forms.notFound);
    }
    if (cursor.Is(forms.idElement)) {
      if (!idAccepted) throw CUnexpectedNodeException(forms.deprecated);
      return ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
    }
  }
  cursor.ThrowFound("<gateway> or <routeList>");
}

// Adds to maps the map from pattern to the device the "destination" element names.
void ReadDestinationMap(XmlNode destination, zdl::CZDLSession& session, zdl::CDeviceNumPlanMapList& maps,
                        const zdl::CZDLID& pattern, const std::string& nullText, bool idAccepted) {
  ElementCursor cursor = ElementCursor::Enter(destination);
  cursor.RequireNotNull(nullText);
  auto map = maps.Insert();
  map->PutNumPlanID(pattern);
  map->PutRingSetting(0);
  map->PutNumPlanIndex(0);
  map->PutDeviceID(ReadDestinationDevice(cursor, session, idAccepted));
}

// A required position of the add order holding a plain value (positions 5 to 16).
void Required(ElementCursor& cursor, const char* name,
              const std::function<void(const std::string&)>& withValue) {
  RequiredValue(cursor, name, std::string("NULL element found, expecting <") + name + ">", withValue);
}

// An optional element of the add order whose value, when it has one, is stored.
void OptionalText(ElementCursor& cursor, const char* name,
                  const std::function<void(const std::string&)>& store) {
  OptionalElement(cursor, name, [&](XmlNode element) {
    if (auto value = ValueOf(element)) store(*value);
  });
}

// An optional element of the update order whose value must be there.
void OptionalRequiredValue(ElementCursor& cursor, const char* name,
                           const std::function<void(const std::string&)>& store) {
  OptionalElement(cursor, name,
                  [&](XmlNode element) { store(RequireValue(element, ValueWording::kMustHave)); });
}

}  // namespace

// --- the shared lookup ---

void CPatternHandler::LookupPattern(ElementCursor& cursor, zdl::CNumPlanList& list,
                                    const std::string& nullText) {
  IdentifyNumPlan(cursor, db(), list, {nullText, false, true});
}

void CPatternHandler::SelectPattern(ElementCursor& cursor, zdl::CNumPlanList& list,
                                    const std::string& nullText, const std::string& notFound) {
  LookupPattern(cursor, list, nullText);
  RequireNumPlan(list, kind_.usage, notFound, kind_.wrongUsage);
}

// --- add ---

namespace {

// The rows of a new pattern up to its tail, which differs between the kinds.
std::vector<ElementRow> NewPatternRows(std::vector<ElementRow> tail) {
  return Join(
      {{
           Custom("pattern", Form::kValue, kReq, kNo),
           Custom("description", Form::kValue, kOpt, kNo),
           Custom("usage", Form::kValue, kReq, kNo),
           Choice({{"routePartition", Form::kUuid}, {"routePartitionName", Form::kName}}, kOpt, kNo),
           Custom("blockEnable", Form::kValue, kReq, kNo),
           Custom("calledPartyTransformationMask", Form::kValue, kReq, kNo),
           Custom("callingPartyTransformationMask", Form::kValue, kReq, kNo),
           Custom("useCallingPartyPhoneMask", Form::kValue, kReq, kNo),
           Choice({{"dialPlan", Form::kUuid}, {"dialPlanName", Form::kName}}, kReq, kNo),
           Custom("dialPlanWizardGenId", Form::kValue, kReq, kNo),
           Choice({{"digitDiscardInstruction", Form::kUuid}, {"digitDiscardInstructionName", Form::kName}},
                  kReq, kNo),
           Custom("messageWaiting", Form::kValue, kReq, kNo),
           Custom("networkLocation", Form::kValue, kReq, kNo),
           Custom("patternUrgency", Form::kValue, kReq, kNo),
           Custom("prefixDigitsOut", Form::kValue, kReq, kNo),
           Choice({{"routeFilter", Form::kUuid}, {"routeFilterName", Form::kName}}, kReq, kNo),
       },
       tail});
}

}  // namespace

// The get and update requests name a pattern by "uuid" or by pattern, partition and filter, a
// choice the rows do not declare yet.
const ElementTable kTransPatternElements = {
    "addTransPattern", nullptr, nullptr,
    NewPatternRows(
        {Choice({{"callingSearchSpace", Form::kUuid}, {"callingSearchSpaceName", Form::kName}}, kReq, kNo)})};
const ElementTable kRoutePatternElements = {
    "addRoutePattern", nullptr, nullptr,
    NewPatternRows({Custom("destination", Form::kChildren, kReq, kNo),
                    Custom("withTag", Form::kValue, kOpt, kNo),
                    Custom("withValueClause", Form::kValue, kOpt, kNo)})};

void CPatternHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newPattern>");
  zdl::CNumPlanList list(db());
  auto pattern = list.Insert();
  pattern->PutPatternUsageType(kind().usage);
  zdl::CDeviceNumPlanMapList maps(db());
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <pattern>");
  ReadAddHead(cursor, *pattern);
  ReadAddRouting(cursor, *pattern);
  if (kind().IsRoute()) {
    ReadRouteTail(cursor, *pattern, maps);
  } else {
    ReadTranslationTail(cursor, *pattern);
  }
  // The pattern and its destination are one unit: a refused map leaves no pattern behind.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (maps.Count() > 0) maps.Update();
  transaction.Commit();
  Return(result, pattern->GetID());
}

void CPatternHandler::ReadAddHead(ElementCursor& cursor, zdl::CNumPlan& pattern) {
  if (!cursor.Is("pattern")) cursor.ThrowFound("<pattern>");
  if (kind().IsRoute()) {
    pattern.PutDNOrPattern(RequireValue(cursor.node(), ValueWording::kMustHave));
  } else if (auto value = ValueOf(cursor.node())) {
    pattern.PutDNOrPattern(*value);
  }
  cursor.Advance();
  cursor.RequireNotNull("NULL element found, expecting more elements");
  OptionalElement(cursor, "description", [&](XmlNode element) {
    pattern.PutDescription(RequireValue(element, ValueWording::kMustContain));
  });
  RequiredValue(cursor, "usage", "NULL element found. Expecting <usage>", [](const std::string&) {});
  cursor.RequireNotNull("NULL element found, expecting <routePartitionId>");
  ReadOptionalPartition(cursor, db(), pattern);
}

void CPatternHandler::ReadAddRouting(ElementCursor& cursor, zdl::CNumPlan& pattern) {
  zdl::CZDLSession& session = db();
  Required(cursor, "blockEnable", [&](const std::string& v) { pattern.PutBlockEnable(ParseBoolean(v)); });
  Required(cursor, "calledPartyTransformationMask",
           [&](const std::string& v) { pattern.PutCalledPartyTransformationMask(v); });
  Required(cursor, "callingPartyTransformationMask",
           [&](const std::string& v) { pattern.PutCallingPartyTransformationMask(v); });
  Required(cursor, "useCallingPartyPhoneMask", [&](const std::string& v) {
    pattern.PutUseFullyQualifiedCallingPartyNumber(TypeEnum(session, "TypeStatus", v));
  });
  RequiredAddReference<zdl::CDialPlanList>(
      cursor, session,
      {"dialPlan", "Deprecated element <dialPlanId>. Please use <dialPlan> or <dialPlanName>.",
       "Dial Plan not found."},
      [&](const zdl::CZDLID& id) { pattern.PutDialPlanID(id); });
  Required(cursor, "dialPlanWizardGenId", [](const std::string&) {});
  RequiredAddReference<zdl::CDigitDiscardInstructionList>(
      cursor, session,
      {"digitDiscardInstruction",
       "Deprecated element <digitDiscardInstructionId>. Please use <digitDiscardInstruction> or "
       "<digitDiscardInstructionName>.",
       "DigitDiscardInstruction not found."},
      [&](const zdl::CZDLID& id) { pattern.PutDigitDiscardInstructionID(id); });
  Required(cursor, "messageWaiting", [&](const std::string& v) {
    pattern.PutMsgWaitingLamp(TypeEnum(session, "TypeLampBlinkRate", v));
  });
  Required(cursor, "networkLocation", [&](const std::string& v) {
    pattern.PutNetworkLocation(TypeEnum(session, "TypeNetworkLocation", v));
  });
  Required(cursor, "patternUrgency", [&](const std::string& v) { pattern.PutIsUrgent(ParseBoolean(v)); });
  Required(cursor, "prefixDigitsOut", [&](const std::string& v) { pattern.PutPrefixDigitsOut(v); });
  RequiredAddReference<zdl::CRouteFilterList>(
      cursor, session,
      {"routeFilter", "Deprecated element <routeFilterId>. Please use <routeFilter> or <routeFilterName>.",
       "RouteFilter not found."},
      [&](const zdl::CZDLID& id) { pattern.PutRouteFilterID(id); });
}

void CPatternHandler::ReadTranslationTail(ElementCursor& cursor, zdl::CNumPlan& pattern) {
  RequiredAddReference<zdl::CCallingSearchSpaceList>(
      cursor, db(),
      {"callingSearchSpace",
       "Deprecated element <callingSearchSpaceId>. Please use <callingSearchSpace> or "
       "<callingSearchSpaceName>.",
       "Calling Search Space not found."},
      [&](const zdl::CZDLID& id) { pattern.PutTranslationCallingSearchSpaceID(id); });
}

void CPatternHandler::ReadRouteTail(ElementCursor& cursor, zdl::CNumPlan& pattern,
                                    zdl::CDeviceNumPlanMapList& maps) {
  cursor.Expect("destination", "<destination>", "NULL element found, expecting <destination>");
  ReadDestinationMap(cursor.node(), db(), maps, pattern.GetID(),
                     "NULL element found, expecting <gateway> or <routeList>.", false);
  cursor.Advance();
  OptionalText(cursor, "withTag", [&](const std::string& v) { pattern.PutWithTag(v); });
  OptionalText(cursor, "withValueClause", [&](const std::string& v) { pattern.PutWithValueClause(v); });
}

// --- update ---

void CPatternHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  SelectPattern(cursor, list, "Found NULL, expecting <pattern> or <uuid>", kind().updateNotFound);
  auto pattern = list.GetCurrentItem();
  // A new destination is written before the pattern; both stand or fall together.
  zdl::CZDLTransaction transaction(db());
  ReadUpdateHead(cursor, *pattern);
  ReadUpdateRouting(cursor, *pattern);
  if (kind().IsRoute()) {
    OptionalElement(cursor, "destination", [&](XmlNode) { ReadDestination(cursor, pattern->GetID()); });
    OptionalElement(cursor, "withTag", [&](XmlNode e) { pattern->PutWithTag(ValueOrEmpty(e)); });
    OptionalElement(cursor, "withValueClause",
                    [&](XmlNode e) { pattern->PutWithValueClause(ValueOrEmpty(e)); });
  } else {
    ReadUpdateReference<zdl::CCallingSearchSpaceList>(
        cursor, db(), "callingSearchSpace", "Calling Search Space not found.",
        [&](const zdl::CZDLID& id) { pattern->PutTranslationCallingSearchSpaceID(id); });
  }
  cursor.RequireEnd();
  list.Update();
  transaction.Commit();
  Return(result, pattern->GetID());
}

std::string CPatternHandler::TranslationOnly(const char* notFound) const {
  return kind().IsRoute() ? "" : notFound;
}

void CPatternHandler::ReadUpdateHead(ElementCursor& cursor, zdl::CNumPlan& pattern) {
  OptionalElement(cursor, "newPattern", [&](XmlNode element) {
    if (kind().IsRoute()) {
      pattern.PutDNOrPattern(RequireValue(element, ValueWording::kMustHave, "pattern"));
    } else if (auto value = ValueOf(element)) {
      pattern.PutDNOrPattern(*value);
    }
  });
  OptionalElement(cursor, "description",
                  [&](XmlNode element) { pattern.PutDescription(ValueOrEmpty(element)); });
  ReadUpdateReference<zdl::CRoutePartitionList>(
      cursor, db(), "routePartition", TranslationOnly("Route Partition not found."),
      [&](const zdl::CZDLID& id) { pattern.PutRoutePartitionID(id); });
}

void CPatternHandler::ReadUpdateRouting(ElementCursor& cursor, zdl::CNumPlan& pattern) {
  zdl::CZDLSession& session = db();
  OptionalRequiredValue(cursor, "blockEnable",
                        [&](const std::string& v) { pattern.PutBlockEnable(ParseBoolean(v)); });
  OptionalElement(cursor, "calledPartyTransformationMask",
                  [&](XmlNode e) { pattern.PutCalledPartyTransformationMask(ValueOrEmpty(e)); });
  OptionalElement(cursor, "callingPartyTransformationMask",
                  [&](XmlNode e) { pattern.PutCallingPartyTransformationMask(ValueOrEmpty(e)); });
  OptionalRequiredValue(cursor, "useCallingPartyPhoneMask", [&](const std::string& v) {
    pattern.PutUseFullyQualifiedCallingPartyNumber(TypeEnum(session, "TypeStatus", v));
  });
  ReadUpdateReference<zdl::CDialPlanList>(cursor, session, "dialPlan",
                                          TranslationOnly("Dial Plan not found."),
                                          [&](const zdl::CZDLID& id) { pattern.PutDialPlanID(id); });
  OptionalElement(cursor, "dialPlanWizardGenId", [](XmlNode) {});
  ReadUpdateReference<zdl::CDigitDiscardInstructionList>(
      cursor, session, "digitDiscardInstruction", TranslationOnly("Digit Discard Instruction not found."),
      [&](const zdl::CZDLID& id) { pattern.PutDigitDiscardInstructionID(id); });
  OptionalRequiredValue(cursor, "messageWaiting", [&](const std::string& v) {
    pattern.PutMsgWaitingLamp(TypeEnum(session, "TypeLampBlinkRate", v));
  });
  OptionalRequiredValue(cursor, "networkLocation", [&](const std::string& v) {
    pattern.PutNetworkLocation(TypeEnum(session, "TypeNetworkLocation", v));
  });
  OptionalRequiredValue(cursor, "patternUrgency",
                        [&](const std::string& v) { pattern.PutIsUrgent(ParseBoolean(v)); });
  OptionalElement(cursor, "prefixDigitsOut", [&](XmlNode e) { pattern.PutPrefixDigitsOut(ValueOrEmpty(e)); });
  ReadUpdateReference<zdl::CRouteFilterList>(cursor, session, "routeFilter",
                                             TranslationOnly("Route Filter not found."),
                                             [&](const zdl::CZDLID& id) { pattern.PutRouteFilterID(id); });
}

void CPatternHandler::ReadDestination(ElementCursor& cursor, const zdl::CZDLID& pattern) {
  zdl::CDeviceNumPlanMapList maps(db());
  maps.SelectByNumPlanID(pattern);
  maps.DeleteAll();
  ReadDestinationMap(cursor.node(), db(), maps, pattern,
                     "NULL element found, expecting <gatewayId> or <routeListId>.", true);
  maps.Update();
}

// --- remove, get ---

void CPatternHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  SelectPattern(cursor, list, "Found NULL, expecting <uuid> or <pattern>", kind().removeNotFound);
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  zdl::CZDLTransaction transaction(db());
  if (kind().IsRoute()) {
    zdl::CDeviceNumPlanMapList maps(db());
    maps.SelectByNumPlanID(id);
    maps.DeleteAll();
    maps.Update();
  }
  list.Delete();
  list.Update();
  transaction.Commit();
  Return(result, id);
}

void CPatternHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  SelectPattern(cursor, list, "Found NULL, expecting <uuid> or <pattern>", kind().getNotFound);
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  // The builder does not read the pattern again.
  zdl::CZDLReadAhead known(db());
  known.Know(*list.GetCurrentItem());
  CXMLElement holder;
  if (kind().IsRoute()) {
    holder.AddNewChild<CXMLRoutePattern>()->BuildFromDatabase(db(), id);
  } else {
    holder.AddNewChild<CXMLTranslationPattern>()->BuildFromDatabase(db(), id);
  }
  ReturnChildren(result, holder);
}

}  // namespace zeb
