// The default directory back end: entries and their attribute rows in the configuration
// database (tables DirectoryEntry and DirectoryAttribute), its settings in DirectoryConfig.
#include <openssl/crypto.h>
#include <strings.h>

#include <mutex>
#include <optional>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/Records.h"
#include "zdl/SecretHash.h"
#include "zdl/base/CZDLException.h"
#include "zdl/directory/DirectoryBackEnd.h"

namespace zeb::zdl {

namespace {

// An entry's attributes, secrets left out.
const char kAttributes[] =
    "SELECT attrName, attrValue FROM DirectoryAttribute WHERE fkDirectoryEntry = ? AND attrName NOT IN "
    "('password', 'pin') ORDER BY attrName, position";

// Remembers the last manager password that matched the stored hash, so that each request does
// not pay for the slow hash again. A changed stored hash or password is verified afresh.
class DirectoryBindCache : public ModuleCache {
 public:
  bool Matches(const std::string& stored, const std::string& password) {
    std::lock_guard<std::mutex> lock(mutex_);
    return !stored_.empty() && stored == stored_ && password.size() == password_.size() &&
           CRYPTO_memcmp(password.data(), password_.data(), password.size()) == 0;
  }
  void Remember(const std::string& stored, const std::string& password) {
    std::lock_guard<std::mutex> lock(mutex_);
    stored_ = stored;
    password_ = password;
  }
  void Invalidate() override { Remember("", ""); }

 private:
  std::mutex mutex_;
  std::string stored_, password_;
};

class DatabaseDirectory : public DirectoryBackEnd {
 public:
  explicit DatabaseDirectory(CZDLSession& session) : session_(session) {}

  void Bind(const std::string& managerDn, const std::string& password) override;
  std::vector<DirectoryEntry> Search(const DirectoryFilter& filter) override;
  void Apply(std::vector<DirectoryChange>& changes) override;

 private:
  SmartItemPtr<CDirectoryConfig> Config();
  std::string DnOf(const std::string& rn) const { return "cn=" + rn + "," + userBase_; }
  void LoadAttributes(DirectoryEntry& entry);
  // Replaces the attribute's rows of the entry (a new entry has none to replace).
  void WriteAttribute(const CZDLID& entry, bool isNew, const std::string& name, const std::vector<std::string>& values);

