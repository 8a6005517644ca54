#include "server/AccessPolicy.h"

namespace zeb::server {

AccessPolicy::AccessPolicy(Setup setup) : setup_(std::move(setup)) {
  if (setup_.rateLimit) rateText_ = setup_.rateLimit->Text();
  if (setup_.writeRateLimit) writeRateText_ = setup_.writeRateLimit->Text();
}

Grant AccessPolicy::For(const std::string& user, std::optional<Role> signInRole) const {
  Grant grant;
  if (setup_.directoryRoles) {
    grant.role = RoleName(signInRole.value_or(Role::kNone));
  } else if (setup_.groups) {
    grant.role = RoleName(setup_.groups->Current()->RoleOf(user));
  }
  grant.rateLimit = rateText_;
  grant.writeRateLimit = writeRateText_;
  return grant;
}

std::vector<std::string> AccessPolicy::Mismatches(AuthFile* authFile) const {
  if (!authFile || !setup_.groups) return {};
  return RoleMismatches(*authFile->Current(), authFile->path(), *setup_.groups->Current(),
                        setup_.groups->path());
}

}  // namespace zeb::server
