// Signs a user in on the cluster's directory server: finds the user's entry by exact uid under
// the user base (as the manager), binds as that entry with the password given, and tells which
// of a list of groups (groupOfNames, by member) the entry belongs to. Used by the HTTP host to
// check HTTP Basic credentials; never by the user methods.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zdl/CLdapConfig.h"

namespace zeb::zdl {

class DirectorySignIn {
 public:
  enum class Outcome { kPassed, kRefused, kUnavailable };
  struct Result {
    Outcome outcome = Outcome::kRefused;
    bool knownUser = false;     // the user's entry was found
    std::vector<bool> memberOf;  // kPassed: per group of the constructor, in its order
    std::string reason;          // kUnavailable: why, for the client ("The directory cannot be used: ...")
  };

  // settings returns the cluster's directory settings as of now, on the calling thread (it may
  // throw CZDLException); groups are the DNs of the groups asked about.
  DirectorySignIn(std::function<DirectorySettings()> settings, std::vector<std::string> groups);

  // Thread-safe: each thread keeps a connection of its own bound as the manager. An empty
  // password is always refused without asking (the server would take it for an anonymous
  // bind). A directory that cannot be reached or used, or is not configured, gives
  // kUnavailable: never a sign-in.
  Result SignIn(const std::string& user, const std::string& password) const;

 private:
  Result Ask(const DirectorySettings& settings, const std::string& user, const std::string& password) const;

  const std::function<DirectorySettings()> settings_;
  const std::vector<std::string> groups_;
};

}  // namespace zeb::zdl
