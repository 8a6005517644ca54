// What the directory classes (CUserInfoList, CUserInfo) need from a user directory: opening it
// with the manager's credentials, searching entries, and writing a set of changes as one unit.
// The default back end (OpenDatabaseDirectory) keeps the directory in the configuration
// database; another back end (a directory server) would implement the same operations.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zdl/CZDLID.h"

namespace zeb::zdl {

class CZDLSession;

// One user entry: its relative name and its attributes, each with its values in order (a
// single-valued attribute has one value; an attribute without values is absent).
struct DirectoryEntry {
  CZDLID id;  // the back end's key; null for an entry not yet written
  std::string rn;
  std::map<std::string, std::vector<std::string>> attributes;
};

// Which entries a search selects. Patterns use % (any run of characters) and _ (any one
// character) and ignore case; an empty pattern selects regardless of that name.
struct DirectoryFilter {
  enum class Kind { kRn, kAttributeEquals, kNamePatterns };
  Kind kind = Kind::kRn;
  std::string rn;                         // kRn: the relative name, without regard to case
  std::string attribute, value;           // kAttributeEquals: an attribute holding exactly value
  std::string givenName, surname;         // kNamePatterns
};

struct DirectoryChange {
  enum class Kind { kAdd, kModify, kDelete };
  Kind kind = Kind::kAdd;
  // kAdd: the whole entry; kModify: the entry's id and the attributes that change (an attribute
  // without values is removed); kDelete: the entry's id.
  DirectoryEntry entry;
};

class DirectoryBackEnd {
 public:
  virtual ~DirectoryBackEnd() = default;

  // Opens the directory as its manager. Throws CZDLException kZDLDatabaseUnavailable when the
  // directory refuses the credentials or is not set up.
  virtual void Bind(const std::string& managerDn, const std::string& password) = 0;
  // The distinguished name under which user entries live ("ou=Users,o=zeb").
  virtual std::string UserBase() = 0;
  // The entries the filter selects, ordered by relative name, with all their attributes.
  virtual std::vector<DirectoryEntry> Search(const DirectoryFilter& filter) = 0;
  // Writes every change or none; on return each added entry's id holds its new key. Throws
  // CZDLException when a change is refused (an entry whose relative name exists already:
  // kZDLDuplicate).
  virtual void Apply(std::vector<DirectoryChange>& changes) = 0;
};

// The directory kept in the configuration database of session.
std::unique_ptr<DirectoryBackEnd> OpenDatabaseDirectory(CZDLSession& session);

}  // namespace zeb::zdl
