#include "handlers/dialplan/LineHandlers.h"

#include "builders/CXMLNPDirectoryNumber.h"
#include "handlers/ElementTables.h"
#include "handlers/dialplan/NumPlanLookup.h"
#include "zdl/CZDLReadAhead.h"

namespace zeb {

namespace {

const char kNotDirectoryNumber[] = "The NumPlan specified is not a Directory Number.";

// The line of a get or remove request: "uuid", or "pattern", the partition and "routeFilterId".
const NumPlanIdentification kLineIdentification{"Found NULL, expecting <uuid> or <pattern>", false, false};

// The setters of one kind of call forward.
struct ForwardSetters {
  const char* element;
  void (zdl::CNumPlan::*voiceMail)(bool);
  void (zdl::CNumPlan::*callingSearchSpace)(const zdl::CZDLID&);
  void (zdl::CNumPlan::*destination)(const std::string&);
};

const ForwardSetters kForwardAll{"callForwardAll", &zdl::CNumPlan::PutCFAVoiceMailEnabled,
                                 &zdl::CNumPlan::PutForwardAllCallingSearchSpaceID,
                                 &zdl::CNumPlan::PutForwardAllDestination};
const ForwardSetters kForwardBusy{"callForwardBusy", &zdl::CNumPlan::PutCFBVoiceMailEnabled,
                                  &zdl::CNumPlan::PutForwardBusyCallingSearchSpaceID,
                                  &zdl::CNumPlan::PutForwardBusyDestination};
const ForwardSetters kForwardNoAnswer{"callForwardNoAnswer", &zdl::CNumPlan::PutCFNAVoiceMailEnabled,
                                      &zdl::CNumPlan::PutForwardNoAnswerCallingSearchSpaceID,
                                      &zdl::CNumPlan::PutForwardNoAnswerDestination};

// The children of a call forward element: optional forwardToVoiceMail, then callingSearchSpace
// and destination. With clears (updateLine), a callingSearchSpace without "uuid" and an empty
// destination clear the stored values; otherwise they leave them unset.
void ReadForwardContent(ElementCursor cursor, zdl::CNumPlan& line, const ForwardSetters& forward,
                        bool clears) {
  if (cursor.AtEnd()) return;
  if (cursor.Is("forwardToVoiceMail")) {
    (line.*forward.voiceMail)(ParseBoolean(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
    if (cursor.AtEnd()) return;
  }
  if (cursor.Is("callingSearchSpace")) {
    auto uuid = AttributeOf(cursor.node(), "uuid");
    if (uuid || clears) (line.*forward.callingSearchSpace)(ParseID(uuid.value_or("")));
  } else if (cursor.Is("callingSearchSpaceId")) {
    throw CUnexpectedNodeException(
        "Deprecated element <callingSearchSpaceId>. Please use uuid attribute of <callingSearchSpace>.");
  } else {
    cursor.ThrowFound("<callingSearchSpace>");
  }
  cursor.Advance();
  cursor.Expect("destination", "<destination>", "NULL element found. Expecting <destination>");
  auto destination = ValueOf(cursor.node());
  if (destination || clears) (line.*forward.destination)(destination.value_or(""));
}

// A call forward element when the cursor is on it; advances past it.
void ReadCallForward(ElementCursor& cursor, zdl::CNumPlan& line, const ForwardSetters& forward, bool clears) {
  OptionalElement(cursor, forward.element,
                  [&](XmlNode) { ReadForwardContent(cursor.EnterCurrent(), line, forward, clears); });
}

}  // namespace

// The get and update requests name a line by "uuid" or by pattern, partition and filter, a
// choice the rows do not declare yet.
const ElementTable kLineElements = {
    "addLine",
    nullptr,
    nullptr,
    {
        Custom("pattern", Form::kValue, kReq, kNo),
        Custom("description", Form::kValue, kOpt, kNo),
        Custom("usage", Form::kValue, kReq, kNo),
        Choice({{"routePartition", Form::kUuid}, {"routePartitionName", Form::kName}}, kReq, kNo),
        Custom("callForwardAll", Form::kChildren, kOpt, kNo),
        Custom("callForwardBusy", Form::kChildren, kOpt, kNo),
        Custom("callForwardNoAnswer", Form::kChildren, kOpt, kNo),
        Custom("callPickupGroup", Form::kUuid, kReq, kNo),
        Custom("callWaitingEnabled", Form::kValue, kReq, kNo),
        Custom("cfaCSSClause", Form::kValue, kReq, kNo),
        Custom("mwiStatus", Form::kValue, kReq, kNo),
        Custom("shareLineAppearanceCSS", Form::kUuid, kReq, kNo),
        Custom("useFullyQualCallingPartyNum", Form::kValue, kReq, kNo),
        Custom("voiceMailProfile", Form::kUuid, kOpt, kNo),
    }};

// --- addLine ---

void CLineHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newLine>");
  zdl::CNumPlanList list(db());
  line_ = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.RequireNotNull("Found NULL, expecting <pattern>");
  ReadPattern(cursor);
  ReadDescription(cursor);
  ReadUsage(cursor);
  ReadRoutePartition(cursor);
  ReadCallForwardAll(cursor);
  ReadCallForwardBusy(cursor);
  ReadCallForwardNoAnswer(cursor);
  ReadCallPickupGroup(cursor);
  ReadCallWaitingEnabled(cursor);
  ReadCfaCSSClause(cursor);
  ReadMwiStatus(cursor);
  ReadShareLineAppearanceCSS(cursor);
  ReadUseFullyQualCallingPartyNum(cursor);
  ReadVoiceMailProfile(cursor);
  list.Update();
  Return(result, line_->GetID());
}

void CLineHandler::ReadPattern(ElementCursor& cursor) {
  if (!cursor.Is("pattern")) cursor.ThrowFound("<pattern>");
  line_->PutDNOrPattern(RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
}

void CLineHandler::ReadDescription(ElementCursor& cursor) {
  cursor.RequireNotNull("NULL element found, expecting more elements.");
  OptionalElement(cursor, "description", [&](XmlNode element) {
    if (auto value = ValueOf(element)) line_->PutDescription(*value);
  });
}

void CLineHandler::ReadUsage(ElementCursor& cursor) {
  // Whatever usage the request names, addLine adds a directory number.
  RequiredValue(cursor, "usage", "NULL element found, expecting <usage>.", [](const std::string&) {});
  line_->PutPatternUsageType(zdl::kUsageDirectoryNumber);
}

void CLineHandler::ReadRoutePartition(ElementCursor& cursor) {
  cursor.RequireNotNull("NULL element found, expecting <routePartitionId>.");
  const ReferenceForms forms{"routePartition", "Deprecated element. Please use <routePartition>.",
                             "The specified Route Partition was not found."};
  if (!ReadAddReference<zdl::CRoutePartitionList>(
          cursor, db(), forms, [&](const zdl::CZDLID& id) { line_->PutRoutePartitionID(id); })) {
    cursor.ThrowFound("<routePartition> or <routePartitionName>");
  }
  cursor.Advance();
}

void CLineHandler::ReadCallForwardAll(ElementCursor& cursor) {
  ReadCallForward(cursor, *line_, kForwardAll, false);
}

void CLineHandler::ReadCallForwardBusy(ElementCursor& cursor) {
  ReadCallForward(cursor, *line_, kForwardBusy, false);
}

void CLineHandler::ReadCallForwardNoAnswer(ElementCursor& cursor) {
  ReadCallForward(cursor, *line_, kForwardNoAnswer, false);
}

void CLineHandler::ReadCallPickupGroup(ElementCursor& cursor) {
  cursor.RequireNotNull("NULL element found, expecting <callPickupGroupId>");
  const ReferenceForms forms{"callPickupGroup",
                             "Deprecated element <callPickupGroupId>. Please use <callPickupGroup>.", ""};
  if (!ReadAddReference(cursor, db(), forms, [&](const zdl::CZDLID& id) { line_->PutCallPickUpGroup(id); })) {
    cursor.ThrowFound("<callPickupGroup>");
  }
  cursor.Advance();
}

void CLineHandler::ReadCallWaitingEnabled(ElementCursor& cursor) {
  cursor.Expect("callWaitingEnabled", "<callWaitingEnabled>",
                "NULL element found, expecting <callWaitingEnabled>");
  line_->PutCallWaitingEnable(
      TypeEnum(db(), "TypeStatus", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
}

void CLineHandler::ReadCfaCSSClause(ElementCursor& cursor) {
  RequiredValue(cursor, "cfaCSSClause", "NULL element found, expecting <cfaCSSClause>",
                [](const std::string&) {});
}

void CLineHandler::ReadMwiStatus(ElementCursor& cursor) {
  RequiredValue(cursor, "mwiStatus", "NULL element found, expecting <mwiStatus>", [](const std::string&) {});
}

void CLineHandler::ReadShareLineAppearanceCSS(ElementCursor& cursor) {
  cursor.RequireNotNull("NULL element found, expecting <shareLineAppearanceCSSId>");
  const ReferenceForms forms{
      "shareLineAppearanceCSS",
      "Deprecated element <shareLineAppearanceCSSId>. Please use <shareLineAppearanceCSS>.", ""};
  if (!ReadAddReference(cursor, db(), forms, [&](const zdl::CZDLID& id) {
        line_->PutSharedLineAppearanceCallingSearchSpaceID(id);
      })) {
    cursor.ThrowFound("<shareLineAppearanceCSS>");
  }
  cursor.Advance();
}

void CLineHandler::ReadUseFullyQualCallingPartyNum(ElementCursor& cursor) {
  cursor.Expect("useFullyQualCallingPartyNum", "<useFullyQualCallingPartyNum>",
                "NULL element found, expecting <useFullyQualCallingPartyNum>");
  line_->PutUseFullyQualifiedCallingPartyNumber(
      TypeEnum(db(), "TypeStatus", RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
}

void CLineHandler::ReadVoiceMailProfile(ElementCursor& cursor) {
  // The last position: whatever follows it is ignored.
  OptionalElement(cursor, "voiceMailProfile", [&](XmlNode element) {
    if (auto uuid = AttributeOf(element, "uuid")) line_->PutVoiceMessagingProfileID(ParseID(*uuid));
  });
}

// --- updateLine ---

void CLineHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  IdentifyNumPlan(cursor, db(), list, {"Found NULL, expecting <pattern> or <uuid>", false, false});
  RequireNumPlan(list, zdl::kUsageDirectoryNumber, "Directory Number not found.", kNotDirectoryNumber);
  auto line = list.GetCurrentItem();
  ReadChanges(cursor, *line);
  ReadSettings(cursor, *line);
  cursor.RequireEnd();
  list.Update();
  Return(result, line->GetID());
}

void CLineHandler::ReadChanges(ElementCursor& cursor, zdl::CNumPlan& line) {
  OptionalElement(cursor, "newPattern", [&](XmlNode element) {
    line.PutDNOrPattern(RequireValue(element, ValueWording::kThenMustHave, "pattern"));
  });
  OptionalElement(cursor, "description",
                  [&](XmlNode element) { line.PutDescription(ValueOrEmpty(element)); });
  ReadUpdateReference<zdl::CRoutePartitionList>(cursor, db(), "newRoutePartition",
                                                "Route Partition not found.",
                                                [&](const zdl::CZDLID& id) { line.PutRoutePartitionID(id); });
  ReadCallForward(cursor, line, kForwardAll, true);
  ReadCallForward(cursor, line, kForwardBusy, true);
  ReadCallForward(cursor, line, kForwardNoAnswer, true);
}

void CLineHandler::ReadSettings(ElementCursor& cursor, zdl::CNumPlan& line) {
  ReadUpdateReference(cursor, db(), "callPickupGroup", "",
                      [&](const zdl::CZDLID& id) { line.PutCallPickUpGroup(id); });
  OptionalElement(cursor, "callWaitingEnabled", [&](XmlNode element) {
    line.PutCallWaitingEnable(
        TypeEnum(db(), "TypeStatus", RequireValue(element, ValueWording::kThenMustHave)));
  });
  OptionalElement(cursor, "cfaCSSClause", [](XmlNode) {});
  ReadUpdateReference(cursor, db(), "shareLineAppearanceCSS", "",
                      [&](const zdl::CZDLID& id) { line.PutSharedLineAppearanceCallingSearchSpaceID(id); });
  OptionalElement(cursor, "useFullyQualCallingPartyNum", [&](XmlNode element) {
    line.PutUseFullyQualifiedCallingPartyNumber(
        TypeEnum(db(), "TypeStatus", RequireValue(element, ValueWording::kThenMustHave)));
  });
  ReadUpdateReference(cursor, db(), "voiceMailProfile", "",
                      [&](const zdl::CZDLID& id) { line.PutVoiceMessagingProfileID(id); });
}

// --- removeLine, getLine ---

void CLineHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CNumPlanList list(db());
  IdentifyNumPlan(cursor, db(), list, kLineIdentification);
  RequireNumPlan(list, zdl::kUsageDirectoryNumber, "The specified Directory Number was not found.",
                 kNotDirectoryNumber);
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  list.Delete();
  list.Update();
  Return(result, id);
}

void CLineHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CZDLID id;
  // The line found by pattern is not read again by the builder.
  zdl::CZDLReadAhead known(db());
  if (cursor.Is("uuid")) {
    // By identifier the builder finds the line itself (and checks its usage).
    id = ParseID(RequireValue(cursor.node(), ValueWording::kMustHave));
  } else {
    zdl::CNumPlanList list(db());
    IdentifyNumPlan(cursor, db(), list, kLineIdentification);
    RequireNumPlan(list, zdl::kUsageDirectoryNumber, "The specified Directory Number was not found.",
                   kNotDirectoryNumber);
    id = list.GetCurrentItem()->GetID();
    known.Know(*list.GetCurrentItem());
  }
  CXMLElement holder;
  holder.AddNewChild<CXMLNPDirectoryNumber>()->BuildFromDatabase(db(), id);
  ReturnChildren(result, holder);
}

}  // namespace zeb
