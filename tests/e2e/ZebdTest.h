// The fixture of the method end-to-end tests: a real zebd on a fresh database, a call helper
// that POSTs one request element and returns the response envelope, and the checks every family
// makes (exact bytes of a fault, database unchanged after a refusal).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/ZebdProcess.h"
#include "support/DatabaseSnapshot.h"
#include "support/SoapText.h"

namespace zeb::test {

// The host name every handler puts into its schema location.
const std::string& SchemaHost();

// Whether an accepted request is checked against the served schema (ServedSchema.h). kLenient is
// for the requests of tests of the server's leniency, which it reads although the schema does not
// describe them (an element left over after the last one an add method reads, a number followed
// by other text, an add wrapper of another name).
enum class RequestCheck { kSchema, kLenient };
constexpr RequestCheck kLenient = RequestCheck::kLenient;

class ZebdTest : public ::testing::Test {
 protected:
  explicit ZebdTest(const std::vector<std::string>& extraArgs = {}) : zebd_(extraArgs) {}

  // POSTs a SOAP envelope holding requestElement and returns the response body (the envelope).
  std::string Call(const std::string& requestElement, RequestCheck check = RequestCheck::kSchema);
  // The text of the response's <return> element; fails the test when there is none.
  std::string ReturnOf(const std::string& envelope);
  // Calls and returns the identifier a standard response carries, checking the response bytes.
  std::string CallForId(const std::string& method, const std::string& requestElement,
                        RequestCheck check = RequestCheck::kSchema);
  // Adds a route partition by name and returns its identifier.
  std::string AddPartition(const std::string& name);

  // The expected envelopes, with this server's schema host.
  std::string Fault(const std::string& method, int code, const std::string& message,
                    const std::string& sequence = "") const {
    return FaultEnvelope(SchemaHost(), method, code, message, sequence);
  }
  std::string Standard(const std::string& method, const std::string& text, const std::string& sequence = "") const {
    return StandardResponse(SchemaHost(), method, text, sequence);
  }
  std::string Response(const std::string& method, const std::string& ret, const std::string& sequence = "") const {
    return ResponseEnvelope(SchemaHost(), method, ret, sequence);
  }

  // Expects the request to be answered with exactly this detailed fault and to leave every
  // table as it was.
  void ExpectRefused(const std::string& requestElement, const std::string& method, int code,
                     const std::string& message);

  // Every row of the database; fixtures whose requests change more than the database add it.
  virtual std::string Snapshot() const { return DatabaseSnapshot(zebd_.dbPath()); }

  ZebdProcess zebd_;
};

// Codes of the request errors.
constexpr int kUnexpectedNode = 5005;
constexpr int kInvalidValue = 5003;
constexpr int kNotFound = 2;

}  // namespace zeb::test
