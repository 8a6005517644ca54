// Who may call what, as the host decides it for each request: the caller's role (from the group
// file, or from the directory's groups at sign-in) and the rate limits that apply to it. The host
// hands the decision to the extension as server variables (extension/AccessGate.h), which
// enforces it once it knows the method.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/Role.h"
#include "extension/AccessGate.h"
#include "server/AuthFile.h"
#include "server/GroupFile.h"

namespace zeb::server {

// The server variables of one request; an empty text is a variable the host does not set.
struct Grant {
  std::string role;            // RoleName's text; "" when roles are not controlled
  std::string rateLimit;       // RateLimit::Text(); "" without a limit
  std::string writeRateLimit;  // likewise, for write and admin methods
};

class AccessPolicy {
 public:
  struct Setup {
    std::unique_ptr<GroupFile> groups;  // roles of the auth file's users
    bool directoryRoles = false;        // roles come from the directory's sign-in instead
    std::optional<RateLimit> rateLimit, writeRateLimit;
  };

  explicit AccessPolicy(Setup setup);

  // The grant of user ("" without authentication); signInRole is the role the directory gave
  // the user at sign-in. Thread-safe.
  Grant For(const std::string& user, std::optional<Role> signInRole) const;

  // Reads the group file again (SIGHUP); one that cannot be used keeps the roles in use.
  void Reload() {
    if (setup_.groups) setup_.groups->Reload();
  }

  // Where the group file and the auth file disagree (RoleMismatches); empty without either.
  std::vector<std::string> Mismatches(AuthFile* authFile) const;

 private:
  Setup setup_;
  std::string rateText_, writeRateText_;  // the limits as the extension reads them
};

}  // namespace zeb::server
