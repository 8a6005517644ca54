#include "zdl/CZDLDatabase.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <unordered_map>

#include "zdl/CProcessConfigList.h"
#include "zdl/Drivers.h"
#include "zdl/WriteHooks.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DbDriver.h"
#include "zdl/base/Schema.h"
#include "zdl/postgresql/PgChangeListener.h"

namespace zeb::zdl {

namespace {

std::atomic<std::uint64_t> gNextInstance{1};

const char kMetaTable[] = "ZebSchema";

std::string Fnv1a(const std::string& text) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
  return out;
}

void CreateAll(CZDLSession& session, bool seed) {
  const Dialect& dialect = session.dialect();
  session.Execute(std::string("CREATE TABLE ") + kMetaTable + " (version INTEGER NOT NULL, fingerprint TEXT NOT NULL)");
  for (const TableDef* table : AllTables()) {
    for (const std::string& sql : dialect.CreateTable(*table)) session.Execute(sql);
  }
  if (seed) SeedDatabase(session, false);
  session.Execute(std::string("INSERT INTO ") + kMetaTable + " (version, fingerprint) VALUES (?, ?)",
                  {kSchemaVersion, CZDLDatabase::SchemaFingerprint(dialect)});
}

// The table is made again under its declaration and the rows copied with the key that
// keyExpression gives each (and, for a log stored by sequence, the number sequenceExpression
// gives), and the declared indexes are built once the new table has the old one's name, so that
// they keep their names.
void Rekey(CZDLSession& session, const char* ident, const std::string& keyExpression,
           const std::string& sequenceExpression = "") {
  const TableDef& table = TableOf(ident);
  TableDef rekeyed = table;
  rekeyed.name += "Rekeyed";
  session.Execute(session.dialect().CreateTable(rekeyed).front());
  std::string columns;
  for (std::size_t i = 1; i < table.columns.size(); ++i) columns += ", " + table.columns[i].name;
  const std::string sequence = sequenceExpression.empty() ? "" : std::string(kLogSequence) + ", ";
  const std::string sequenceValue = sequenceExpression.empty() ? "" : sequenceExpression + ", ";
  session.Execute("INSERT INTO " + rekeyed.name + " (" + sequence + "pkid" + columns + ") SELECT " + sequenceValue +
                  keyExpression + columns + " FROM " + table.name);
  session.Execute("DROP TABLE " + table.name);
  session.Execute("ALTER TABLE " + rekeyed.name + " RENAME TO " + table.name);
  for (const std::string& sql : session.dialect().CreateIndexes(table)) session.Execute(sql);
}

// A number column as 16 decimal digits.
std::string Padded(const std::string& column) {
  const std::string text = "CAST(" + column + " AS TEXT)";
  return "substr('0000000000000000' || " + text + ", length(" + text + ") + 1)";
}

// The steps of an upgrade from version that comparing the declaration with the database cannot
// find; they run once the declared tables, columns and indexes are there.
void UpgradeFromVersion(CZDLSession& session, long long version) {
  if (version < 2) {
    // The route filter joined the unique key of numbers, so the narrower key goes; calling
    // search spaces get the clauses that older builds left empty.
    session.Execute("DROP INDEX IF EXISTS ux_NumPlan_PatternInPartition");
    for (const auto& row : session.Query("SELECT pkid FROM CallingSearchSpace").rows) {
      RefreshCallingSearchSpaceClause(session, row[0]);
    }
  }
  if (version < 3) {
    // Every change paid for these index entries in its own transaction: the audit log's index
    // by record, for a rare look-up that a scan of the log in time order serves well enough,
    // and the entries of the references a row leaves unset.
    session.Execute("DROP INDEX IF EXISTS ix_AuditLog_RecordID");
  }
  if (version < 8) {
    // Reference indexes are built as CreateIndexes declares them now: partial where the
    // reference may be unset (from version 3), whole where it never is (from version 8).
    for (const TableDef* table : AllTables()) {
      for (const std::string& sql : session.dialect().DropReferenceIndexes(*table)) session.Execute(sql);
      for (const std::string& sql : session.dialect().CreateIndexes(*table)) session.Execute(sql);
    }
  }
  // The audit log's rows were keyed by random identifiers, and the change events by random
  // identifiers or, in version 5, by their times. The audit log's keys now start with the row's
  // time and the events are keyed by their ids; both tables are stored in key order
  // (schema/Audit.def, schema/ChangeEvents.def).
  if (version < 4) Rekey(session, "AuditEntry", Padded("Time") + " || '-' || pkid");
  if (version < 6) Rekey(session, "ChangeEvent", Padded("ID"));
  // The audit log is stored by sequence number where the back end can (AuditLog.h): the rows
  // are numbered in key order, those of one microsecond counted up from its first number.
  if (version < 7 && session.dialect().SequencesLogs()) {
    Rekey(session, "AuditEntry", "pkid",
          "Time * " + std::to_string(kLogSequencesPerMicro) +
              " + row_number() OVER (PARTITION BY Time ORDER BY pkid) - 1");
  }
}

// Brings an older database up to the declaration: new tables are created, new columns added,
// missing indexes built and new type rows inserted; then the versioned steps run. No row is
// dropped.
void Upgrade(CZDLSession& session, long long version) {
  const Dialect& dialect = session.dialect();
  for (const TableDef* table : AllTables()) {
    if (!dialect.TableExists(session, table->name)) {
      for (const std::string& sql : dialect.CreateTable(*table)) session.Execute(sql);
      continue;
    }
    const std::set<std::string> existing = dialect.TableColumns(session, table->name);
    for (const ColumnDef& column : table->columns) {
      std::string lowered = column.name;
      for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (existing.count(lowered)) continue;
      session.Execute("ALTER TABLE " + table->name + " ADD COLUMN " + dialect.ColumnDefinition(column));
    }
    for (const std::string& sql : dialect.CreateIndexes(*table)) session.Execute(sql);
  }
  SeedDatabase(session, true);
  UpgradeFromVersion(session, version);
  session.Execute(std::string("UPDATE ") + kMetaTable + " SET version = ?, fingerprint = ?",
                  {kSchemaVersion, CZDLDatabase::SchemaFingerprint(dialect)});
}

bool HasRows(CZDLSession& session) {
  for (const TableDef* table : AllTables()) {
    if (!session.Query("SELECT 1 FROM " + table->name + " LIMIT 1").rows.empty()) return true;
  }
  return false;
}

}  // namespace

