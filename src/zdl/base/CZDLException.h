// The configuration database library's exception: an exception ID and a text a client can act
// on. Handlers throw it too, for records that do not exist (ID 2), values that cannot be looked
// up (ID 8) and exhausted memory (ID 15).
#pragma once

#include <exception>
#include <string>

namespace zeb::zdl {

// Every exception ID the library raises. The numbers travel to clients in fault details, so
// they never change once released.
enum ZDLExceptionID : int {
  kZDLGeneralError = 1,         // unexpected database failure; the text carries the reason
  kZDLRecordNotFound = 2,       // a record named by the request does not exist
  kZDLDuplicate = 3,            // a unique value (a name, a pattern in its partition) exists already
  kZDLStillReferenced = 4,      // a record cannot be removed while another record refers to it
  kZDLReferenceMissing = 5,     // a record refers to a record that does not exist
  kZDLRequiredValue = 6,        // a column that must have a value has none
  kZDLDatabaseUnavailable = 7,  // the database cannot be opened or reached
  kZDLInvalidParameter = 8,     // a value that cannot be looked up or parsed (for example an ID)
  kZDLBusy = 9,                 // the database stayed locked by other writers past the time-out
  kZDLSchemaMismatch = 10,      // the database was made by another program or a newer build
  kZDLInvalidOperation = 11,    // an operation the record's state does not allow
  kZDLOutOfMemory = 15,         // memory exhausted
};

class CZDLException : public std::exception {
 public:
  // Which back end failed: the configuration database, or the directory server (whose failures
  // are counted apart).
  enum class Origin { kDatabase, kDirectory };

  CZDLException(int id, std::string text, Origin origin = Origin::kDatabase)
      : id_(id), text_(std::move(text)), origin_(origin) {}

  int GetExceptionID() const { return id_; }
  Origin origin() const { return origin_; }
  const std::string& GetExceptionStr() const { return text_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int id_;
  std::string text_;
  Origin origin_;
};

}  // namespace zeb::zdl
