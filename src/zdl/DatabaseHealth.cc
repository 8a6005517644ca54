#include "zdl/DatabaseHealth.h"

#include <cstdio>

#include "zdl/CZDLDatabase.h"
#include "zdl/Drivers.h"

namespace zeb::zdl {

namespace {

// The delay is 0 while a WAL receiver runs and everything received is replayed: the time since
// the last replayed commit would otherwise grow whenever the primary has nothing to send.
constexpr char kReplicaStatusQuery[] =
    "SELECT pg_is_in_recovery()::int, COALESCE(pg_last_wal_replay_lsn()::text, ''), "
    "CASE WHEN NOT pg_is_in_recovery() THEN 0 "
    "WHEN pg_last_wal_receive_lsn() = pg_last_wal_replay_lsn() "
    "AND EXISTS (SELECT 1 FROM pg_stat_wal_receiver WHERE pid IS NOT NULL) THEN 0 "
    "ELSE (EXTRACT(EPOCH FROM now() - pg_last_xact_replay_timestamp()) * 1000)::bigint END";

}  // namespace

void ProbeDatabase(CZDLDatabase& database) {
  const Driver& driver = DriverFor(database.location());
  if (driver.probe) return driver.probe(database.location());
  CZDLSession& session = database.Session();
  CZDLReadScope snapshot(session);
  session.Query("SELECT 1");
}

ReplicaStatus QueryReplicaStatus(CZDLSession& session) {
  ReplicaStatus status;
  if (!IsSharedLocation(session.database().location())) return status;
  CZDLReadScope snapshot(session);
  const ResultSet result = session.Query(kReplicaStatusQuery);
  if (result.rows.empty()) return status;
  const auto& row = result.rows[0];
  status.readOnly = row[0].AsInt() != 0;
  status.replayPosition = row[1].AsText();
  if (!row[2].IsNull()) status.delaySeconds = static_cast<double>(row[2].AsInt()) / 1000;
  return status;
}

std::string ReplicaStatusText(const ReplicaStatus& status) {
  if (!status.readOnly) return "primary";
  if (!status.delaySeconds) return "read-only standby, replication delay unknown";
  char delay[32];
  std::snprintf(delay, sizeof delay, "%.2f", *status.delaySeconds);
  return std::string("read-only standby, replication delay ") + delay + " s";
}

}  // namespace zeb::zdl
