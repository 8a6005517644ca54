#include "zdl/WriteHooks.h"

#include "zdl/CZDLException.h"
#include "zdl/Integrity.h"

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

// A route pattern keeps its destination (a gateway or route list) in a device map that goes
// with the device; the device may not be removed while a route pattern still sends calls to it.
void RefuseRouteDestinationRemoval(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  constexpr long kRoutePatternUsage = 5;
  const ResultSet patterns = session.Query(
      "SELECT NumPlan.DNOrPattern FROM DeviceNumPlanMap JOIN NumPlan ON NumPlan.pkid = DeviceNumPlanMap.fkNumPlan "
      "WHERE DeviceNumPlanMap.fkDevice = ? AND NumPlan.tkPatternUsage = ?",
      {key, kRoutePatternUsage});
  if (patterns.rows.empty()) return;
  throw CZDLException(kZDLStillReferenced, "The " + table.display + " " + RowLabel(session, table, key) +
                                               " cannot be removed because it is still the destination of Route "
                                               "Pattern \"" + patterns.rows[0][0].AsText() + "\".");
}

}  // namespace

void BeforeWrite(CZDLSession& session, CItem& item) {
  const std::string& table = item.table().ident;
  if (table == "Device") FillDeviceColumns(session, item);
}

void AfterInsert(CZDLSession&, const CItem&) {}

void BeforeDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  if (table.ident == "Device") RefuseRouteDestinationRemoval(session, table, key);
}

}  // namespace zeb::zdl
