#include "builders/CXMLNPPattern.h"

#include <optional>
#include <utility>

#include "zdl/CZDLReadAhead.h"
#include "zdl/TypeEnums.h"
#include "zdl/base/Schema.h"

namespace zeb {

namespace {

const char kDestinationMap[] = "SELECT fkDevice FROM DeviceNumPlanMap WHERE fkNumPlan = ?";

// The Name column of the record id names in table, or "" when there is none.
std::string NameOf(zdl::CZDLSession& session, const char* table, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, table);
  return ReadRecord(row, id) ? row.getString("Name") : std::string();
}

// What the pattern element reads beyond its row (the names it shows and, of a route pattern, the
// destination), in one round trip where the back end can; the embedded one reads as it goes.
void ReadPatternAhead(std::optional<zdl::CZDLReadAhead>& ahead, zdl::CZDLSession& session,
                      const zdl::CFastAccess& row, bool route) {
  if (!session.pipelinesReads()) return;
  ahead.emplace(session);
  for (const auto& [table, column] : {std::pair{"RoutePartition", "fkRoutePartition"}, {"DialPlan", "fkDialPlan"},
                                      {"DigitDiscardInstruction", "fkDigitDiscardInstruction"},
                                      {"RouteFilter", "fkRouteFilter"}}) {
    ahead->AddRecord(table, row.getID(column));
  }
  const zdl::CZDLID id = row.getID("pkid");
  if (route) {
    ahead->Add(kDestinationMap, {id});
    ahead->Add(zdl::RecordByIdSql(*zdl::FindTable("Device")),
               "SELECT Device.*, Device.pkid FROM Device WHERE pkid IN (SELECT fkDevice FROM DeviceNumPlanMap WHERE "
               "fkNumPlan = ?)",
               {id});
  } else {
    ahead->AddRecord("CallingSearchSpace", row.getID("fkCallingSearchSpace_Translation"));
  }
  ahead->Run();
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
  std::optional<zdl::CZDLReadAhead> ahead;
  ReadPatternAhead(ahead, session, row, false);
  BuildFromRow(session, row);
  AddChild("callingSearchSpaceName",
           NameOf(session, "CallingSearchSpace", row.getID("fkCallingSearchSpace_Translation")));
}

void CXMLRoutePattern::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "NumPlan");
  if (!ReadRecord(row, id)) return;
  std::optional<zdl::CZDLReadAhead> ahead;
  ReadPatternAhead(ahead, session, row, true);
  BuildFromRow(session, row);
  AddDestination(session, id);
  AddChild("withTag", row.getString("WithTag"));
}

void CXMLRoutePattern::AddDestination(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  CXMLElement* destination = AddNewChild<CXMLElement>("destination");
  zdl::CFastAccess map(session, "DeviceNumPlanMap");
  map.SelectCustom(kDestinationMap, {id});
  if (map.IsEOF()) return;
  zdl::CFastAccess device(session, "Device");
  if (!ReadRecord(device, map.getID("fkDevice"))) return;
  const long deviceClass = device.getInt("tkClass");
  if (deviceClass == zdl::kClassGateway) destination->AddChild("gatewayName", device.getString("Name"));
  if (deviceClass == zdl::kClassRouteList) destination->AddChild("routeListName", device.getString("Name"));
}

}  // namespace zeb
