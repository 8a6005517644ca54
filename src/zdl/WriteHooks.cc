#include "zdl/WriteHooks.h"

#include "zdl/Integrity.h"
#include "zdl/TypeEnums.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

namespace {

// A device's class and model follow its product unless the writer set them; a new device gets
// the next CTI identifier.
void FillDeviceColumns(CZDLSession& session, CItem& item) {
  const TableDef& table = item.table();
  const int product = table.Find("tkProduct");
  const int deviceClass = table.Find("tkClass");
  const int model = table.Find("tkModel");
  if (item.IsNew() || item.IsDirty(product)) {
    const ResultSet row = session.Query("SELECT tkClass, tkModel FROM TypeProduct WHERE Enum = ?", {item.Value(product)});
    if (!row.rows.empty()) {
      if (!item.IsDirty(deviceClass)) item.SetValue(deviceClass, row.rows[0][0]);
      if (!item.IsDirty(model)) item.SetValue(model, row.rows[0][1]);
    }
  }
  const int ctiId = table.Find("CtiId");
  if (item.IsNew() && !item.IsDirty(ctiId)) {
    item.SetValue(ctiId, session.Query("SELECT COALESCE(MAX(CtiId), 0) + 1 FROM Device").rows[0][0]);
  }
}

// A new location gets the next location number.
void NumberLocation(CZDLSession& session, CItem& item) {
  const int number = item.table().Find("ID");
  if (item.IsNew()) item.SetValue(number, session.Query("SELECT COALESCE(MAX(ID), 0) + 1 FROM Location").rows[0][0]);
}

// The bandwidth of new region matrix entries: the enterprise parameter DefaultRegionBandwidth (a
// TypeBandwidth number), or G.711 (1) when it is missing or names no bandwidth.
CZDLValue DefaultRegionBandwidth(CZDLSession& session) {
  const ResultSet param = session.Query(
      "SELECT paramValue FROM ProcessConfig WHERE fkProcessNode = ? AND tkService = ? AND paramName = ?",
      {"{00000000-1111-0000-0000-000000000000}", 11, "DefaultRegionBandwidth"});
  const long long number = param.rows.empty() ? 0 : param.rows[0][0].AsInt();
  const bool known = !session.Query("SELECT Enum FROM TypeBandwidth WHERE Enum = ?", {number}).rows.empty();
  return CZDLValue(known ? number : 1);
}

// Every pair of regions has one matrix entry, so a new region gets one with each other region.
void AddRegionMatrixEntries(CZDLSession& session, const CItem& region) {
  const CZDLValue bandwidth = DefaultRegionBandwidth(session);
  const ResultSet others = session.Query("SELECT pkid FROM Region WHERE pkid <> ?", {region.Value(0)});
  for (const auto& other : others.rows) {
    session.Execute("INSERT INTO RegionMatrix (pkid, fkRegion_A, fkRegion_B, tkBandwidth) VALUES (?, ?, ?, ?)",
                    {CZDLValue(CZDLID::New()), other[0], region.Value(0), bandwidth});
  }
}

// A route pattern keeps its destination (a gateway or route list) in a device map that goes
// with the device; the device may not be removed while a route pattern still sends calls to it.
void RefuseRouteDestinationRemoval(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  const ResultSet patterns = session.Query(
      "SELECT NumPlan.DNOrPattern FROM DeviceNumPlanMap JOIN NumPlan ON NumPlan.pkid = DeviceNumPlanMap.fkNumPlan "
      "WHERE DeviceNumPlanMap.fkDevice = ? AND NumPlan.tkPatternUsage = ?",
      {key, kUsageRoute});
  if (patterns.rows.empty()) return;
  throw CZDLException(kZDLStillReferenced, "The " + table.display + " " + RowLabel(session, table, key) +
                                               " cannot be removed because it is still the destination of Route "
                                               "Pattern \"" + patterns.rows[0][0].AsText() + "\".");
}

// The clauses of the calling search spaces that have the partition keyed partition as a member.
void RefreshClausesWithPartition(CZDLSession& session, const CZDLValue& partition) {
  const ResultSet spaces = session.Query(
      "SELECT DISTINCT fkCallingSearchSpace FROM callingSearchSpaceMember WHERE fkRoutePartition = ?", {partition});
  for (const auto& row : spaces.rows) RefreshCallingSearchSpaceClause(session, row[0]);
}

void RefreshClauseOfMember(CZDLSession& session, const CItem& member) {
  RefreshCallingSearchSpaceClause(session, member.Value(member.table().Find("fkCallingSearchSpace")));
}

}  // namespace

void RefreshCallingSearchSpaceClause(CZDLSession& session, const CZDLValue& css) {
  const ResultSet names = session.Query(
      "SELECT RoutePartition.Name FROM callingSearchSpaceMember JOIN RoutePartition "
      "ON RoutePartition.pkid = callingSearchSpaceMember.fkRoutePartition "
      "WHERE callingSearchSpaceMember.fkCallingSearchSpace = ? "
      "ORDER BY callingSearchSpaceMember.SortOrder, LOWER(RoutePartition.Name)",
      {css});
  std::string clause;
  for (const auto& row : names.rows) clause += (clause.empty() ? "" : ":") + row[0].AsText();
  session.Execute("UPDATE CallingSearchSpace SET Clause = ? WHERE pkid = ?", {CZDLValue(clause), css});
}

void BeforeWrite(CZDLSession& session, CItem& item) {
  const std::string& table = item.table().ident;
  if (table == "Device") FillDeviceColumns(session, item);
  if (table == "Location") NumberLocation(session, item);
}

void AfterInsert(CZDLSession& session, const CItem& item) {
  if (item.table().ident == "Region") AddRegionMatrixEntries(session, item);
  if (item.table().ident == "CallingSearchSpaceMember") RefreshClauseOfMember(session, item);
}

void AfterUpdate(CZDLSession& session, const CItem& item) {
  const std::string& table = item.table().ident;
  if (table == "CallingSearchSpaceMember") RefreshClauseOfMember(session, item);
  if (table == "RoutePartition" && item.IsDirty(item.table().Find("Name"))) {
    RefreshClausesWithPartition(session, item.Value(0));
  }
}

void AfterDelete(CZDLSession& session, const CItem& item) {
  if (item.table().ident == "CallingSearchSpaceMember") RefreshClauseOfMember(session, item);
}

void BeforeDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  if (table.ident == "Device") RefuseRouteDestinationRemoval(session, table, key);
}

}  // namespace zeb::zdl
