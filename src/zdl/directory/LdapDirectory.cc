// The directory back end on a directory server: users are inetOrgPerson entries named
// uid=<relative name> under the user base, with the auxiliary class zebUser (ldap/zeb-schema.ldif)
// for the telephony attributes. Multi-valued attributes are values of one attribute; secrets are
// written as Argon2 hashes that the server verifies.
#include "zdl/directory/LdapDirectory.h"

#include <locale.h>
#include <strings.h>
#include <wctype.h>

#include <algorithm>
#include <set>

#include "zdl/CLdapConfig.h"
#include "zdl/SecretHash.h"
#include "zdl/base/CZDLException.h"
#include "zdl/directory/DirectoryBackEnd.h"
#include "zdl/directory/LdapConnection.h"

namespace zeb::zdl {

namespace {

constexpr char kPersonFilter[] = "(objectClass=inetOrgPerson)";
constexpr char kUserClass[] = "zebUser";
constexpr char kRefused[] = "The directory refused the manager credentials of the cluster configuration.";

enum class Form { kText, kSecret, kBoolean };

struct Mapping {
  const char* attribute;  // as the directory classes name it
  const char* ldapName;
  Form form;
};

const Mapping kMappings[] = {
    {"cn", "cn", Form::kText},
    {"givenName", "givenName", Form::kText},
    {"sn", "sn", Form::kText},
    {"uid", "uid", Form::kText},
    {"email", "mail", Form::kText},
    {"telephoneNumber", "telephoneNumber", Form::kText},
    {"department", "departmentNumber", Form::kText},
    {"location", "l", Form::kText},
    {"password", "userPassword", Form::kSecret},
    {"pin", "zebPin", Form::kSecret},
    {"locale", "zebLocale", Form::kText},
    {"extension", "zebExtension", Form::kText},
    {"manager", "zebManager", Form::kText},
    {"aaKeyPadMapping", "zebAAKeyPadMapping", Form::kText},
    {"deviceName", "zebDeviceName", Form::kText},
    {"deviceProfile", "zebDeviceProfile", Form::kText},
    {"defaultDeviceProfile", "zebDefaultDeviceProfile", Form::kText},
    {"associatedPC", "zebAssociatedPC", Form::kText},
    {"authenticationProxyRights", "zebAuthenticationProxyRights", Form::kText},
    {"autoAttendantNameDialing", "zebAutoAttendantNameDialing", Form::kText},
    {"ctiEnabled", "zebCTIEnabled", Form::kBoolean},
    {"allDevices", "zebCTIAllDevices", Form::kBoolean},
    {"iaqExtension", "zebIAQExtension", Form::kText},
};

const Mapping& MappingOf(const std::string& attribute) {
  for (const Mapping& mapping : kMappings) {
    if (attribute == mapping.attribute) return mapping;
  }
  throw CZDLException(kZDLInvalidParameter, "The directory has no attribute " + attribute + ".");
}

// Every attribute a search reads: all but the secrets, and the object classes.
const std::vector<std::string>& ReadAttributes() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list = {"objectClass"};
    for (const Mapping& mapping : kMappings) {
      if (mapping.form != Form::kSecret) list.push_back(mapping.ldapName);
    }
    return list;
  }();
  return names;
}

std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The values as the directory stores them: secrets hashed, booleans in LDAP's upper case, empty
// values and repeats (the server compares these attributes without regard to case) left out.
std::vector<std::string> ToDirectory(const Mapping& mapping, const std::vector<std::string>& values) {
  std::vector<std::string> stored;
  std::set<std::string> seen;
  for (const std::string& value : values) {
    if (value.empty() || !seen.insert(AsciiLower(value)).second) continue;
    if (mapping.form == Form::kSecret) {
      stored.push_back(Argon2Hash(value));
    } else if (mapping.form == Form::kBoolean) {
      stored.push_back(value == "true" ? "TRUE" : "FALSE");
    } else {
      stored.push_back(value);
    }
  }
  return stored;
}