std::string CZDLDatabase::SchemaFingerprint(const Dialect& dialect) {
  std::string text;
  for (const TableDef* table : AllTables()) {
    for (const std::string& sql : dialect.CreateTable(*table)) text += sql + ";\n";
  }
  return Fnv1a(text);
}

CZDLDatabase::CZDLDatabase(std::string location, std::shared_ptr<const SecretKey> key)
    : location_(std::move(location)),
      instance_(gNextInstance++),
      driver_(DriverFor(location_)),
      shared_(driver_.shared),
      token_(CZDLID::New().str()),
      secretKey_(key ? key : SecretKey::Generate()),
      keyGiven_(key != nullptr) {
  dialect_ = driver_.makeDialect();
}

CZDLDatabase::~CZDLDatabase() { listener_.reset(); }

std::unique_ptr<DbConnection> CZDLDatabase::Connect() const { return driver_.connect(location_, token_, role_); }

std::string CZDLDatabase::DisplayName() const { return driver_.displayName(location_); }

std::unique_ptr<CZDLDatabase> CZDLDatabase::Open(const std::string& location, std::shared_ptr<const SecretKey> key) {
  std::unique_ptr<CZDLDatabase> database(new CZDLDatabase(location, std::move(key)));
  database->Initialise(Setup::kOpenOrCreate);
  return database;
}

std::unique_ptr<CZDLDatabase> CZDLDatabase::CreateEmpty(const std::string& location) {
  std::unique_ptr<CZDLDatabase> database(new CZDLDatabase(location, nullptr));
  database->Initialise(Setup::kCreateEmpty);
  return database;
}

void CZDLDatabase::Initialise(Setup setup) {
  // The opening thread's session: it usually goes on to use it.
  CZDLSession& session = Session();
  {
    // The write lock makes concurrent starts of several nodes on a new database take turns.
    CZDLTransaction transaction(session);
    if (dialect_->CountTables(session) == 0) {
      if (readOnly()) {
        throw CZDLException(kZDLSchemaMismatch, "The database " + DisplayName() +
                                                    " is a read-only standby without a configuration schema: "
                                                    "start a node on its primary first.");
      }
      dialect_->PrepareSchema(session);
      CreateAll(session, setup == Setup::kOpenOrCreate);
    } else {
      CheckSchema(session);
      // An empty schema of ours (left by a copy that failed) may be filled.
      if (setup == Setup::kCreateEmpty && HasRows(session)) {
        throw CZDLException(kZDLInvalidOperation, "The database " + DisplayName() + " is not empty.");
      }
      // A hot standby gets these rows from its primary's node.
      if (setup == Setup::kOpenOrCreate && !readOnly()) SeedMissingParameters(session);
      if (setup == Setup::kOpenOrCreate) SealSecrets(session);
    }
    transaction.Commit();
  }
  dialect_->AfterOpen(session);
}

