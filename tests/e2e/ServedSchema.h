// Every exchange of the end-to-end suite is checked against the schema the running zebd serves:
// each SOAP response (faults included), and each request the server accepted, that is answered
// with a response element rather than a fault. Refused requests are not checked: many tests send
// malformed requests on purpose to see them refused, and the schema describes what clients should
// send, not every mistake the server reports.
//
// The schema is fetched once per test process from the first zebd that serves plain HTTP without
// authentication (else printed by `zebd xsd`), and compiled once.
#pragma once

#include <string>
#include <string_view>

namespace zeb::test {

// Notes a running zebd that the schema can be fetched from without TLS or credentials.
void NoteSchemaSource(int port);

// Pairs the requests one client connection sends with the responses it reads, and checks them
// (a failure is reported as a test failure naming what the schema says).
class ExchangeChecker {
 public:
  void Sent(std::string_view bytes) { sent_.append(bytes); }
  // A complete response read from the connection.
  void Received(const std::string& response);

 private:
  std::string sent_;  // sent and not yet paired with a response
};

// Within its scope, accepted requests are not checked: for tests of the server's leniency
// (a request element in another namespace, an add wrapper of another name, a number that is
// not one), whose requests the server reads although the schema does not describe them.
class LenientRequests {
 public:
  LenientRequests();
  ~LenientRequests();
  LenientRequests(const LenientRequests&) = delete;
  LenientRequests& operator=(const LenientRequests&) = delete;
};

}  // namespace zeb::test
