// Reads ahead, with one statement per kind, the rows builders then ask for one statement at a
// time, so that building a tree of records costs a fixed number of statements (and, on the
// shared back end, of round trips) whatever the tree's size. While a read-ahead lives, a Query
// of its session that it covers (the same text and values) is answered from the rows read
// ahead; every other Query goes to the database as before.
//
//   CZDLReadAhead ahead(session);
//   ahead.Add("SELECT * FROM AnalogAccess WHERE fkDevice = ?", devices,
//             "SELECT AnalogAccess.*, AnalogAccess.fkDevice FROM AnalogAccess JOIN MGCPDeviceMember m "
//             "ON m.fkDevice = AnalogAccess.fkDevice WHERE m.fkMGCP = ?", {gateway});
//   ahead.Add("SELECT * FROM SpeedDial WHERE fkDevice = ?", {phone});  // the statement itself
//   ahead.Run();  // both statements, in one round trip where the back end can
//   ... builders that run "SELECT * FROM AnalogAccess WHERE fkDevice = ?" per device ...
#pragma once

#include <map>
#include <string>
#include <vector>

#include "zdl/CItem.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

class CZDLReadAhead {
 public:
  explicit CZDLReadAhead(CZDLSession& session);
  ~CZDLReadAhead();
  CZDLReadAhead(const CZDLReadAhead&) = delete;
  CZDLReadAhead& operator=(const CZDLReadAhead&) = delete;

  // Additions are queued until Run. What this read-ahead or an outer one has answered already is
  // not read again; of two batches of one statement, the first to answer a key answers it.
  // The statement itself with these values.
  void Add(const std::string& sql, const std::vector<CZDLValue>& values);
  // keyed has one placeholder, the key. batch, run with values, returns keyed's columns followed
  // by the key, for every key of keys (rows of other keys are ignored), in the order keyed gives
  // within one key.
  void Add(const std::string& keyed, const std::vector<CZDLValue>& keys, const std::string& batch,
           const std::vector<CZDLValue>& values);
  // The same where the keys are not known beforehand: only the keys batch returns are covered.
  void Add(const std::string& keyed, const std::string& batch, const std::vector<CZDLValue>& values);
  // The read of the record of table by identifier, as CFastAccess::SelectByID runs it; nothing
  // for the null identifier (which is never read).
  void AddRecord(const std::string& table, const CZDLID& id);
  // Runs every queued statement (see CZDLSession::QueryAll).
  void Run();
  // Answers keyed for key with no rows unless a batch of keyed run before answered it: for the
  // key of a record the same batches found by name, once it is known. Nothing when no batch of
  // keyed ran.
  void Cover(const std::string& keyed, const CZDLValue& key);
  // Answers the read of the record by identifier (as CFastAccess::SelectByID and
  // CItemListBase::SelectByID run it) with the record as already read, in the same snapshot.
  void Know(const CItem& record);

  // The answer to sql with values, or nullptr when it was not read ahead.
  const ResultSet* Find(const std::string& sql, const std::vector<CZDLValue>& values) const;

 private:
  struct Pending {
    std::string keyed;
    std::vector<CZDLValue> keys;  // for a batch; else the statement's values
    bool batch;
    bool coverReturned;  // the keys the batch returns are covered too
  };

  CZDLSession& session_;
  CZDLReadAhead* outer_;
  std::vector<Statement> queued_;
  std::vector<Pending> pending_;
  std::map<std::string, std::map<std::string, ResultSet>> answers_;  // statement text, values
  std::map<std::string, ResultSet> noRows_;  // a batch's empty answer, by statement text
};

}  // namespace zeb::zdl
