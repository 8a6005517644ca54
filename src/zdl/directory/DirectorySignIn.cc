#include "zdl/directory/DirectorySignIn.h"

#include <memory>

#include "zdl/base/CZDLException.h"
#include "zdl/directory/LdapConnection.h"

namespace zeb::zdl {

namespace {

constexpr char kManagerRefused[] = "The directory refused the manager credentials of the cluster configuration.";
constexpr char kUserRefused[] = "The directory refused the user's credentials.";

// The calling thread's connection bound as the manager, kept while the settings stay the same.
struct ManagerConnection {
  DirectorySettings settings;
  std::unique_ptr<LdapConnection> connection;
};
thread_local ManagerConnection tManager;

bool SameSettings(const DirectorySettings& a, const DirectorySettings& b) {
  return a.url == b.url && a.startTls == b.startTls && a.managerDn == b.managerDn &&
         a.managerPassword == b.managerPassword;
}

LdapConnection& Manager(const DirectorySettings& settings) {
  if (tManager.connection && !tManager.connection->lost() && SameSettings(tManager.settings, settings))
    return *tManager.connection;
  tManager.connection.reset();
  auto connection = std::make_unique<LdapConnection>(settings.url, settings.startTls);
  connection->Bind(settings.managerDn, settings.managerPassword, kManagerRefused);
  tManager.settings = settings;
  tManager.connection = std::move(connection);
  return *tManager.connection;
}

// Runs operation on the manager's connection; a kept connection that the server closed
// meanwhile is opened again once.
template <class Operation>
auto AsManager(const DirectorySettings& settings, Operation operation) {
  const bool kept = tManager.connection && SameSettings(tManager.settings, settings);
  try {
    return operation(Manager(settings));
  } catch (const CZDLException&) {
    const bool retry = kept && tManager.connection && tManager.connection->closed();
    if (!retry) {
      if (tManager.connection && tManager.connection->lost()) tManager.connection.reset();
      throw;
    }
    tManager.connection.reset();
    return operation(Manager(settings));
  }
}

// The DN of the entry whose uid is exactly user (the server compares uids without regard to
// case; a sign-in takes only the very name); "" when there is none or more than one.
std::string FindUser(const DirectorySettings& settings, const std::string& user) {
  const std::string filter = "(&(objectClass=inetOrgPerson)(uid=" + EscapeFilterValue(user) + "))";
  const std::vector<LdapEntry> found = AsManager(settings, [&](LdapConnection& manager) {
    return manager.Search(settings.userBase, false, filter, {"uid"});
  });
  std::string dn;
  for (const LdapEntry& entry : found) {
    for (const std::string& uid : entry.Values("uid")) {
      if (uid != user) continue;
      if (!dn.empty()) return "";
      dn = entry.dn;
      break;
    }
  }
  return dn;
}

bool IsMember(const DirectorySettings& settings, const std::string& group, const std::string& dn) {
  const std::string filter = "(member=" + EscapeFilterValue(dn) + ")";
  return !AsManager(settings, [&](LdapConnection& manager) {
            return manager.Search(group, true, filter, {"1.1"});
          }).empty();
}

}  // namespace

DirectorySignIn::DirectorySignIn(std::function<DirectorySettings()> settings, std::vector<std::string> groups)
    : settings_(std::move(settings)), groups_(std::move(groups)) {}

DirectorySignIn::Result DirectorySignIn::SignIn(const std::string& user, const std::string& password) const {
  Result result;
  if (password.empty() || user.empty()) return result;
  try {
    const DirectorySettings settings = settings_();
    if (settings.embedded()) {
      result.outcome = Outcome::kUnavailable;
      result.reason = "No directory server is configured to sign users in.";
      return result;
    }
    return Ask(settings, user, password);
  } catch (const CZDLException& error) {
    result.outcome = Outcome::kUnavailable;
    result.reason = error.GetExceptionStr();
    if (error.GetExceptionID() == kZDLRecordNotFound)
      result.reason = "The directory cannot be used: its user base does not exist.";
    return result;
  }
}

DirectorySignIn::Result DirectorySignIn::Ask(const DirectorySettings& settings, const std::string& user,
                                             const std::string& password) const {
  Result result;
  const std::string dn = FindUser(settings, user);
  if (dn.empty()) return result;
  result.knownUser = true;
  try {
    // A connection of its own: binding as the user must not change who the kept one is.
    LdapConnection connection(settings.url, settings.startTls);
    connection.Bind(dn, password, kUserRefused);
  } catch (const CZDLException& error) {
    if (error.GetExceptionStr().rfind(kUserRefused, 0) == 0) return result;
    throw;
  }
  for (const std::string& group : groups_) result.memberOf.push_back(IsMember(settings, group, dn));
  result.outcome = Outcome::kPassed;
  return result;
}

}  // namespace zeb::zdl
