// A test of the record library run once per back end (the parameter: "sqlite" or "postgresql"):
// on an embedded database in a directory of its own, or on a fresh PostgreSQL database when
// ZEB_TEST_PG (or ZEB_TEST_DB) names a server, and skipped without one.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::test {

class OnBothBackEnds : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "sqlite") {
      location_ = dir_ / "zeb.db";
    } else {
      server_ = PgScratchDatabase::ServerForTests();
      if (server_.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
      scratch_ = std::make_unique<PgScratchDatabase>(server_, ZebdBuildStamp());
      location_ = scratch_->location();
    }
    db_ = zdl::CZDLDatabase::Open(location_);
  }

  zdl::CZDLSession& session() { return db_->Session(); }
  bool embedded() const { return scratch_ == nullptr; }

  TempDir dir_;
  std::string server_;  // empty on the embedded back end
  std::unique_ptr<PgScratchDatabase> scratch_;
  std::string location_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
};

}  // namespace zeb::test