// The substring filter that pattern's literal pieces give for attribute: % and _ become *, as
// the server knows no single-character wildcard; MatchesLike then checks the exact pattern.
std::string PatternFilter(const std::string& attribute, const std::string& pattern) {
  std::string filter = "(" + attribute + "=", piece;
  for (char c : pattern + '\0') {
    if (c == '%' || c == '_' || c == '\0') {
      if (!piece.empty()) filter += EscapeFilterValue(piece);
      piece.clear();
      if (c != '\0' && filter.back() != '*') filter += '*';
    } else {
      piece += c;
    }
  }
  return filter + ")";
}

std::string SearchFilter(const DirectoryFilter& filter) {
  switch (filter.kind) {
    case DirectoryFilter::Kind::kRn:
      return std::string("(&") + kPersonFilter + "(uid=" + EscapeFilterValue(filter.rn) + "))";
    case DirectoryFilter::Kind::kAttributeEquals:
      return std::string("(&") + kPersonFilter + "(" + MappingOf(filter.attribute).ldapName + "=" +
             EscapeFilterValue(filter.value) + "))";
    case DirectoryFilter::Kind::kNamePatterns:
      break;
  }
  std::string conditions;
  if (!filter.givenName.empty()) conditions += PatternFilter("givenName", filter.givenName);
  if (!filter.surname.empty()) conditions += PatternFilter("sn", filter.surname);
  return std::string("(&") + kPersonFilter + conditions + ")";
}

// The relative name of an entry: the value of its uid= name, else its first uid.
std::string RnOf(const LdapEntry& entry) {
  if (strncasecmp(entry.dn.c_str(), "uid=", 4) == 0) return FirstRdnValue(entry.dn);
  const std::vector<std::string>& uids = entry.Values("uid");
  return uids.empty() ? FirstRdnValue(entry.dn) : uids.front();
}

// The text's code points with letter case folded (every script, as the server's caseIgnoreMatch
// folds it); bytes that are no UTF-8 stand for themselves. Blanks stay as they are.
std::u32string FoldCase(const std::string& text) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::u32string folded;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = 1;
        code = lead;
        break;
      }
      code = (code << 6) | (next & 0x3F);
    }
    if (utf8 && length > 1) {
      code = static_cast<char32_t>(towlower_l(towupper_l(static_cast<wint_t>(code), utf8), utf8));
    } else if (length == 1) {
      code = static_cast<char32_t>(std::tolower(static_cast<int>(code)));
    }
    folded.push_back(code);
    i += length;
  }
  return folded;
}

// Whether the entry's user name is name, as the embedded directory matches names: exactly, but
// for letter case. A server's match also ignores leading, trailing and repeated blanks; such a
// near match is not the user asked for.
bool NamedExactly(const LdapEntry& entry, const std::string& name) {
  const std::u32string wanted = FoldCase(name);
  std::vector<std::string> uids = entry.Values("uid");
  if (uids.empty()) uids.push_back(RnOf(entry));
  for (const std::string& uid : uids) {
    if (FoldCase(uid) == wanted) return true;
  }
  return false;
}

// The entries that carry exactly the user name asked for; more than one is an error that names
// them, so that nothing is read or changed on a guess.
std::vector<LdapEntry> OnlyExactName(std::vector<LdapEntry> found, const std::string& name) {
  found.erase(std::remove_if(found.begin(), found.end(),
                             [&](const LdapEntry& entry) { return !NamedExactly(entry, name); }),
              found.end());
  if (found.size() <= 1) return found;
  std::string dns;
  for (const LdapEntry& entry : found) dns += (dns.empty() ? "" : "; ") + entry.dn;
  throw CZDLException(kZDLDuplicate,
                      "The directory holds " + std::to_string(found.size()) + " entries with the user name \"" + name +
                          "\" (" + dns + "): the name is ambiguous, and nothing was read or changed.",
                      CZDLException::Origin::kDirectory);
}

// Whether a directory server may take name for another one it already holds: it ignores
// leading, trailing and repeated blanks in names.
bool HasFoldedBlanks(const std::string& name) {
  return !name.empty() && (name.front() == ' ' || name.back() == ' ' || name.find("  ") != std::string::npos);
}

// A name as a fault quotes it: at most its first 64 bytes (whole UTF-8 sequences), then "...".
std::string Abbreviated(const std::string& name) {
  constexpr std::size_t kShown = 64;
  if (name.size() <= kShown) return name;
  std::size_t end = kShown;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end) + "...";
}

