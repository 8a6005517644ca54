// The configuration database: where it lives, its schema (created, upgraded or refused when the
// database is opened), one session per thread, and the module-wide caches of database content
// that must be told when that content changes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "zdl/CZDLSession.h"
#include "zdl/ResponseCache.h"
#include "zdl/SecretKey.h"
#include "zdl/TypeTableCache.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

// Bumped with every upgrade step that is more than adding tables, columns, indexes and type
// rows (those are applied by comparing the declaration with the database).
constexpr int kSchemaVersion = 8;

// A module-wide cache of database content. Each kind exists once per database and is dropped
// by InvalidateCaches (when another writer may have changed what it holds).
class ModuleCache {
 public:
  virtual ~ModuleCache() = default;
  virtual void Invalidate() = 0;
  // Whether a change of the table (lower-cased SQL name) may make the cache stale. A cache that
  // does not say is dropped whenever another node writes anything.
  virtual bool DependsOn(const std::string& /*table*/) const { return true; }
};

class PgChangeListener;
struct Driver;

class CZDLDatabase {
 public:
  // Opens the database at location: a postgresql:// or postgres:// URI or a libpq key=value
  // string selects the shared back end, anything else is the path of an embedded database
  // file. A missing or empty database is created with the schema and the seed data; one made
  // by an older build is upgraded in place (one process at a time). Throws CZDLException
  // (kZDLSchemaMismatch) for a database that is not one of ours or was made by a newer build,
  // and kZDLDatabaseUnavailable when it cannot be opened. On the shared back end a background
  // thread drops the caches when other processes change the database (see ListenForChanges).
  //
  // Service parameters that hold secrets are sealed with key: a new database is seeded with
  // them sealed, plain ones left by an older build are sealed as the database is opened, and a
  // key that does not open the sealed ones is refused (kZDLDatabaseUnavailable). Without a key
  // (tools and tests) a random one serves this object alone: stored secrets are then neither
  // checked nor sealed, and those seeded now cannot be read once it is gone.
  static std::unique_ptr<CZDLDatabase> Open(const std::string& location,
                                            std::shared_ptr<const SecretKey> key = nullptr);
  // Creates the schema without seed rows in a database that has no tables yet (the target of a
  // copy); a database that has our schema but no rows is accepted as it is. Throws
  // kZDLInvalidOperation when the database has rows, kZDLSchemaMismatch when it has tables of
  // another program.
  static std::unique_ptr<CZDLDatabase> CreateEmpty(const std::string& location);
  ~CZDLDatabase();
  CZDLDatabase(const CZDLDatabase&) = delete;
  CZDLDatabase& operator=(const CZDLDatabase&) = delete;

  // The calling thread's session, made on first use and owned by the database.
  CZDLSession& Session();

  const std::string& location() const { return location_; }
  const Dialect& dialect() const { return *dialect_; }
  // The key of the secret service parameters.
  const SecretKey& secretKey() const { return *secretKey_; }
  TypeTableCache& types() {
    ListenForChanges();
    return types_;
  }

  // The one cache of kind T (a ModuleCache with a default constructor), made on first use.
  template <class T>
  T& Cache() {
    ListenForChanges();
    std::lock_guard<std::mutex> lock(cachesMutex_);
    std::unique_ptr<ModuleCache>& slot = caches_[std::type_index(typeid(T))];
    if (!slot) slot = std::make_unique<T>();
    return static_cast<T&>(*slot);
  }
  // The answers of reads kept for repeated requests, once an age is set and where the changes
  // of other processes are heard: on a shared database while its announcements arrive; on a
  // file, each look-up first asks its snapshot (CZDLSession::LookForOthersChanges). Null
  // elsewhere, and while the announcements' connection is down.
  ResponseCache* responses();
  // REQUIRES: before the first request. How long kept answers may be served; 0 (as until
  // this is called) keeps none. On a shared database it starts listening for changes and
  // waits a moment for the listening to begin, so that answers are kept from the first request.
  void KeepAnswersFor(std::chrono::milliseconds age);
  // A commit ended, or may have (one of this process, or another connection's that a snapshot
  // showed): drops the answers it may have made stale.
  void NoteCommit() {
    if (responses_.keeps()) responses_.Invalidate();
  }
  // Drops the type tables, every module cache and the kept answers.
  void InvalidateCaches();
  // Drops what another process's change of these tables (lower-cased) made stale.
  void InvalidateForTables(const std::vector<std::string>& tables);
  // Drops everything after another process changed what this one cannot tell.
  void InvalidateForUnknownChange() {
    InvalidateCaches();
    NoteForeignChange();
  }
  // Counts the invalidations caused by other processes, and the cache entries this process
  // dropped after committing the change that made them stale. A session that filled a cache
  // from a snapshot taken before the count moved drops the caches again (see CZDLSession).
  std::uint64_t foreignChanges() const { return foreignChanges_.load(std::memory_order_acquire); }
  // Called after dropping a cache entry whose record this process changed and committed: a
  // request whose snapshot is older than the commit may fill the entry again from it.
  void NoteDroppedAfterCommit() { NoteForeignChange(); }
  // The location without secrets, for messages.
  std::string DisplayName() const;
  // Whether the server is read-only now (a hot standby); see ServerRole.
  bool readOnly() const { return role_.readOnly(); }
  ServerRole& role() { return role_; }

  // A hash of the schema declaration; stored in the database to detect upgrades.
  static std::string SchemaFingerprint(const Dialect& dialect);

 private:
  enum class Setup { kOpenOrCreate, kCreateEmpty };

  CZDLDatabase(std::string location, std::shared_ptr<const SecretKey> key);
  std::unique_ptr<DbConnection> Connect() const;
  void Initialise(Setup setup);
  void CheckSchema(CZDLSession& session);
  // Seals the secret parameters still in plain text and checks that the key opens the others.
  void SealSecrets(CZDLSession& session);
  // On the shared back end, starts the thread that drops the caches when other processes
  // change the database; once, when a cache is first used (before, nothing can be stale).
  void ListenForChanges() {
    if (shared_) std::call_once(listening_, [this] { StartListener(); });
  }
  void StartListener();
  void NoteForeignChange() { foreignChanges_.fetch_add(1, std::memory_order_acq_rel); }

  const std::string location_;
  const std::uint64_t instance_;
  const Driver& driver_;
  const bool shared_;         // a server other nodes share (PostgreSQL)
  const std::string token_;   // names this process in change announcements
  mutable ServerRole role_;
  std::unique_ptr<Dialect> dialect_;
  const std::shared_ptr<const SecretKey> secretKey_;
  const bool keyGiven_;
  TypeTableCache types_;
  std::mutex cachesMutex_;
  std::unordered_map<std::type_index, std::unique_ptr<ModuleCache>> caches_;
  ResponseCache responses_;
  std::mutex sessionsMutex_;
  std::vector<std::unique_ptr<CZDLSession>> sessions_;
  std::atomic<std::uint64_t> foreignChanges_{0};
  // Last: stopped before the caches it invalidates go.
  std::once_flag listening_;
  std::unique_ptr<PgChangeListener> listener_;
};

// Writes the seed data of a fresh cluster. With typesOnly, only the rows of the enumerated type
// tables (which upgrades extend); rows that exist already are left alone.
void SeedDatabase(CZDLSession& session, bool typesOnly);
// Adds the seeded service parameters that a database made by an older build lacks.
void SeedMissingParameters(CZDLSession& session);

}  // namespace zeb::zdl
