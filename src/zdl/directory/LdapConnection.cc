#include "zdl/directory/LdapConnection.h"

#include <ldap.h>
#include <strings.h>

#include <memory>
#include <mutex>

#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

namespace {

// Entries per page of a search: large enough to keep round trips few, small enough that a
// server's default page limits accept it.
constexpr int kPageSize = 500;

constexpr auto kDirectory = CZDLException::Origin::kDirectory;

timeval AsTimeval(DeadlineClock::duration duration) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
  return timeval{static_cast<time_t>(us / 1'000'000), static_cast<suseconds_t>(us % 1'000'000)};
}

// The library sets up its global options on the first call into it, and that call must not
// run in two threads at once. Requests open connections from several workers, so the first
// call is made here, once, and every other thread waits until it has returned.
void InitializeLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    int version = 0;
    ldap_get_option(nullptr, LDAP_OPT_PROTOCOL_VERSION, &version);
  });
}

// Codes after which the connection is gone or the server cannot serve: the directory is
// unusable until it is back.
bool IsOutage(int rc) {
  return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT || rc == LDAP_UNAVAILABLE ||
         rc == LDAP_BUSY || rc == LDAP_TIMELIMIT_EXCEEDED || rc == LDAP_LOCAL_ERROR || rc == LDAP_NO_MEMORY;
}

// The modification list of libldap: LDAPMod entries pointing into bervals kept here.
class ModList {
 public:
  void Add(int op, const std::string& attribute, const std::vector<std::string>& values) {
    auto mod = std::make_unique<Mod>();
    mod->name = attribute;
    for (const std::string& value : values) {
      mod->values.push_back(berval{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())});
    }
    for (berval& value : mod->values) mod->pointers.push_back(&value);
    mod->pointers.push_back(nullptr);
    mod->mod.mod_op = op | LDAP_MOD_BVALUES;
    mod->mod.mod_type = &mod->name[0];
    mod->mod.mod_bvalues = mod->pointers.data();
    mods_.push_back(std::move(mod));
  }
  LDAPMod** Get() {
    pointers_.clear();
    for (auto& mod : mods_) pointers_.push_back(&mod->mod);
    pointers_.push_back(nullptr);
    return pointers_.data();
  }

 private:
  struct Mod {
    std::string name;
    std::vector<berval> values;
    std::vector<berval*> pointers;
    LDAPMod mod{};
  };
  std::vector<std::unique_ptr<Mod>> mods_;
  std::vector<LDAPMod*> pointers_;
};

// Reads the entries of one page of a search result.
void ReadEntries(LDAP* ld, LDAPMessage* result, std::vector<LdapEntry>& entries) {
  for (LDAPMessage* message = ldap_first_entry(ld, result); message; message = ldap_next_entry(ld, message)) {
    LdapEntry entry;
    if (char* dn = ldap_get_dn(ld, message)) {
      entry.dn = dn;
      ldap_memfree(dn);
    }
    BerElement* ber = nullptr;
    for (char* name = ldap_first_attribute(ld, message, &ber); name; name = ldap_next_attribute(ld, message, ber)) {
      std::vector<std::string>& values = entry.attributes[name];
      if (berval** read = ldap_get_values_len(ld, message, name)) {
        for (berval** value = read; *value; ++value) values.emplace_back((*value)->bv_val, (*value)->bv_len);
        ldap_value_free_len(read);
      }
      ldap_memfree(name);
    }
    if (ber) ber_free(ber, 0);
    entries.push_back(std::move(entry));
  }
}

}  // namespace

const std::vector<std::string>& LdapEntry::Values(const std::string& attribute) const {
  static const std::vector<std::string> kNone;
  for (const auto& [name, values] : attributes) {
    if (strcasecmp(name.c_str(), attribute.c_str()) == 0) return values;
  }
  return kNone;
}

LdapConnection::LdapConnection(const std::string& url, bool startTls) : startTls_(startTls) {
  InitializeLibraryOnce();
  LDAPURLDesc* parsed = nullptr;
  const bool usable = ldap_url_parse(url.c_str(), &parsed) == LDAP_URL_SUCCESS &&
                      (strcasecmp(parsed->lud_scheme, "ldap") == 0 || strcasecmp(parsed->lud_scheme, "ldaps") == 0);
  if (parsed) ldap_free_urldesc(parsed);
  if (!usable || url.find_first_of(" \t,") != std::string::npos) {
    throw CZDLException(kZDLDatabaseUnavailable, "The directory URL \"" + url + "\" is not one ldap:// or ldaps:// URL.",
                        kDirectory);
  }
  if (ldap_initialize(&ld_, url.c_str()) != LDAP_SUCCESS || !ld_) {
    throw CZDLException(kZDLDatabaseUnavailable, "The directory URL \"" + url + "\" cannot be used.", kDirectory);
  }
  const int version = LDAP_VERSION3;
  ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  ldap_set_option(ld_, LDAP_OPT_RESTART, LDAP_OPT_ON);
}

