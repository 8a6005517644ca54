// libFuzzer target for the road from request bytes to response bytes: the bytes are the body
// of an admitted request, run through the SOAP layer and the handlers against a scratch
// database. Any crash, leak, hang or sanitizer report is a finding.
//
// The scratch database goes back to its fresh state every kInputsPerReset inputs: left to grow,
// some tables grow with the square of others (the region matrix), and the rate falls tenfold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "dispatch/ProcessSOAPRequest.h"
#include "zdl/CZDLDatabase.h"

namespace {

constexpr unsigned kInputsPerReset = 256;

std::unique_ptr<zeb::zdl::CZDLDatabase> gDatabase;
std::filesystem::path gDir;
unsigned gInputs = 0;

std::filesystem::path DatabasePath() { return gDir / "zeb.db"; }
std::filesystem::path FreshCopyPath() { return gDir / "fresh.db"; }

// Replaces the scratch database by the fresh copy made at start.
void ResetDatabase() {
  namespace fs = std::filesystem;
  gDatabase.reset();
  for (const char* suffix : {"-wal", "-shm"}) fs::remove(DatabasePath().string() + suffix);
  fs::copy_file(FreshCopyPath(), DatabasePath(), fs::copy_options::overwrite_existing);
  gDatabase = zeb::zdl::CZDLDatabase::Open(DatabasePath().string());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zeb-fuzz-XXXXXX";
  gDir = mkdtemp(pattern);
  // Made with its schema and seed data, closed (so the file holds everything), and kept.
  zeb::zdl::CZDLDatabase::Open(DatabasePath().string()).reset();
  std::filesystem::copy_file(DatabasePath(), FreshCopyPath());
  ResetDatabase();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (++gInputs % kInputsPerReset == 0) ResetDatabase();
  // The front end hands the SOAP layer a NUL-terminated copy of the body.
  const std::string body(reinterpret_cast<const char*>(data), size);
  zeb::zdl::CGenericBuffer out(20480);
  zeb::RequestContext context;
  context.versionStamp = "{00000000-0000-0000-0000-000000000000}";
  context.db = &gDatabase->Session();
  zeb::ProcessSOAPRequest(body.c_str(), out, context);
  return 0;
}
