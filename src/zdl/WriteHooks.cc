#include "zdl/WriteHooks.h"

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

}  // namespace

void BeforeWrite(CZDLSession& session, CItem& item) {
  const std::string& table = item.table().ident;
  if (table == "Device") FillDeviceColumns(session, item);
}

void AfterInsert(CZDLSession&, const CItem&) {}

}  // namespace zeb::zdl
