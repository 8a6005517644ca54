#include "zdl/DatabaseHealth.h"

#include <sqlite3.h>

#include <atomic>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/postgresql/PgConnection.h"

namespace zeb::zdl {

namespace {
std::atomic<std::uint64_t> gReconnects{0};
}

std::uint64_t DatabaseReconnects() { return gReconnects.load(std::memory_order_relaxed); }

void NoteDatabaseReconnect() { gReconnects.fetch_add(1, std::memory_order_relaxed); }

void ProbeDatabase(CZDLDatabase& database) {
  if (IsPostgresLocation(database.location())) {
    CZDLSession& session = database.Session();
    CZDLReadScope snapshot(session);
    session.Query("SELECT 1");
    return;
  }
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(database.location().c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  const std::string message = rc == SQLITE_OK ? "" : (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw CZDLException(kZDLDatabaseUnavailable, database.DisplayName() + ": " + message);
}

}  // namespace zeb::zdl
