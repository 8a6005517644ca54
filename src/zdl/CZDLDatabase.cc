#include "zdl/CZDLDatabase.h"

#include <cstdio>
#include <unordered_map>

#include "zdl/CZDLException.h"
#include "zdl/Schema.h"
#include "zdl/sqlite/SqliteConnection.h"

namespace zeb::zdl {

namespace {

std::atomic<std::uint64_t> gNextInstance{1};

// The value of PRAGMA application_id that marks a file as ours ("ZEB1").
constexpr int kApplicationId = 0x5A454231;

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

void CreateAll(CZDLSession& session) {
  const Dialect& dialect = session.dialect();
  session.Execute(std::string("CREATE TABLE ") + kMetaTable + " (version INTEGER NOT NULL, fingerprint TEXT NOT NULL)");
  for (const TableDef* table : AllTables()) {
    for (const std::string& sql : dialect.CreateTable(*table)) session.Execute(sql);
  }
  SeedDatabase(session, false);
  session.Execute(std::string("INSERT INTO ") + kMetaTable + " (version, fingerprint) VALUES (?, ?)",
                  {kSchemaVersion, CZDLDatabase::SchemaFingerprint(dialect)});
}

// Brings an older database up to the declaration: new tables are created, new columns added,
// missing indexes built and new type rows inserted. Nothing is dropped or rewritten.
void Upgrade(CZDLSession& session) {
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
  session.Execute(std::string("UPDATE ") + kMetaTable + " SET version = ?, fingerprint = ?",
                  {kSchemaVersion, CZDLDatabase::SchemaFingerprint(dialect)});
}

}  // namespace

std::string CZDLDatabase::SchemaFingerprint(const Dialect& dialect) {
  std::string text;
  for (const TableDef* table : AllTables()) {
    for (const std::string& sql : dialect.CreateTable(*table)) text += sql + ";\n";
  }
  return Fnv1a(text);
}

CZDLDatabase::CZDLDatabase(std::string location)
    : location_(std::move(location)), instance_(gNextInstance++), dialect_(std::make_unique<SqliteDialect>()) {}

CZDLDatabase::~CZDLDatabase() = default;

std::unique_ptr<DbConnection> CZDLDatabase::Connect() const { return std::make_unique<SqliteConnection>(location_); }

std::unique_ptr<CZDLDatabase> CZDLDatabase::Open(const std::string& location) {
  std::unique_ptr<CZDLDatabase> database(new CZDLDatabase(location));
  database->Initialise();
  return database;
}

void CZDLDatabase::Initialise() {
  CZDLSession session(*this, Connect());
  const long long applicationId = session.Query("PRAGMA application_id").rows.at(0).at(0).AsInt();
  const long long tables = session.Query("SELECT count(*) FROM sqlite_master WHERE type = 'table'").rows.at(0).at(0).AsInt();
  if (tables == 0) {
    session.ExecScript("PRAGMA journal_mode = WAL; PRAGMA application_id = " + std::to_string(kApplicationId));
    CZDLTransaction transaction(session);
    CreateAll(session);
    transaction.Commit();
    return;
  }
  if (applicationId != kApplicationId || !dialect_->TableExists(session, kMetaTable)) {
    throw CZDLException(kZDLSchemaMismatch, "The file " + location_ + " is not a ZEB configuration database.");
  }
  session.ExecScript("PRAGMA journal_mode = WAL");
  const ResultSet meta = session.Query(std::string("SELECT version, fingerprint FROM ") + kMetaTable);
  if (meta.rows.empty()) {
    throw CZDLException(kZDLSchemaMismatch, "The configuration database " + location_ + " has no schema version.");
  }
  const long long version = meta.rows[0][0].AsInt();
  if (version > kSchemaVersion) {
    throw CZDLException(kZDLSchemaMismatch, "The configuration database " + location_ + " has schema version " +
                                                std::to_string(version) + ", newer than this build's " +
                                                std::to_string(kSchemaVersion) + ".");
  }
  if (version == kSchemaVersion && meta.rows[0][1].AsText() == SchemaFingerprint(*dialect_)) return;
  CZDLTransaction transaction(session);
  Upgrade(session);
  transaction.Commit();
}

void CZDLDatabase::InvalidateCaches() {
  types_.Invalidate();
  std::lock_guard<std::mutex> lock(cachesMutex_);
  for (auto& entry : caches_) entry.second->Invalidate();
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
