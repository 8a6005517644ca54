// What the directory classes (CUserInfoList, CUserInfo) need from a user directory: opening it
// with the manager's credentials, searching entries, and writing a set of changes. The embedded
// back end (OpenDatabaseDirectory) keeps the directory in the configuration database; the LDAP
// back end (OpenLdapDirectory) uses a directory server.
//
// Attributes are named as the directory classes name them ("givenName", "email", "pin",
// "deviceName", ...); each back end maps them to its own storage. The secrets ("password",
// "pin") travel in plain text from the request to Apply, which stores only a salted hash of the
// back end's kind; searches never return them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zdl/base/CZDLID.h"

namespace zeb::zdl {

class CZDLSession;

// One user entry: its relative name and its attributes, each with its values in order (a
// single-valued attribute has one value; an attribute without values is absent).
struct DirectoryEntry {
  CZDLID id;       // the embedded back end's key; null for an entry not yet written
  std::string dn;  // the distinguished name; "" for an entry not yet written
  std::string rn;
  std::map<std::string, std::vector<std::string>> attributes;
};

// Which entries a search selects. Patterns use % (any run of characters) and _ (any one
// character) and ignore case; an empty pattern selects regardless of that name.
struct DirectoryFilter {
  enum class Kind { kRn, kAttributeEquals, kNamePatterns };
  Kind kind = Kind::kRn;
  std::string rn;                         // kRn: the relative name, exactly but for letter case
  std::string attribute, value;           // kAttributeEquals: an attribute holding exactly value
  std::string givenName, surname;         // kNamePatterns
};

struct DirectoryChange {
  enum class Kind { kAdd, kModify, kDelete };
  Kind kind = Kind::kAdd;
  // kAdd: the whole entry; kModify: the entry's id, dn and the attributes that change (an
  // attribute without values is removed); kDelete: the entry's id and dn.
  DirectoryEntry entry;
};

class DirectoryBackEnd {
 public:
  virtual ~DirectoryBackEnd() = default;

  // Opens the directory as its manager. Throws CZDLException kZDLDatabaseUnavailable when the
  // directory refuses the credentials, is not set up or cannot be reached.
  virtual void Bind(const std::string& managerDn, const std::string& password) = 0;
  // The entries the filter selects, ordered by relative name (without regard to case), with
  // all their attributes but the secrets (a selection by name patterns, which only lists
  // names, may carry no more than cn, givenName and sn).
  virtual std::vector<DirectoryEntry> Search(const DirectoryFilter& filter) = 0;
  // Writes the changes; on return each added entry's id and dn hold its new key. Throws
  // CZDLException when a change is refused (an entry whose relative name exists already:
  // kZDLDuplicate). The embedded back end writes every change or none; a directory server
  // writes each entry whole or not at all (the handlers write one entry per request).
  virtual void Apply(std::vector<DirectoryChange>& changes) = 0;
};

// The directory kept in the configuration database of session.
std::unique_ptr<DirectoryBackEnd> OpenDatabaseDirectory(CZDLSession& session);

struct DirectorySettings;
// The directory server the settings name (a URL is given), used through the calling thread's
// connection: one per thread, kept between requests while the settings stay the same.
std::unique_ptr<DirectoryBackEnd> OpenLdapDirectory(const DirectorySettings& settings);

}  // namespace zeb::zdl
