// The fixture of the method end-to-end tests: a real zebd on a fresh database, a call helper
// that POSTs one request element and returns the response envelope, and the checks every family
// makes (exact bytes of a fault, database unchanged after a refusal).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/Refusals.h"
#include "e2e/ZebdProcess.h"
#include "support/DatabaseSnapshot.h"
#include "support/SoapText.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::test {

// The host name every handler puts into its schema location.
const std::string& SchemaHost();
// The answer of getRoutePartition that found the partition.
inline std::string GotPartition(const std::string& id, const std::string& name) {
  return ResponseEnvelope(SchemaHost(), "getRoutePartition", Returned(PartitionElement(id, name)));
}

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
  // Calls method with one element in its request: <uuid>id</uuid>, <name>name</name>, or
  // <element>value</element>, as gets and removes identify a record.
  std::string ById(const std::string& method, const std::string& id) { return CallWith(method, "uuid", id); }
  std::string ByName(const std::string& method, const std::string& name) {
    return CallWith(method, "name", name);
  }
  std::string CallWith(const std::string& method, const std::string& element, const std::string& value) {
    return Call("<" + method + "><" + element + ">" + value + "</" + element + "></" + method + ">");
  }
  // Calls and returns the identifier a standard response carries, checking the response bytes.
  std::string CallForId(const std::string& method, const std::string& requestElement,
                        RequestCheck check = RequestCheck::kSchema);
  // Adds a route partition by name (with a description when one is given); returns its identifier.
  std::string AddPartition(const std::string& name, const std::string& description = "");
  // Adds a calling search space with the partition named as its one member ("" for none).
  std::string AddCSS(const std::string& name, const std::string& memberPartition = "");

  // The database zebd serves, opened in this process on first use, for records the API cannot
  // write and for rows read back.
  zdl::CZDLSession& Db();
  // The first column of the first row of sql with one bound value ("" when there is no row).
  std::string Column(const std::string& sql, const std::string& value);
  long long CountRows(const std::string& table);
  // A device of the product (30 is an analog gateway, 37 a route list, 7 a desk phone); class 0
  // leaves the class unset.
  std::string InsertDevice(const std::string& name, long product = 30, const std::string& description = "",
                           long deviceClass = 0);
  // A number plan row (usage 2 is a directory number, 3 a translation, 5 a route pattern) in the
  // partition and route filter given ("" for none), written through the library.
  std::string AddNumber(const std::string& pattern, const std::string& partition = "", long usage = 2,
                        const std::string& filter = "");

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
  // The response of a get method that found element.
  std::string Got(const std::string& method, const std::string& element,
                  const std::string& sequence = "") const {
    return Response(method, Returned(element), sequence);
  }

  // text with the first occurrence of from replaced by to.
  static std::string Replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
  }

  // Expects the request to be answered with exactly this detailed fault and to leave every
  // table as it was.
  void ExpectRefused(const std::string& requestElement, const std::string& method, int code,
                     const std::string& message);

  // Every row of the database; fixtures whose requests change more than the database add it.
  virtual std::string Snapshot() const { return DatabaseSnapshot(zebd_.dbPath()); }

  ZebdProcess zebd_;

 private:
  std::unique_ptr<zdl::CZDLDatabase> db_;
};

// Codes of the request errors.
constexpr int kUnexpectedNode = 5005;
constexpr int kInvalidValue = 5003;
constexpr int kNotFound = 2;

}  // namespace zeb::test
