// Fresh PostgreSQL databases for tests. Each one is a copy of a template that holds the schema
// and seed data of this build (made once per server and build, under a lock, by whichever test
// needs it first), so a test pays for a database copy instead of for creating the schema.
#pragma once

#include <string>

namespace zeb::test {

class PgScratchDatabase {
 public:
  enum class Contents { kSeeded, kEmpty };

  // Creates a database with a random name on the server that server (a PostgreSQL location
  // naming a database the test may connect to, such as "postgres") reaches: a copy of the
  // template of the build that buildStamp names, or with kEmpty a database without tables.
  // Throws std::runtime_error.
  PgScratchDatabase(const std::string& server, const std::string& buildStamp,
                    Contents contents = Contents::kSeeded);
  // Drops the database, closing whatever connections it still has.
  ~PgScratchDatabase();
  PgScratchDatabase(const PgScratchDatabase&) = delete;
  PgScratchDatabase& operator=(const PgScratchDatabase&) = delete;

  // A libpq key=value location of the new database.
  const std::string& location() const { return location_; }
  const std::string& name() const { return name_; }

  // The server for tests that need PostgreSQL: ZEB_TEST_PG, else ZEB_TEST_DB when it names a
  // PostgreSQL database; "" when neither does.
  static std::string ServerForTests();

 private:
  std::string server_;
  std::string name_;
  std::string location_;
};

// Runs SQL on a connection of its own to location; "" on success, else the server's message.
// Throws std::runtime_error when it cannot connect.
std::string PgRun(const std::string& location, const std::string& sql);

// The location of database on the server that server reaches, as a libpq key=value string.
std::string PgLocationOf(const std::string& server, const std::string& database);

}  // namespace zeb::test
