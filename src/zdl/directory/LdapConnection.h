// One connection to a directory server through OpenLDAP's client library: opened on a URL (with
// StartTLS when asked), bound as one identity, and used for paged searches and single-entry
// writes. Every operation is bounded by a time-out and by the request's deadline, so no request
// waits on a dead server past its time limit, and counts as a wait on the directory server's
// gate (DatabaseWait.h). Used by one thread at a time.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct ldap;
struct timeval;

namespace zeb::zdl {

// Attribute values by attribute name (as the server names the attribute).
using LdapAttributes = std::map<std::string, std::vector<std::string>>;

struct LdapEntry {
  std::string dn;
  LdapAttributes attributes;

  // The values of the attribute, whatever the case of its name; none when absent.
  const std::vector<std::string>& Values(const std::string& attribute) const;
};

class LdapConnection {
 public:
  static constexpr std::chrono::seconds kConnectTimeout{3};
  static constexpr std::chrono::seconds kOperationTimeout{10};

  // Prepares a connection to url (one ldap:// or ldaps:// URL); the server is first contacted
  // by Bind. Throws CZDLException kZDLDatabaseUnavailable for a URL that is not of those kinds.
  LdapConnection(const std::string& url, bool startTls);
  ~LdapConnection();
  LdapConnection(const LdapConnection&) = delete;
  LdapConnection& operator=(const LdapConnection&) = delete;

  // Connects when not yet connected (StartTLS first when asked) and binds with dn and password.
  // Throws CZDLException kZDLDatabaseUnavailable: refusedText when the server refuses the
  // credentials, "The directory cannot be used: ..." when it cannot be reached or used.
  void Bind(const std::string& dn, const std::string& password, const std::string& refusedText);

  // The entries below base (one level down, or base itself when baseOnly) that filter selects,
  // with the attributes named, read a page at a time. A base that does not exist gives none
  // when baseOnly, and throws CZDLException kZDLRecordNotFound otherwise.
  std::vector<LdapEntry> Search(const std::string& base, bool baseOnly, const std::string& filter,
                                const std::vector<std::string>& attributes);
  // Writes one entry: adds it with its attributes, replaces the attributes named (an attribute
  // without values is removed) and adds values, or deletes it. Throws CZDLException: kZDLDuplicate
  // for an entry that exists already, kZDLRecordNotFound for one that does not,
  // kZDLInvalidParameter with the server's reason for a name it refuses, kZDLGeneralError
  // with the server's reason for a change it refuses, kZDLDatabaseUnavailable when the server
  // cannot be reached (as every operation does).
  void Add(const std::string& dn, const LdapAttributes& attributes);
  void Modify(const std::string& dn, const LdapAttributes& replace, const LdapAttributes& add);
  void Delete(const std::string& dn);

  // True once the server was lost: the connection cannot be used again.
  bool lost() const { return lost_; }
  // True when the connection was found closed (rather than the server slow to answer): a
  // connection kept between requests may have been closed meanwhile, and connecting again is
  // worth one try.
  bool closed() const { return closed_; }

 private:
  // Sets the time-outs of the next operation from what is left of the request's time, at most
  // kOperationTimeout, and returns it; throws kZDLDatabaseUnavailable when none is left.
  timeval BeginOperation();
  // Throws the CZDLException for a result code that is not success.
  [[noreturn]] void Fail(int rc, const std::string& refusedText = "");
  std::string Diagnostic() const;

  struct ldap* ld_ = nullptr;
  bool startTls_;
  bool connected_ = false;
  bool lost_ = false;
  bool closed_ = false;
};

// RFC 4515 escaping of a value for a search filter (libldap's ldap_bv2escaped_filter_value).
std::string EscapeFilterValue(const std::string& value);
// The distinguished name attribute=value under base, the value escaped as RFC 4514 requires
// (built with ldap_dn2str). Throws CZDLException kZDLInvalidParameter when base is no DN.
std::string ChildDn(const std::string& attribute, const std::string& value, const std::string& base);
// The value of the first (leftmost) attribute of dn's relative name; "" when dn cannot be read.
std::string FirstRdnValue(const std::string& dn);

}  // namespace zeb::zdl
