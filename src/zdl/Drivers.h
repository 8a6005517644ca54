// The database drivers, and which one serves a location: a PostgreSQL URI or libpq connection
// string is served by the PostgreSQL driver, anything else is the path of an embedded SQLite
// file. The rest of the library asks here instead of looking at locations itself.
#pragma once

#include <memory>
#include <string>

#include "zdl/base/DbDriver.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

struct Driver {
  // True for a server that several nodes share; false for a file of this node.
  bool shared;
  std::unique_ptr<Dialect> (*makeDialect)();
  // A connection to location; token names this process in change announcements, role is told
  // what the server is at every connection made (and outlives the connection).
  std::unique_ptr<DbConnection> (*connect)(const std::string& location, const std::string& token, ServerRole& role);
  // The location as messages show it (never with a password).
  std::string (*displayName)(const std::string& location);
  // Opens the database afresh, read-only, and reads it; throws CZDLException naming what
  // failed. Null for a shared server, which readiness asks on a session of its own.
  void (*probe)(const std::string& location);
};

// The driver that serves location.
const Driver& DriverFor(const std::string& location);

// True when location names a shared database server rather than a file of this node.
inline bool IsSharedLocation(const std::string& location) { return DriverFor(location).shared; }

}  // namespace zeb::zdl