  CZDLSession& session_;
  std::string userBase_;  // read by Bind
};

SmartItemPtr<CDirectoryConfig> DatabaseDirectory::Config() {
  CDirectoryConfigList config(session_);
  config.SelectAll();
  if (config.Count() == 0) {
    throw CZDLException(kZDLDatabaseUnavailable, "The directory is not set up: it has no manager entry.");
  }
  return config.GetCurrentItem();
}

void DatabaseDirectory::Bind(const std::string& managerDn, const std::string& password) {
  SmartItemPtr<CDirectoryConfig> config = Config();
  userBase_ = config->GetUserBase();
  const std::string stored = config->GetManagerSecret();
  auto& cache = session_.database().Cache<DirectoryBindCache>();
  const bool dnMatches = strcasecmp(managerDn.c_str(), config->GetManagerDn().c_str()) == 0;
  if (dnMatches && (cache.Matches(stored, password) || VerifySecret(password, stored))) {
    cache.Remember(stored, password);
    return;
  }
  throw CZDLException(kZDLDatabaseUnavailable,
                      "The directory refused the manager credentials of the cluster configuration.");
}

std::vector<DirectoryEntry> DatabaseDirectory::Search(const DirectoryFilter& filter) {
  const std::string inAttribute = "pkid IN (SELECT fkDirectoryEntry FROM DirectoryAttribute WHERE attrName = ? AND ";
  std::string where;
  std::vector<CZDLValue> values;
  switch (filter.kind) {
    case DirectoryFilter::Kind::kRn:
      where = "Name = ?";
      values = {filter.rn};
      break;
    case DirectoryFilter::Kind::kAttributeEquals:
      where = inAttribute + "attrValue = ?)";
      values = {filter.attribute, filter.value};
      break;
    case DirectoryFilter::Kind::kNamePatterns:
      for (const auto& [attribute, pattern] : {std::pair{"givenName", &filter.givenName}, {"sn", &filter.surname}}) {
        if (pattern->empty()) continue;
        where += (where.empty() ? "" : " AND ") + inAttribute + "attrValue LIKE ?)";
        values.insert(values.end(), {attribute, *pattern});
      }
      break;
  }
  const std::string sql = "SELECT pkid, Name FROM DirectoryEntry" + (where.empty() ? "" : " WHERE " + where) +
                          " ORDER BY Name";
  // An entry found by name comes with its attributes in one round trip where the back end can.
  std::optional<CZDLReadAhead> ahead;
  if (filter.kind == DirectoryFilter::Kind::kRn && session_.pipelinesReads()) {
    ahead.emplace(session_);
    ahead->Add(sql, values);
    ahead->Add(kAttributes,
               "SELECT attrName, attrValue, fkDirectoryEntry FROM DirectoryAttribute WHERE fkDirectoryEntry IN (SELECT "
               "pkid FROM DirectoryEntry WHERE Name = ?) AND attrName NOT IN ('password', 'pin') ORDER BY attrName, "
               "position",
               values);
    ahead->Run();
  }
  std::vector<DirectoryEntry> entries;
  for (const auto& row : session_.Query(sql, values).rows) {
    DirectoryEntry entry;
    entry.id = CZDLID::FromCanonical(row[0].AsText());
    entry.rn = row[1].AsText();
    entry.dn = DnOf(entry.rn);
    LoadAttributes(entry);
    entries.push_back(std::move(entry));
  }
  return entries;
}

void DatabaseDirectory::LoadAttributes(DirectoryEntry& entry) {
  const ResultSet rows = session_.Query(kAttributes, {CZDLValue(entry.id)});
  for (const auto& row : rows.rows) entry.attributes[row[0].AsText()].push_back(row[1].AsText());
}

void DatabaseDirectory::WriteAttribute(const CZDLID& entry, bool isNew, const std::string& name,
                                       const std::vector<std::string>& values) {
  CDirectoryAttributeList rows(session_);
  if (!isNew) {
    rows.SelectWhere("fkDirectoryEntry = ? AND attrName = ?", {CZDLValue(entry), CZDLValue(name)});
    rows.DeleteAll();
  }
  const bool secret = name == "password" || name == "pin";
  long position = 0;
  for (const std::string& value : values) {
    auto row = rows.Insert();
    row->PutEntryID(entry);
    row->PutAttrName(name);
    row->PutAttrValue(secret ? HashSecret(value) : value);
    row->PutPosition(position++);
  }
  rows.Update();
}

void DatabaseDirectory::Apply(std::vector<DirectoryChange>& changes) {
  CZDLTransaction transaction(session_);
  for (DirectoryChange& change : changes) {
    CDirectoryEntryList entries(session_);
    if (change.kind == DirectoryChange::Kind::kAdd) {
      auto entry = entries.Insert();
      entry->PutName(change.entry.rn);
      entries.Update();
      change.entry.id = entry->GetID();
      change.entry.dn = DnOf(change.entry.rn);
    } else if (change.kind == DirectoryChange::Kind::kDelete) {
      entries.SelectByID(change.entry.id);
      if (entries.Count() > 0) entries.Delete();
      entries.Update();
      continue;
    }
    const bool isNew = change.kind == DirectoryChange::Kind::kAdd;
    // A change of attributes is a change of the user: the audit row names the entry.
    if (!isNew) session_.NoteWritten(entries.table(), CZDLValue(change.entry.id));
    for (const auto& [name, values] : change.entry.attributes) WriteAttribute(change.entry.id, isNew, name, values);
  }
  transaction.Commit();
}

}  // namespace

std::unique_ptr<DirectoryBackEnd> OpenDatabaseDirectory(CZDLSession& session) {
  return std::make_unique<DatabaseDirectory>(session);
}

}  // namespace zeb::zdl
