#include "builders/CXMLNPDirectoryNumber.h"

#include "zdl/TypeEnums.h"
#include "zdl/base/CZDLException.h"

namespace zeb {

namespace {

const CXMLNPDirectoryNumber::ForwardColumns kForwards[] = {
    {"callForwardAll", "fkCallingSearchSpace_CFA", "cFAVoiceMailEnabled", "CFADestination"},
    {"callForwardBusy", "fkCallingSearchSpace_CFB", "cFBVoiceMailEnabled", "CFBDestination"},
    {"callForwardNoAnswer", "fkCallingSearchSpace_CFNA", "cFNAVoiceMailEnabled", "CFNADestination"},
};

// A child with only a "uuid" attribute.
void AddReferenceChild(CXMLElement& parent, const char* tag, const std::string& uuid) {
  parent.AddNewChild<CXMLElement>(tag)->AddAttribute("uuid", uuid);
}

}  // namespace

void CXMLNPDirectoryNumber::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  if (row.getInt("tkPatternUsage") != zdl::kUsageDirectoryNumber) {
    throw zdl::CZDLException(zdl::kZDLRecordNotFound, "The NumPlan specified is not a Directory Number.");
  }
  SetTag("directoryNumber");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("pattern", row.getString("DNOrPattern"));
  AddChild("usage", TypeText(session, "TypePatternUsage", row.getInt("tkPatternUsage")));
  AddReferenceChild(*this, "routePartition", row.getGuid("fkRoutePartition"));
  AddAARNeighborhood(session, row);
  for (const ForwardColumns& forward : kForwards) AddCallForward(row, forward);
  AddReferenceChild(*this, "callPickupGroup", row.getGuid("ikNumPlan_CallPickUpGroup"));
  AddChild("callWaitingEnabled", TypeText(session, "TypeStatus", row.getInt("tkStatus_CallWaitingEnable")));
  AddChild("cfaCSSClause", row.getString("CSSForCFA"));
  AddChild("mwiStatus", TypeText(session, "TypeLampBlinkRate", row.getInt("IsMessageWaitingOn")));
  AddReferenceChild(*this, "shareLineAppearanceCSS", row.getGuid("fkCallingSearchSpace_SharedLineAppear"));
  AddChild("useFullyQualCallingPartyNum",
           TypeText(session, "TypeStatus", row.getInt("tkStatus_UseFullyQualCallingPartyNum")));
  if (!row.isNull("fkVoiceMessagingProfile")) {
    AddReferenceChild(*this, "voiceMailProfile", row.getGuid("fkVoiceMessagingProfile"));
  }
}

void CXMLNPDirectoryNumber::AddAARNeighborhood(zdl::CZDLSession& session, const zdl::CFastAccess& row) {
  const zdl::CZDLID neighborhood = row.getID("fkAARNeighborhood");
  if (neighborhood.isNull()) return;
  CXMLElement* element = AddNewChild<CXMLElement>("aarNeighborhood");
  element->AddAttribute("uuid", neighborhood.str());
  zdl::CFastAccess record(session, "AARNeighborhood");
  if (ReadRecord(record, neighborhood)) element->AddChild("name", record.getString("Name"));
}

void CXMLNPDirectoryNumber::AddCallForward(const zdl::CFastAccess& row, const ForwardColumns& columns) {
  const std::string css = row.getGuid(columns.css);
  if (css.empty()) return;
  CXMLElement* forward = AddNewChild<CXMLElement>(columns.element);
  forward->AddChild("forwardToVoiceMail", BoolText(row.getInt(columns.voiceMail) != 0));
  AddReferenceChild(*forward, "callingSearchSpace", css);
  forward->AddChild("destination", row.getString(columns.destination));
}

}  // namespace zeb