// REQUIRES: a write transaction on a database that has tables.
void CZDLDatabase::CheckSchema(CZDLSession& session) {
  const std::string what = (shared_ ? "The database " : "The file ") + DisplayName();
  if (!dialect_->CarriesOurMark(session) || !dialect_->TableExists(session, kMetaTable)) {
    throw CZDLException(kZDLSchemaMismatch, what + " is not a ZEB configuration database.");
  }
  const ResultSet meta = session.Query(std::string("SELECT version, fingerprint FROM ") + kMetaTable);
  if (meta.rows.empty()) {
    throw CZDLException(kZDLSchemaMismatch, "The configuration database " + DisplayName() + " has no schema version.");
  }
  const long long version = meta.rows[0][0].AsInt();
  if (version > kSchemaVersion) {
    throw CZDLException(kZDLSchemaMismatch, "The configuration database " + DisplayName() + " has schema version " +
                                                std::to_string(version) + ", newer than this build's " +
                                                std::to_string(kSchemaVersion) + ".");
  }
  if (version == kSchemaVersion && meta.rows[0][1].AsText() == SchemaFingerprint(*dialect_)) return;
  if (readOnly()) {
    throw CZDLException(kZDLSchemaMismatch, "The configuration database " + DisplayName() +
                                                " is a read-only standby whose schema this build would upgrade: "
                                                "start this build on its primary first.");
  }
  dialect_->PrepareSchema(session);
  Upgrade(session, version);
}

void CZDLDatabase::SealSecrets(CZDLSession& session) {
  if (!keyGiven_) return;
  CProcessConfigList parameters(session);
  parameters.SelectAll();
  bool sealedAny = false;
  for (parameters.MoveFirst(); !parameters.IsEOF(); parameters.MoveNext()) {
    auto parameter = parameters.GetCurrentItem();
    const std::string name = parameter->GetParamName(), value = parameter->GetParamValue();
    if (!IsSecretParameter(name) || value.empty()) continue;
    if (IsSealed(value)) {
      secretKey_->Open(name, value);
    } else {
      parameter->PutParamValue(secretKey_->Seal(name, value));
      sealedAny = true;
    }
  }
  // A standby's plain secrets are sealed by its primary's node.
  if (sealedAny && !readOnly()) parameters.Update();
}

void CZDLDatabase::StartListener() {
  listener_ = std::make_unique<PgChangeListener>(
      location_, token_, [this](const std::vector<std::string>& tables) { InvalidateForTables(tables); },
      [this] { InvalidateForUnknownChange(); });
}

void CZDLDatabase::KeepAnswersFor(std::chrono::milliseconds age) {
  responses_.SetMaxAge(age);
  if (!shared_ || !responses_.keeps()) return;
  ListenForChanges();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (!listener_->listening() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

ResponseCache* CZDLDatabase::responses() {
  if (!responses_.keeps()) return nullptr;
  if (!shared_) return &responses_;
  ListenForChanges();
  return listener_->listening() ? &responses_ : nullptr;
}

void CZDLDatabase::InvalidateCaches() {
  types_.Invalidate();
  responses_.Invalidate();
  std::lock_guard<std::mutex> lock(cachesMutex_);
  for (auto& entry : caches_) entry.second->Invalidate();
}

void CZDLDatabase::InvalidateForTables(const std::vector<std::string>& tables) {
  responses_.Invalidate();
  bool typeTable = false;
  for (const std::string& name : tables) {
    const TableDef* table = FindTable(name);
    typeTable = typeTable || !table || table->isType;
  }
  if (typeTable) types_.Invalidate();
  {
    std::lock_guard<std::mutex> lock(cachesMutex_);
    for (auto& entry : caches_) {
      for (const std::string& table : tables) {
        if (!entry.second->DependsOn(table)) continue;
        entry.second->Invalidate();
        break;
      }
    }
  }
  NoteForeignChange();
}
CZDLSession& CZDLDatabase::Session() {
  thread_local std::unordered_map<std::uint64_t, CZDLSession*> mine;
  auto found = mine.find(instance_);
  if (found != mine.end()) return *found->second;
  auto session = std::make_unique<CZDLSession>(*this, Connect());
  CZDLSession* result = session.get();
  {
    std::lock_guard<std::mutex> lock(sessionsMutex_);
    sessions_.push_back(std::move(session));
  }
  mine.emplace(instance_, result);
  return *result;
}

}  // namespace zeb::zdl
