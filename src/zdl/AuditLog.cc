#include "zdl/AuditLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <set>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLSession.h"
#include "zdl/Drivers.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/CZDLID.h"
#include "zdl/base/Dialect.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

namespace {

constexpr int kPageRows = 500;
constexpr int kPruneBatch = 1000;
constexpr std::int64_t kMicrosPerSecond = 1'000'000;

const std::string kRowColumns =
    "Time, Node, RequestID, UserName, ClientAddress, Method, RecordTable, RecordID, Request, Refusal, ForwardedBy";

// Reads exactly `digits` decimal digits at text[*pos].
bool Digits(const std::string& text, std::size_t* pos, int digits, int* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i, ++*pos) {
    if (*pos >= text.size() || text[*pos] < '0' || text[*pos] > '9') return false;
    *value = *value * 10 + (text[*pos] - '0');
  }
  return true;
}

bool Expect(const std::string& text, std::size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

std::optional<std::int64_t> ParseAge(const std::string& text, std::int64_t nowMicros) {
  if (text.size() < 2 || text.size() > 12) return std::nullopt;
  std::int64_t count = 0;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    count = count * 10 + (text[i] - '0');
  }
  const std::string units = "smhd";
  const std::int64_t seconds[] = {1, 60, 3600, 86400};
  const std::size_t unit = units.find(text.back());
  if (unit == std::string::npos) return std::nullopt;
  return nowMicros - count * seconds[unit] * kMicrosPerSecond;
}

std::optional<std::int64_t> ParseDateTime(const std::string& text) {
  std::size_t pos = 0;
  std::tm when{};
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!Digits(text, &pos, 4, &year) || !Expect(text, &pos, '-') || !Digits(text, &pos, 2, &month) ||
      !Expect(text, &pos, '-') || !Digits(text, &pos, 2, &day))
    return std::nullopt;
  std::int64_t fraction = 0;
  int offsetMinutes = 0;
  if (pos < text.size()) {
    if (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ') return std::nullopt;
    ++pos;
    if (!Digits(text, &pos, 2, &hour) || !Expect(text, &pos, ':') || !Digits(text, &pos, 2, &minute))
      return std::nullopt;
    if (Expect(text, &pos, ':') && !Digits(text, &pos, 2, &second)) return std::nullopt;
    if (Expect(text, &pos, '.')) {
      std::int64_t scale = kMicrosPerSecond;
      const std::size_t from = pos;
      for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (scale > 1) scale /= 10, fraction += (text[pos] - '0') * scale;
      }
      if (pos == from) return std::nullopt;
    }
    if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
      ++pos;
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      const int sign = text[pos++] == '-' ? -1 : 1;
      int hours, minutes;
      if (!Digits(text, &pos, 2, &hours) || !Expect(text, &pos, ':') || !Digits(text, &pos, 2, &minutes))
        return std::nullopt;
      offsetMinutes = sign * (hours * 60 + minutes);
    }
  }
  if (pos != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60)
    return std::nullopt;
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_hour = hour;
  when.tm_min = minute;
  when.tm_sec = second;
  const std::int64_t seconds = static_cast<std::int64_t>(timegm(&when)) - offsetMinutes * 60;
  return seconds * kMicrosPerSecond + fraction;
}

// The time part of the audit log's key: 16 decimal digits and '-'. Every key of a row written at
// or after that time sorts after it, every key of an earlier row before it.
std::string AuditKeyBefore(std::int64_t micros) { return SixteenDigits(micros) + '-'; }

// The lowest sequence number a row written at micros can have.
long long FirstSequence(std::int64_t micros) {
  return static_cast<long long>(std::max<std::int64_t>(micros, 0)) * kLogSequencesPerMicro;
}
// The position after which reading starts so as to see every row written at or after micros
// (and, by key, none written before), and the one before which every row is older than micros:
// a key, or a sequence number where the log is stored by sequence.
CZDLValue ReadFrom(bool sequenced, std::int64_t micros) {
  return sequenced ? CZDLValue(FirstSequence(micros) - 1) : CZDLValue(AuditKeyBefore(micros));
}
CZDLValue OlderThan(bool sequenced, std::int64_t micros) {
  return sequenced ? CZDLValue(FirstSequence(micros)) : CZDLValue(AuditKeyBefore(micros));
}
std::string PositionColumn(bool sequenced) { return sequenced ? kLogSequence : "pkid"; }

