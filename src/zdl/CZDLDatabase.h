// The configuration database: where it lives, its schema (created, upgraded or refused when the
// database is opened), one session per thread, and the module-wide caches of database content
// that must be told when that content changes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "zdl/CZDLSession.h"
#include "zdl/Dialect.h"
#include "zdl/TypeTableCache.h"

namespace zeb::zdl {

// Bumped with every upgrade step that is more than adding tables, columns, indexes and type
// rows (those are applied by comparing the declaration with the database).
constexpr int kSchemaVersion = 1;

// A module-wide cache of database content. Each kind exists once per database and is dropped
// by InvalidateCaches (when another writer may have changed what it holds).
class ModuleCache {
 public:
  virtual ~ModuleCache() = default;
  virtual void Invalidate() = 0;
};

class CZDLDatabase {
 public:
  // Opens the database at location (a file path for the embedded back end). A missing or empty
  // database is created with the schema and the seed data; one made by an older build is
  // upgraded in place. Throws CZDLException (kZDLSchemaMismatch) for a database that is not one
  // of ours or was made by a newer build, and kZDLDatabaseUnavailable when it cannot be opened.
  static std::unique_ptr<CZDLDatabase> Open(const std::string& location);
  ~CZDLDatabase();
  CZDLDatabase(const CZDLDatabase&) = delete;
  CZDLDatabase& operator=(const CZDLDatabase&) = delete;

  // The calling thread's session, made on first use and owned by the database.
  CZDLSession& Session();

  const std::string& location() const { return location_; }
  const Dialect& dialect() const { return *dialect_; }
  TypeTableCache& types() { return types_; }

  // The one cache of kind T (a ModuleCache with a default constructor), made on first use.
  template <class T>
  T& Cache() {
    std::lock_guard<std::mutex> lock(cachesMutex_);
    std::unique_ptr<ModuleCache>& slot = caches_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_unique<T>();
    return static_cast<T&>(*slot);
  }
  // Drops the type tables and every module cache.
  void InvalidateCaches();

  // A hash of the schema declaration; stored in the database to detect upgrades.
  static std::string SchemaFingerprint(const Dialect& dialect);

 private:
  explicit CZDLDatabase(std::string location);
  std::unique_ptr<DbConnection> Connect() const;
  void Initialise();

  const std::string location_;
  const std::uint64_t instance_;
  std::unique_ptr<Dialect> dialect_;
  TypeTableCache types_;
  std::mutex cachesMutex_;
  std::unordered_map<std::type_index, std::unique_ptr<ModuleCache>> caches_;
  std::mutex sessionsMutex_;
  std::vector<std::unique_ptr<CZDLSession>> sessions_;
};

// Writes the seed data of a fresh cluster. With typesOnly, only the rows of the enumerated type
// tables (which upgrades extend); rows that exist already are left alone.
void SeedDatabase(CZDLSession& session, bool typesOnly);

}  // namespace zeb::zdl
