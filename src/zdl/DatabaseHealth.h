// The health of the configuration database for monitoring: a readiness check, and the role and
// replication delay of a PostgreSQL server. (The count of connections made again after they
// were lost is the drivers', in base/DbDriver.h.)
#pragma once

#include <optional>
#include <string>

namespace zeb::zdl {

class CZDLDatabase;
class CZDLSession;

// Runs a trivial query that reads the database. The embedded file is opened afresh, read-only,
// so that a file removed, replaced or made unreadable since the start is noticed (open
// connections would go on reading it); PostgreSQL is asked on the calling thread's session,
// which connects again when the server has come back. Throws CZDLException saying what failed.
void ProbeDatabase(CZDLDatabase& database);

// What a database server says of its role.
struct ReplicaStatus {
  bool readOnly = false;  // a hot standby, in recovery
  // How far what the standby serves lags behind its primary: 0 on a primary, and on a standby
  // whose WAL receiver runs and has replayed all it received; otherwise the time since the last
  // transaction it replayed was committed on the primary (which also grows while the primary is
  // idle, or the standby cut off from it). nullopt when nothing was replayed since the start.
  std::optional<double> delaySeconds;
  std::string replayPosition;  // the last WAL position replayed; "" on a primary
};

// Asks the server on session (outside a transaction). An embedded database is always a primary.
// Throws CZDLException when the server cannot be asked.
ReplicaStatus QueryReplicaStatus(CZDLSession& session);

// "primary", or "read-only standby, replication delay 0.25 s" (or "... delay unknown").
std::string ReplicaStatusText(const ReplicaStatus& status);

}  // namespace zeb::zdl