LdapConnection::~LdapConnection() {
  if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
}

std::string LdapConnection::Diagnostic() const {
  char* text = nullptr;
  std::string diagnostic;
  if (ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) == LDAP_OPT_SUCCESS && text) {
    diagnostic = text;
    ldap_memfree(text);
  }
  return diagnostic;
}

void LdapConnection::Fail(int rc, const std::string& refusedText) {
  const std::string diagnostic = Diagnostic();
  const std::string reason = ldap_err2string(rc) + (diagnostic.empty() ? "" : " (" + diagnostic + ")");
  if (IsOutage(rc)) {
    lost_ = true;
    closed_ = rc == LDAP_SERVER_DOWN;
    throw CZDLException(kZDLDatabaseUnavailable, "The directory cannot be used: " + reason + ".", kDirectory);
  }
  switch (rc) {
    case LDAP_INVALID_CREDENTIALS:
    case LDAP_INAPPROPRIATE_AUTH:
    case LDAP_UNWILLING_TO_PERFORM:
      if (!refusedText.empty()) throw CZDLException(kZDLDatabaseUnavailable, refusedText, kDirectory);
      break;
    case LDAP_ALREADY_EXISTS:
      throw CZDLException(kZDLDuplicate, reason);
    case LDAP_NO_SUCH_OBJECT:
      throw CZDLException(kZDLRecordNotFound, reason);
    case LDAP_INVALID_DN_SYNTAX:
    case LDAP_NAMING_VIOLATION:
      throw CZDLException(kZDLInvalidParameter, reason, kDirectory);
    default:
      break;
  }
  if (!refusedText.empty()) throw CZDLException(kZDLDatabaseUnavailable, refusedText + " " + reason + ".", kDirectory);
  throw CZDLException(kZDLGeneralError, "The directory refused the operation: " + reason + ".", kDirectory);
}

timeval LdapConnection::BeginOperation() {
  const DeadlineClock::duration left = TimeLeft(kOperationTimeout);
  if (left <= DeadlineClock::duration::zero()) {
    lost_ = true;
    throw CZDLException(kZDLDatabaseUnavailable,
                        "The directory cannot be used: its server did not answer within the request's time limit.",
                        kDirectory);
  }
  const timeval operation = AsTimeval(left), connect = AsTimeval(std::min<DeadlineClock::duration>(left, kConnectTimeout));
  ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &connect);
  ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &operation);
  return operation;
}

