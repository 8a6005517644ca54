#include "builders/CXMLNPPattern.h"

#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

// The Name column of the record id names in table, or "" when there is none.
std::string NameOf(zdl::CZDLSession& session, const char* table, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, table);
  return ReadRecord(row, id) ? row.getString("Name") : std::string();
}

}  // namespace

void CXMLNPPattern::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row) {
  SetTag("pattern");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("pattern", row.getString("DNOrPattern"));
  AddChild("description", row.getString("Description"));
  AddChild("usage", TypeText(session, "TypePatternUsage", row.getInt("tkPatternUsage")));
  AddChild("routePartitionName", NameOf(session, "RoutePartition", row.getID("fkRoutePartition")));
  AddChild("blockEnable", BoolText(row.getBool("BlockEnable")));
  AddChild("calledPartyTransformationMask", row.getString("CalledPartyTransformationMask"));
  AddChild("callingPartyTransformationMask", row.getString("CallingPartyTransformationMask"));
  AddChild("useCallingPartyPhoneMask",
           TypeText(session, "TypeStatus", row.getInt("tkStatus_UseFullyQualCallingPartyNum")));
  AddDialPlan(session, row.getID("fkDialPlan"));
  AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
  AddChild("digitDiscardInstructionName",
           NameOf(session, "DigitDiscardInstruction", row.getID("fkDigitDiscardInstruction")));
  AddChild("messageWaiting", TypeText(session, "TypeLampBlinkRate", row.getInt("tkLampBlinkRate")));
  AddChild("networkLocation", TypeText(session, "TypeNetworkLocation", row.getInt("tkNetworkLocation")));
  AddChild("patternUrgency", BoolText(row.getBool("IsUrgent")));
  AddChild("prefixDigitsOut", row.getString("PrefixDigitsOut"));
  AddChild("routeFilterName", NameOf(session, "RouteFilter", row.getID("fkRouteFilter")));
}

void CXMLNPPattern::AddDialPlan(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  CXMLElement* dialPlan = AddNewChild<CXMLElement>("dialPlan");
  dialPlan->AddAttribute("uuid", id.str());
  zdl::CFastAccess row(session, "DialPlan");
  const bool found = ReadRecord(row, id);
  dialPlan->AddChild("name", found ? row.getString("Name") : "");
  dialPlan->AddChild("description", found ? row.getString("Description") : "");
}

void CXMLTranslationPattern::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  BuildFromRow(session, row);
  AddChild("callingSearchSpaceName",
           NameOf(session, "CallingSearchSpace", row.getID("fkCallingSearchSpace_Translation")));
}

void CXMLRoutePattern::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  BuildFromRow(session, row);
  AddDestination(session, id);
  AddChild("withTag", row.getString("WithTag"));
}

void CXMLRoutePattern::AddDestination(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  CXMLElement* destination = AddNewChild<CXMLElement>("destination");
  zdl::CFastAccess map(session, "DeviceNumPlanMap");
  map.SelectCustom("SELECT fkDevice FROM DeviceNumPlanMap WHERE fkNumPlan = ?", {id});
  if (map.IsEOF()) return;
  zdl::CFastAccess device(session, "Device");
  if (!ReadRecord(device, map.getID("fkDevice"))) return;
  const long deviceClass = device.getInt("tkClass");
  if (deviceClass == zdl::kClassGateway) destination->AddChild("gatewayName", device.getString("Name"));
  if (deviceClass == zdl::kClassRouteList) destination->AddChild("routeListName", device.getString("Name"));
}

}  // namespace zeb
