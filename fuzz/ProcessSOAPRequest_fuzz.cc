// libFuzzer target for the road from request bytes to response bytes: the bytes are the body
// of an admitted request, run through the SOAP layer and the handlers against a scratch
// database. Any crash, leak, hang or sanitizer report is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "dispatch/ProcessSOAPRequest.h"
#include "zdl/CZDLDatabase.h"

namespace {

std::unique_ptr<zeb::zdl::CZDLDatabase> gDatabase;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zeb-fuzz-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  gDatabase = zeb::zdl::CZDLDatabase::Open(dir + "/zeb.db");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The front end hands the SOAP layer a NUL-terminated copy of the body.
  const std::string body(reinterpret_cast<const char*>(data), size);
  zeb::zdl::CGenericBuffer out(20480);
  zeb::RequestContext context;
  context.versionStamp = "{00000000-0000-0000-0000-000000000000}";
  context.db = &gDatabase->Session();
  zeb::ProcessSOAPRequest(body.c_str(), out, context);
  return 0;
}