void LdapConnection::Bind(const std::string& dn, const std::string& password, const std::string& refusedText) {
  BackEndGate::Wait wait(DirectoryServerGate());
  BeginOperation();
  if (!connected_ && startTls_) {
    const int rc = ldap_start_tls_s(ld_, nullptr, nullptr);
    // A server that answers but will not start TLS cannot be used as configured.
    if (rc != LDAP_SUCCESS) {
      if (IsOutage(rc)) Fail(rc);
      throw CZDLException(kZDLDatabaseUnavailable,
                          std::string("The directory cannot be used: StartTLS failed: ") + ldap_err2string(rc) + ".",
                          kDirectory);
    }
  }
  berval credentials{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
  // An empty password would make an unauthenticated bind, which servers accept as anonymous.
  if (dn.empty() || password.empty()) throw CZDLException(kZDLDatabaseUnavailable, refusedText, kDirectory);
  const int rc = ldap_sasl_bind_s(ld_, dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr);
  connected_ = true;
  if (rc != LDAP_SUCCESS) Fail(rc, refusedText);
}

std::vector<LdapEntry> LdapConnection::Search(const std::string& base, bool baseOnly, const std::string& filter,
                                              const std::vector<std::string>& attributes) {
  std::vector<char*> names;
  for (const std::string& name : attributes) names.push_back(const_cast<char*>(name.c_str()));
  names.push_back(nullptr);
  BackEndGate::Wait wait(DirectoryServerGate());
  std::vector<LdapEntry> entries;
  berval cookie{0, nullptr};
  do {
    LDAPControl* page = nullptr;
    int rc = ldap_create_page_control(ld_, kPageSize, &cookie, 0, &page);
    ldap_memfree(cookie.bv_val);
    cookie = berval{0, nullptr};
    if (rc != LDAP_SUCCESS) Fail(rc);
    LDAPControl* controls[] = {page, nullptr};
    LDAPMessage* result = nullptr;
    timeval timeout = BeginOperation();
    rc = ldap_search_ext_s(ld_, base.c_str(), baseOnly ? LDAP_SCOPE_BASE : LDAP_SCOPE_ONELEVEL, filter.c_str(),
                           names.data(), 0, controls, nullptr, &timeout, LDAP_NO_LIMIT, &result);
    ldap_control_free(page);
    std::unique_ptr<LDAPMessage, decltype(&ldap_msgfree)> owned(result, &ldap_msgfree);
    if (rc == LDAP_NO_SUCH_OBJECT && baseOnly) return entries;
    if (rc != LDAP_SUCCESS) Fail(rc);
    ReadEntries(ld_, result, entries);
    LDAPControl** returned = nullptr;
    if (ldap_parse_result(ld_, result, &rc, nullptr, nullptr, nullptr, &returned, 0) != LDAP_SUCCESS) break;
    if (LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
      ber_int_t estimate = 0;
      ldap_parse_pageresponse_control(ld_, response, &estimate, &cookie);
    }
    ldap_controls_free(returned);
  } while (cookie.bv_len > 0);
  ldap_memfree(cookie.bv_val);
  return entries;
}

void LdapConnection::Add(const std::string& dn, const LdapAttributes& attributes) {
  ModList mods;
  for (const auto& [name, values] : attributes) {
    if (!values.empty()) mods.Add(LDAP_MOD_ADD, name, values);
  }
  BackEndGate::Wait wait(DirectoryServerGate());
  BeginOperation();
  const int rc = ldap_add_ext_s(ld_, dn.c_str(), mods.Get(), nullptr, nullptr);
  if (rc != LDAP_SUCCESS) Fail(rc);
}

void LdapConnection::Modify(const std::string& dn, const LdapAttributes& replace, const LdapAttributes& add) {
  ModList mods;
  for (const auto& [name, values] : replace) mods.Add(LDAP_MOD_REPLACE, name, values);
  for (const auto& [name, values] : add) mods.Add(LDAP_MOD_ADD, name, values);
  BackEndGate::Wait wait(DirectoryServerGate());
  BeginOperation();
  const int rc = ldap_modify_ext_s(ld_, dn.c_str(), mods.Get(), nullptr, nullptr);
  if (rc != LDAP_SUCCESS) Fail(rc);
}

void LdapConnection::Delete(const std::string& dn) {
  BackEndGate::Wait wait(DirectoryServerGate());
  BeginOperation();
  const int rc = ldap_delete_ext_s(ld_, dn.c_str(), nullptr, nullptr);
  if (rc != LDAP_SUCCESS) Fail(rc);
}

std::string EscapeFilterValue(const std::string& value) {
  berval in{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())};
  berval out{0, nullptr};
  if (ldap_bv2escaped_filter_value(&in, &out) != 0) {
    throw CZDLException(kZDLOutOfMemory, "No memory to escape a directory search value.");
  }
  std::string escaped(out.bv_val, out.bv_len);
  ber_memfree(out.bv_val);
  return escaped;
}

std::string ChildDn(const std::string& attribute, const std::string& value, const std::string& base) {
  LDAPDN parent = nullptr;
  if (ldap_str2dn(base.c_str(), &parent, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) {
    throw CZDLException(kZDLInvalidParameter, "The directory user base \"" + base + "\" is no distinguished name.");
  }
  LDAPAVA ava{};
  ava.la_attr = berval{static_cast<ber_len_t>(attribute.size()), const_cast<char*>(attribute.data())};
  ava.la_value = berval{static_cast<ber_len_t>(value.size()), const_cast<char*>(value.data())};
  ava.la_flags = LDAP_AVA_STRING;
  LDAPAVA* rdn[] = {&ava, nullptr};
  std::vector<LDAPRDN> rdns = {rdn};
  for (LDAPDN at = parent; at && *at; ++at) rdns.push_back(*at);
  rdns.push_back(nullptr);
  char* text = nullptr;
  const int rc = ldap_dn2str(rdns.data(), &text, LDAP_DN_FORMAT_LDAPV3);
  ldap_dnfree(parent);
  if (rc != LDAP_SUCCESS || !text) {
    throw CZDLException(kZDLInvalidParameter, "No distinguished name can be made of \"" + value + "\".");
  }
  std::string dn = text;
  ldap_memfree(text);
  return dn;
}

std::string FirstRdnValue(const std::string& dn) {
  LDAPDN parsed = nullptr;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS) return "";
  std::string value;
  if (parsed && parsed[0] && parsed[0][0]) value.assign(parsed[0][0]->la_value.bv_val, parsed[0][0]->la_value.bv_len);
  ldap_dnfree(parsed);
  return value;
}

}  // namespace zeb::zdl
