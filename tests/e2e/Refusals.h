// Tables of requests the server must refuse. Each request is answered with exactly its detailed
// fault and leaves every table as it was:
//
//   ExpectAllRefused(zebd_, {
//       {"<getCSS><name/></getCSS>", kInvalidValue, "The element, <name>, must contain a value."},
//       {"<getCSS><id/></getCSS>", kUnexpectedNode, "Found <id>, expecting <uuid> or <name>."},
//   });
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "e2e/ZebdProcess.h"

namespace zeb::test {

// One refused request. The method is the request element's name, without a namespace prefix.
// The message of an unexpected-element fault (code 5005) is written without the
// "Unexpected element. " that begins every such message; ExpectAllRefused adds it.
struct RefusalCase {
  std::string request;
  int code;
  std::string message;
};

// Expects every request to be answered with its fault, and the database to be unchanged after
// each. snapshot, when given, returns all that a refusal must leave as it was (the entries of a
// directory server too, say).
void ExpectAllRefused(const ZebdProcess& zebd, const std::vector<RefusalCase>& cases,
                      const std::function<std::string()>& snapshot = nullptr);

// The local name of the request element at the start of request ("<zeb:getCSS sequence=..." is
// getCSS).
std::string MethodOf(const std::string& request);

}  // namespace zeb::test
