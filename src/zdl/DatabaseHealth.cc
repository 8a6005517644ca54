#include "zdl/DatabaseHealth.h"

#include "zdl/CZDLDatabase.h"
#include "zdl/Drivers.h"

namespace zeb::zdl {

void ProbeDatabase(CZDLDatabase& database) {
  const Driver& driver = DriverFor(database.location());
  if (driver.probe) return driver.probe(database.location());
  CZDLSession& session = database.Session();
  CZDLReadScope snapshot(session);
  session.Query("SELECT 1");
}

}  // namespace zeb::zdl
