// The audit log of configuration changes (table AuditLog, declared in schema/Audit.def): who
// changed what, from where, with which request. A row is appended inside the transaction of the
// change it records; rows are read back as JSON lines and removed once older than the
// retention.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace zeb::zdl {

class CZDLSession;

struct AuditRow {
  std::int64_t timeMicros = 0;  // since 1970-01-01T00:00:00Z
  std::string node;             // the zebd that served the request ("host:port")
  std::uint32_t requestId = 0;  // the request's ID in that node's trace files
  std::string user;             // authenticated user, "" without authentication
  std::string clientAddress;
  std::string method;
  std::string recordTable;  // the table of the first row the request wrote
  std::string recordId;     // that row's key
  std::string request;      // the request text, secrets masked
  // "" for a change; for an attempt that was refused before it changed anything, why
  // ("forbidden": the caller's role does not allow the method). Such a row names no record.
  std::string refusal;
  // "node for address" when another node (one on a read-only standby) forwarded the request,
  // as that node said in its X-Zeb-Forwarded-By header; clientAddress is then that node's.
  std::string forwardedBy;
};

struct AuditFilter {
  std::optional<std::int64_t> sinceMicros;  // rows at or after this time
  std::string user;                         // exact user name; "" for any
  std::string method;                       // exact method name; "" for any
  std::string recordId;                     // canonical identifier; "" for any
};

// value (0 when negative) as 16 decimal digits: keys that begin with it sort as the values do.
// The audit log's and the change events' keys are made of it.
std::string SixteenDigits(std::int64_t value);

// Appends the row. REQUIRES: the session is inside the write transaction of the change.
void AppendAuditRow(CZDLSession& session, const AuditRow& row);

// Calls emit for every row matching the filter, oldest first (where the log is stored by
// sequence number: in the order they were appended, which differs only if the clock went back).
// Reads in pages, so that a long log is never held in memory whole.
void ReadAuditRows(CZDLSession& session, const AuditFilter& filter,
                   const std::function<void(const AuditRow&)>& emit);

// Removes the rows older than beforeMicros, a batch per transaction so that writers are held up
// only briefly. Returns the number removed.
long long PruneAuditRows(CZDLSession& session, std::int64_t beforeMicros);

// One JSON object on one line (no line feed), with the time in RFC 3339 UTC; "refusal" is there
// only for a refused attempt, "forwardedBy" only for a forwarded request.
std::string AuditRowJson(const AuditRow& row);

// Parses an RFC 3339 time ("2024-05-07T09:30:00Z", an offset such as "+02:00", a fraction), a
// date ("2024-05-07", midnight UTC), or an age ("90m", "36h", "7d", counted back from
// nowMicros). Returns nullopt for anything else.
std::optional<std::int64_t> ParseAuditTime(const std::string& text, std::int64_t nowMicros);

std::int64_t NowMicros();

// RFC 3339 UTC with microseconds: "2024-05-07T09:30:00.000000Z".
std::string FormatTime(std::int64_t micros);

// Appends text as a JSON string, quoted and escaped.
void AppendJsonString(std::string& out, const std::string& text);

// `zebd audit --db LOCATION [--since TIME] [--user U] [--method M] [--record UUID]`: prints the
// matching rows as JSON lines. Returns 0, 1 when the database cannot be read, 2 for wrong
// arguments.
int RunAuditCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace zeb::zdl
