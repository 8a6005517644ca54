// Writes on a read-only node (one whose database is a hot standby): a method whose role is not
// read is forwarded, unchanged, to the primary's node when the node has one (--primary-url),
// and refused otherwise, in both cases as soon as the method is known and before any database
// work. Reads go on to the next gate (access control) and run here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "dispatch/MethodGate.h"

namespace zeb {

// A request as the primary's node is to get it: the body and the headers that matter, as the
// client sent them ("" for a header it did not send).
struct ForwardedRequest {
  std::string_view body;  // the caller's, valid while the request runs
  std::string contentType;
  std::string soapAction;
  std::string authorization;
  // Who the forwarding node got it from, for the primary's audit row: "node for address".
  std::string forwardedBy;
};

// A forward that failed. sent: the request may have reached the primary (it did not answer in
// time, or broke off), so the change may have been made there; otherwise it surely was not.
class ForwardFailure : public std::runtime_error {
 public:
  ForwardFailure(const std::string& reason, bool sent) : std::runtime_error(reason), sent_(sent) {}
  bool sent() const { return sent_; }

 private:
  bool sent_;
};

// Sends requests to the primary's node. Thread-safe.
class WriteForwarder {
 public:
  virtual ~WriteForwarder() = default;
  // The primary's answer as the client is to get it: status line, headers (Content-Type,
  // Content-Length and those a refusal needs) and body, byte for byte. Waits at most until the
  // request's deadline. Throws ForwardFailure.
  virtual std::string Forward(const ForwardedRequest& request) = 0;
  // The primary's URL, for messages and trace records.
  virtual const std::string& primary() const = 0;
};

// The fault texts of writes on a read-only node, each kept here alone.
std::string ReadOnlyRefusalText(std::string_view method);
std::string ForwardFailureText(std::string_view method, const std::string& primary, const ForwardFailure& failure);

class StandbyGate : public MethodGate {
 public:
  // forwarder: null refuses writes. next: the gate reads go on to (null: none). request is
  // filled by the caller and must outlive the gate.
  StandbyGate(WriteForwarder* forwarder, const ForwardedRequest& request, MethodGate* next)
      : forwarder_(forwarder), request_(request), next_(next) {}

  std::optional<AccessRefusal> Admit(const MethodEntry& method) override;

  // Whether a write was forwarded, and the primary's answer to it.
  bool forwarded() const { return forwarded_; }
  const std::string& relayed() const { return relayed_; }

 private:
  WriteForwarder* forwarder_;
  const ForwardedRequest& request_;
  MethodGate* next_;
  bool forwarded_ = false;
  std::string relayed_;
};

}  // namespace zeb
