#include "zdl/directory/CUserInfoList.h"

#include "zdl/CLdapConfig.h"
#include "zdl/CProcessConfigList.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/base/Schema.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

CUserInfoList::CUserInfoList(CZDLSession& session, const DirectorySettings& settings)
    : directory_(settings.embedded() ? OpenDatabaseDirectory(session) : OpenLdapDirectory(settings)) {
  directory_->Bind(settings.managerDn, settings.managerPassword);
}

void CUserInfoList::Fill(const DirectoryFilter& filter) {
  users_.clear();
  deleted_.clear();
  cursor_ = 0;
  for (DirectoryEntry& entry : directory_->Search(filter)) {
    users_.push_back(std::make_shared<CUserInfo>(std::move(entry), false));
  }
}

void CUserInfoList::SelectByRn(const std::string& rn) {
  DirectoryFilter filter;
  filter.rn = rn;
  Fill(filter);
}

void CUserInfoList::SelectByTelephoneNumber(const std::string& number) {
  DirectoryFilter filter;
  filter.kind = DirectoryFilter::Kind::kAttributeEquals;
  filter.attribute = "telephoneNumber";
  filter.value = number;
  Fill(filter);
}

void CUserInfoList::SelectByName(const std::string& givenNamePattern, const std::string& surnamePattern) {
  DirectoryFilter filter;
  filter.kind = DirectoryFilter::Kind::kNamePatterns;
  filter.givenName = givenNamePattern;
  filter.surname = surnamePattern;
  Fill(filter);
}

std::shared_ptr<CUserInfo> CUserInfoList::GetCurrentItem() const {
  if (IsEOF()) throw CZDLException(kZDLInvalidOperation, "No current user.");
  return users_[cursor_];
}

std::shared_ptr<CUserInfo> CUserInfoList::Insert(const std::string& rn) {
  DirectoryEntry entry;
  entry.rn = rn;
  auto user = std::make_shared<CUserInfo>(std::move(entry), true);
  user->PutUserId(rn);
  users_.push_back(user);
  cursor_ = users_.size() - 1;
  return user;
}

void CUserInfoList::Delete() {
  if (IsEOF()) throw CZDLException(kZDLInvalidOperation, "No current user to delete.");
  if (!users_[cursor_]->isNew_) deleted_.push_back(users_[cursor_]);
  users_.erase(users_.begin() + static_cast<std::ptrdiff_t>(cursor_));
}

void CUserInfoList::Update() {
  std::vector<DirectoryChange> changes;
  std::vector<CUserInfo*> written;  // the user of each change
  for (const auto& user : deleted_) {
    DirectoryChange change;
    change.kind = DirectoryChange::Kind::kDelete;
    change.entry.id = user->entry_.id;
    change.entry.dn = user->entry_.dn;
    changes.push_back(std::move(change));
    written.push_back(user.get());
  }
  for (const auto& user : users_) {
    if (!user->isNew_ && user->changed_.empty()) continue;
    DirectoryChange change;
    change.kind = user->isNew_ ? DirectoryChange::Kind::kAdd : DirectoryChange::Kind::kModify;
    change.entry.id = user->entry_.id;
    change.entry.dn = user->entry_.dn;
    change.entry.rn = user->entry_.rn;
    for (const std::string& name : user->changed_) change.entry.attributes[name] = user->GetValues(name);
    changes.push_back(std::move(change));
    written.push_back(user.get());
  }
  if (changes.empty()) return;
  directory_->Apply(changes);
  for (std::size_t i = 0; i < changes.size(); ++i) {
    written[i]->entry_.id = changes[i].entry.id;
    written[i]->entry_.dn = changes[i].entry.dn;
  }
  deleted_.clear();
  for (const auto& user : users_) {
    user->isNew_ = false;
    user->changed_.clear();
  }
}

std::unique_ptr<CUserInfoList> OpenUserDirectory(CZDLSession& session) {
  // The directory settings and the embedded directory's own settings travel together where the
  // back end can.
  CZDLReadAhead ahead(session);
  if (session.pipelinesReads()) {
    ahead.Add("SELECT * FROM " + FindTable("ProcessConfig")->name + " WHERE fkProcessNode = ? ORDER BY paramName",
              {CZDLValue(EnterpriseWideNode())});
    ahead.Add("SELECT * FROM " + FindTable("DirectoryConfig")->name, {});
    ahead.Run();
  }
  const CLdapConfig config(session);
  return std::make_unique<CUserInfoList>(session, config.settings());
}

}  // namespace zeb::zdl