bool HasUserClass(const LdapEntry& entry) {
  for (const std::string& objectClass : entry.Values("objectClass")) {
    if (strcasecmp(objectClass.c_str(), kUserClass) == 0) return true;
  }
  return false;
}

DirectoryEntry FromLdap(const LdapEntry& found) {
  DirectoryEntry entry;
  entry.dn = found.dn;
  entry.rn = RnOf(found);
  for (const Mapping& mapping : kMappings) {
    std::vector<std::string> values = found.Values(mapping.ldapName);
    if (values.empty()) continue;
    if (mapping.form == Form::kBoolean) {
      for (std::string& value : values) value = strcasecmp(value.c_str(), "TRUE") == 0 ? "true" : "false";
    }
    entry.attributes[mapping.attribute] = std::move(values);
  }
  return entry;
}

// The calling thread's connection, kept while the settings it was bound with stay the same.
struct CachedConnection {
  std::string url, dn, password;
  bool startTls = false;
  std::unique_ptr<LdapConnection> connection;
};
thread_local CachedConnection tConnection;

class LdapDirectory : public DirectoryBackEnd {
 public:
  explicit LdapDirectory(const DirectorySettings& settings) : settings_(settings) {}

  void Bind(const std::string& managerDn, const std::string& password) override;
  std::vector<DirectoryEntry> Search(const DirectoryFilter& filter) override;
  void Apply(std::vector<DirectoryChange>& changes) override;

 private:
  LdapConnection& Connect();
  void Add(DirectoryChange& change);
  void Modify(const DirectoryChange& change);

  DirectorySettings settings_;
  bool reused_ = false;               // Bind found the thread's connection open
  std::set<std::string> withoutClass_;  // entries found without kUserClass
};

LdapConnection& LdapDirectory::Connect() {
  CachedConnection& cached = tConnection;
  cached.connection.reset();
  cached.connection = std::make_unique<LdapConnection>(settings_.url, settings_.startTls);
  cached.connection->Bind(settings_.managerDn, settings_.managerPassword, kRefused);
  cached.url = settings_.url;
  cached.startTls = settings_.startTls;
  cached.dn = settings_.managerDn;
  cached.password = settings_.managerPassword;
  return *cached.connection;
}

void LdapDirectory::Bind(const std::string& managerDn, const std::string& password) {
  settings_.managerDn = managerDn;
  settings_.managerPassword = password;
  const CachedConnection& cached = tConnection;
  reused_ = cached.connection && !cached.connection->lost() && cached.url == settings_.url &&
            cached.startTls == settings_.startTls && cached.dn == managerDn && cached.password == password;
  if (reused_) return;
  try {
    Connect();
  } catch (...) {
    tConnection.connection.reset();
    throw;
  }
}

std::vector<DirectoryEntry> LdapDirectory::Search(const DirectoryFilter& filter) {
  const std::string text = SearchFilter(filter);
  // A list by name reads only the names: a thousand entries come in a fraction of the time.
  static const std::vector<std::string> kNames = {"objectClass", "uid", "cn", "givenName", "sn"};
  const std::vector<std::string>& attributes =
      filter.kind == DirectoryFilter::Kind::kNamePatterns ? kNames : ReadAttributes();
  std::vector<LdapEntry> found;
  try {
    try {
      found = tConnection.connection->Search(settings_.userBase, false, text, attributes);
    } catch (const CZDLException&) {
      // A connection kept from an earlier request may have been closed by the server meanwhile;
      // a server that did not answer in time is not asked again, which would double the wait.
      if (!reused_ || !tConnection.connection->closed()) throw;
      reused_ = false;
      found = Connect().Search(settings_.userBase, false, text, attributes);
    }
  } catch (const CZDLException& error) {
    if (error.GetExceptionID() != kZDLRecordNotFound) throw;
    throw CZDLException(kZDLDatabaseUnavailable,
                        "The directory cannot be used: its user base \"" + settings_.userBase + "\" does not exist.",
                        CZDLException::Origin::kDirectory);
  }
  if (filter.kind == DirectoryFilter::Kind::kRn) found = OnlyExactName(std::move(found), filter.rn);
  std::vector<DirectoryEntry> entries;
  for (const LdapEntry& entry : found) {
    if (filter.kind == DirectoryFilter::Kind::kNamePatterns &&
        !(MatchesLike(filter.givenName, entry.Values("givenName")) && MatchesLike(filter.surname, entry.Values("sn")))) {
      continue;
    }
    if (!HasUserClass(entry)) withoutClass_.insert(entry.dn);
    entries.push_back(FromLdap(entry));
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    const std::string left = AsciiLower(a.rn), right = AsciiLower(b.rn);
    return left != right ? left < right : a.rn < b.rn;
  });
  return entries;
}