AuditRow RowOf(const std::vector<CZDLValue>& values) {
  AuditRow row;
  row.timeMicros = values[0].AsInt();
  row.node = values[1].AsText();
  row.requestId = static_cast<std::uint32_t>(values[2].AsInt());
  row.user = values[3].AsText();
  row.clientAddress = values[4].AsText();
  row.method = values[5].AsText();
  row.recordTable = values[6].AsText();
  row.recordId = values[7].AsText();
  row.request = values[8].AsText();
  row.refusal = values[9].AsText();
  row.forwardedBy = values[10].AsText();
  return row;
}

}  // namespace

std::string SixteenDigits(std::int64_t value) {
  std::string digits(16, '0');
  auto rest = static_cast<std::uint64_t>(std::max<std::int64_t>(value, 0));
  for (int i = 15; i >= 0 && rest > 0; --i, rest /= 10) digits[i] = static_cast<char>('0' + rest % 10);
  return digits;
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string FormatTime(std::int64_t micros) {
  std::time_t seconds = static_cast<std::time_t>(micros / kMicrosPerSecond);
  std::int64_t fraction = micros % kMicrosPerSecond;
  if (fraction < 0) fraction += kMicrosPerSecond, --seconds;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[48];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + length, sizeof text - length, ".%06lldZ", static_cast<long long>(fraction));
  return text;
}

std::int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void AppendAuditRow(CZDLSession& session, const AuditRow& row) {
  const std::string key = AuditKeyBefore(row.timeMicros) + CZDLID::New().str();
  static const std::string kKeyed = Dialect::InsertRow(TableOf("AuditEntry"), false);
  static const std::string kSequenced = Dialect::InsertRow(TableOf("AuditEntry"), true);
  session.Execute(session.dialect().SequencesLogs() ? kSequenced : kKeyed,
                  {CZDLValue(key), CZDLValue(static_cast<long long>(row.timeMicros)), CZDLValue(row.node),
                   CZDLValue(static_cast<long long>(row.requestId)), CZDLValue(row.user),
                   CZDLValue(row.clientAddress), CZDLValue(row.method), CZDLValue(row.recordTable),
                   row.recordId.empty() ? CZDLValue() : CZDLValue(row.recordId), CZDLValue(row.request),
                   CZDLValue(row.refusal), CZDLValue(row.forwardedBy)});
}

void ReadAuditRows(CZDLSession& session, const AuditFilter& filter,
                   const std::function<void(const AuditRow&)>& emit) {
  const bool sequenced = session.dialect().SequencesLogs();
  const std::string position = PositionColumn(sequenced);
  std::string where = position + " > ?";
  std::vector<CZDLValue> fixed;
  if (filter.sinceMicros) where += " AND Time >= ?", fixed.emplace_back(static_cast<long long>(*filter.sinceMicros));
  if (!filter.user.empty()) where += " AND UserName = ?", fixed.emplace_back(filter.user);
  if (!filter.method.empty()) where += " AND Method = ?", fixed.emplace_back(filter.method);
  if (!filter.recordId.empty()) where += " AND RecordID = ?", fixed.emplace_back(filter.recordId);
  const std::string sql = "SELECT " + kRowColumns + ", " + position + " FROM AuditLog WHERE " + where +
                          " ORDER BY " + position + " LIMIT " + std::to_string(kPageRows);
  // Pages continue after the last position seen.
  CZDLValue last = ReadFrom(sequenced, filter.sinceMicros.value_or(0));
  for (;;) {
    std::vector<CZDLValue> values{last};
    values.insert(values.end(), fixed.begin(), fixed.end());
    const ResultSet page = session.Query(sql, values);
    for (const auto& row : page.rows) emit(RowOf(row));
    if (page.rows.size() < static_cast<std::size_t>(kPageRows)) return;
    last = page.rows.back().back();  // the position, after the row's columns
  }
}

