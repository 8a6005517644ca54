// The directory's users as a list: opened with the manager's credentials, filled by one of the
// selections, walked with a cursor, and written with Update (every insert, change and delete of
// the list as one unit). Works on the directory the cluster configuration names: the embedded
// one in the configuration database or a directory server.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zdl/CLdapConfig.h"
#include "zdl/directory/CUserInfo.h"

namespace zeb::zdl {

class CUserInfoList {
 public:
  // Opens the directory the settings name as its manager. Throws CZDLException
  // kZDLDatabaseUnavailable when the directory refuses the credentials or cannot be reached.
  CUserInfoList(CZDLSession& session, const DirectorySettings& settings);
  CUserInfoList(const CUserInfoList&) = delete;
  CUserInfoList& operator=(const CUserInfoList&) = delete;

  // Each selection replaces the list (pending changes are dropped) and moves to the first user.
  // The user of that relative name (case is ignored).
  void SelectByRn(const std::string& rn);
  void SelectByTelephoneNumber(const std::string& number);
  // Users whose given name and surname match the patterns (% and _, case ignored; an empty
  // pattern matches any name), ordered by relative name. The users may carry only their names.
  void SelectByName(const std::string& givenNamePattern, const std::string& surnamePattern);

  std::size_t Count() const { return users_.size(); }
  void MoveFirst() { cursor_ = 0; }
  void MoveNext() {
    if (cursor_ < users_.size()) ++cursor_;
  }
  bool IsEOF() const { return cursor_ >= users_.size(); }
  // REQUIRES: !IsEOF(). Throws CZDLException kZDLInvalidOperation otherwise.
  std::shared_ptr<CUserInfo> GetCurrentItem() const;

  // Appends a new user of that relative name (its user id is the relative name too); it becomes
  // current. Update refuses it when the name is taken.
  std::shared_ptr<CUserInfo> Insert(const std::string& rn);
  // Marks the current user deleted. REQUIRES: !IsEOF().
  void Delete();
  // Writes every pending insert, change and delete as one unit, or throws and writes nothing.
  void Update();

 private:
  void Fill(const DirectoryFilter& filter);

  std::unique_ptr<DirectoryBackEnd> directory_;
  std::vector<std::shared_ptr<CUserInfo>> users_;
  std::vector<std::shared_ptr<CUserInfo>> deleted_;
  std::size_t cursor_ = 0;
};

// The directory opened with the manager credentials the cluster configuration holds now
// (CLdapConfig).
std::unique_ptr<CUserInfoList> OpenUserDirectory(CZDLSession& session);

}  // namespace zeb::zdl
