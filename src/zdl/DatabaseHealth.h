// The health of the configuration database for monitoring: a readiness check. (The count of
// connections made again after they were lost is the drivers', in base/DbDriver.h.)
#pragma once

namespace zeb::zdl {

class CZDLDatabase;

// Runs a trivial query that reads the database. The embedded file is opened afresh, read-only,
// so that a file removed, replaced or made unreadable since the start is noticed (open
// connections would go on reading it); PostgreSQL is asked on the calling thread's session,
// which connects again when the server has come back. Throws CZDLException saying what failed.
void ProbeDatabase(CZDLDatabase& database);

}  // namespace zeb::zdl
