// The health of the configuration database for monitoring: a readiness check, and the count of
// connections made again after they were lost.
#pragma once

#include <cstdint>

namespace zeb::zdl {

class CZDLDatabase;

// Runs a trivial query that reads the database. The embedded file is opened afresh, read-only,
// so that a file removed, replaced or made unreadable since the start is noticed (open
// connections would go on reading it); PostgreSQL is asked on the calling thread's session,
// which connects again when the server has come back. Throws CZDLException saying what failed.
void ProbeDatabase(CZDLDatabase& database);

// Connections made again by this process since it started (lost, or closed by the server).
std::uint64_t DatabaseReconnects();
void NoteDatabaseReconnect();

}  // namespace zeb::zdl