long long PruneAuditRows(CZDLSession& session, std::int64_t beforeMicros) {
  const bool sequenced = session.dialect().SequencesLogs();
  const std::string position = PositionColumn(sequenced);
  const std::string sql = "DELETE FROM AuditLog WHERE " + position + " IN (SELECT " + position +
                          " FROM AuditLog WHERE " + position + " < ? ORDER BY " + position + " LIMIT " +
                          std::to_string(kPruneBatch) + ")";
  long long removed = 0;
  for (;;) {
    CZDLTransaction transaction(session);
    const long long batch = session.Execute(sql, {OlderThan(sequenced, beforeMicros)});
    transaction.Commit();
    removed += batch;
    if (batch < kPruneBatch) return removed;
  }
}

std::string AuditRowJson(const AuditRow& row) {
  std::string json = "{\"time\":\"" + FormatTime(row.timeMicros) + "\",\"node\":";
  AppendJsonString(json, row.node);
  json += ",\"requestId\":" + std::to_string(row.requestId) + ",\"user\":";
  AppendJsonString(json, row.user);
  json += ",\"clientAddress\":";
  AppendJsonString(json, row.clientAddress);
  json += ",\"method\":";
  AppendJsonString(json, row.method);
  json += ",\"recordTable\":";
  AppendJsonString(json, row.recordTable);
  json += ",\"recordId\":";
  AppendJsonString(json, row.recordId);
  if (!row.refusal.empty()) {
    json += ",\"refusal\":";
    AppendJsonString(json, row.refusal);
  }
  if (!row.forwardedBy.empty()) {
    json += ",\"forwardedBy\":";
    AppendJsonString(json, row.forwardedBy);
  }
  json += ",\"request\":";
  AppendJsonString(json, row.request);
  json += '}';
  return json;
}

std::optional<std::int64_t> ParseAuditTime(const std::string& text, std::int64_t nowMicros) {
  if (auto age = ParseAge(text, nowMicros)) return age;
  return ParseDateTime(text);
}

int RunAuditCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
  static constexpr char kUsage[] =
      "usage: zebd audit --db LOCATION [--since TIME] [--user U] [--method M] [--record UUID]\n"
      "Prints the audit log of changes, oldest first, one JSON object per line.\n";
  std::string location, problem;
  AuditFilter filter;
  std::set<std::string> seen;
  for (int i = 0; i < argc && problem.empty(); i += 2) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      out << kUsage << "  --db LOCATION   the configuration database (file or postgresql:// URI)\n"
          << "  --since TIME    rows from then on: 2024-05-07, 2024-05-07T09:30:00Z, or an age such as 7d\n"
          << "  --user U        rows of requests by that authenticated user\n"
          << "  --method M      rows of that method\n"
          << "  --record UUID   rows of changes to that record\n";
      return 0;
    }
    if (!seen.insert(option).second) {
      problem = option + " is given more than once";
      break;
    }
    if (i + 1 >= argc) {
      problem = option + " needs a value";
      break;
    }
    const std::string value = argv[i + 1];
    if (option == "--db") {
      location = value;
    } else if (option == "--since") {
      filter.sinceMicros = ParseAuditTime(value, NowMicros());
      if (!filter.sinceMicros)
        problem = "--since: '" + value + "' is not a time (2024-05-07, 2024-05-07T09:30:00Z, 7d)";
    } else if (option == "--user") {
      filter.user = value;
    } else if (option == "--method") {
      filter.method = value;
    } else if (option == "--record") {
      if (!CZDLID::IsWellFormed(value))
        problem = "--record: '" + value + "' is not an identifier";
      else
        filter.recordId = CZDLID(value).str();
    } else {
      problem = "unknown option " + option;
    }
  }
  if (problem.empty() && location.empty()) problem = "--db is required";
  if (!problem.empty()) {
    err << "zebd audit: " << problem << "\n" << kUsage;
    return 2;
  }
  try {
    if (!IsSharedLocation(location) && !std::filesystem::exists(location)) {
      throw CZDLException(kZDLDatabaseUnavailable, "There is no configuration database " + location + ".");
    }
    auto database = CZDLDatabase::Open(location);
    CZDLSession& session = database->Session();
    CZDLReadScope snapshot(session);
    ReadAuditRows(session, filter, [&out](const AuditRow& row) { out << AuditRowJson(row) << '\n'; });
    out << std::flush;
  } catch (const std::exception& error) {
    err << "zebd audit: " << error.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace zeb::zdl