void LdapDirectory::Add(DirectoryChange& change) {
  LdapAttributes attributes = {{"objectClass", {"inetOrgPerson", kUserClass}}};
  for (const auto& [name, values] : change.entry.attributes) {
    const Mapping& mapping = MappingOf(name);
    attributes[mapping.ldapName] = ToDirectory(mapping, values);
  }
  change.entry.dn = ChildDn("uid", change.entry.rn, settings_.userBase);
  try {
    tConnection.connection->Add(change.entry.dn, attributes);
  } catch (const CZDLException& error) {
    if (error.GetExceptionID() == kZDLInvalidParameter) {
      throw CZDLException(kZDLInvalidParameter,
                          "The directory server refused the user name \"" + Abbreviated(change.entry.rn) + "\" (" +
                              std::to_string(change.entry.rn.size()) + " bytes): " + error.GetExceptionStr() + ".",
                          CZDLException::Origin::kDirectory);
    }
    if (error.GetExceptionID() != kZDLDuplicate) throw;
    if (HasFoldedBlanks(change.entry.rn)) {
      throw CZDLException(kZDLDuplicate,
                          "The directory server refused the user name \"" + change.entry.rn +
                              "\": it takes it for the name of an existing user, as it ignores leading, trailing "
                              "and repeated blanks in names.");
    }
    throw CZDLException(kZDLDuplicate, "A User named \"" + change.entry.rn + "\" already exists.");
  }
}

void LdapDirectory::Modify(const DirectoryChange& change) {
  LdapAttributes replace, add;
  bool telephony = false;
  for (const auto& [name, values] : change.entry.attributes) {
    const Mapping& mapping = MappingOf(name);
    replace[mapping.ldapName] = ToDirectory(mapping, values);
    telephony = telephony || (!values.empty() && std::string(mapping.ldapName).compare(0, 3, "zeb") == 0);
  }
  // An entry made by another system gets the class of the telephony attributes when it first
  // needs it.
  if (telephony && withoutClass_.count(change.entry.dn)) add["objectClass"] = {kUserClass};
  tConnection.connection->Modify(change.entry.dn, replace, add);
}

void LdapDirectory::Apply(std::vector<DirectoryChange>& changes) {
  for (DirectoryChange& change : changes) {
    switch (change.kind) {
      case DirectoryChange::Kind::kAdd:
        Add(change);
        break;
      case DirectoryChange::Kind::kModify:
        Modify(change);
        break;
      case DirectoryChange::Kind::kDelete:
        tConnection.connection->Delete(change.entry.dn);
        break;
    }
  }
}

}  // namespace

bool MatchesLike(const std::string& pattern, const std::vector<std::string>& values) {
  if (pattern.empty()) return true;
  for (const std::string& value : values) {
    if (MatchesLike(pattern, value)) return true;
  }
  return false;
}

bool MatchesLike(const std::string& pattern, const std::string& text) {
  // Iterative matching with one backtrack point, the last %: it may take one more character.
  std::size_t p = 0, t = 0, starP = std::string::npos, starT = 0;
  auto charLength = [&](std::size_t at) {  // UTF-8 sequence length at text[at]
    const unsigned char c = static_cast<unsigned char>(text[at]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return std::min(length, text.size() - at);
  };
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == '_') {
      ++p;
      t += charLength(t);
    } else if (p < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[p])) == std::tolower(static_cast<unsigned char>(text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      starT += charLength(starT);
      t = starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

std::unique_ptr<DirectoryBackEnd> OpenLdapDirectory(const DirectorySettings& settings) {
  return std::make_unique<LdapDirectory>(settings);
}

}  // namespace zeb::zdl
