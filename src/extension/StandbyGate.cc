#include "extension/StandbyGate.h"

#include "dispatch/Role.h"

namespace zeb {

std::string ReadOnlyRefusalText(std::string_view method) {
  return "This node is read-only (its database is a hot standby) and forwards no writes: send " +
         std::string(method) + " to a node on the primary database.";
}

std::string ForwardFailureText(std::string_view method, const std::string& primary, const ForwardFailure& failure) {
  const std::string head = "This node is read-only and forwards " + std::string(method) + " to the primary node " +
                           primary + ", which ";
  if (failure.sent())
    return head + "did not answer (" + failure.what() + "): the change may or may not have been made there.";
  return head + "could not be reached (" + failure.what() + "): nothing was changed.";
}

std::optional<AccessRefusal> StandbyGate::Admit(const MethodEntry& method) {
  if (method.role == Role::kRead) return next_ ? next_->Admit(method) : std::nullopt;
  if (!forwarder_) return AccessRefusal{0, ReadOnlyRefusalText(method.name), 0, false, false};
  try {
    relayed_ = forwarder_->Forward(request_);
    forwarded_ = true;
    return AccessRefusal{0, "", 0, false, true};
  } catch (const ForwardFailure& failure) {
    return AccessRefusal{0, ForwardFailureText(method.name, forwarder_->primary(), failure), 0, true, false};
  }
}

}  // namespace zeb
