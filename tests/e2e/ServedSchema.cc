#include "e2e/ServedSchema.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "e2e/ZebdProcess.h"
#include "support/SchemaValidator.h"

namespace zeb::test {

namespace {

std::mutex gMutex;
std::unique_ptr<SchemaValidator> gValidator;  // guarded by gMutex
std::atomic<int> gLenient{0};
thread_local bool tFetching = false;  // the exchange that fetches the schema is not checked

constexpr std::string_view kSchemaPath = "/QMSApi/ZEB/V1/zebsoap.xsd";

// The schema served on port, or (port 0) the one zebd prints.
std::string FetchSchema(int port) {
  if (port == 0) return RunZebd({"xsd"}).out;
  tFetching = true;
  RawConnection connection(port);
  connection.Send("GET " + std::string(kSchemaPath) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  const std::string response = connection.ReadResponse();
  tFetching = false;
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(response)) << "GET of the schema";
  return BodyOf(response);
}

// The validator; compiled from the schema port serves when there is none yet. REQUIRES: gMutex
// is held.
const SchemaValidator& Validator(int port = 0) {
  if (!gValidator) gValidator = std::make_unique<SchemaValidator>(FetchSchema(port));
  return *gValidator;
}

bool IsSoapBody(std::string_view body) {
  const std::size_t start = body.find('<');
  return start != std::string_view::npos &&
         body.substr(start, 200).find("Envelope") != std::string_view::npos;
}

// The first request of the sent bytes, framed by its Content-Length, removed from them; "" when
// the bytes hold no whole request that can be framed (the rest is dropped then).
std::string TakeRequest(std::string& sent) {
  const std::size_t headerEnd = sent.find("\r\n\r\n");
  const std::string header = sent.substr(0, headerEnd);
  const std::size_t length = header.find("Content-Length: ");
  const std::size_t total =
      headerEnd + 4 +
      (length == std::string::npos ? 0 : std::strtoul(header.c_str() + length + 16, nullptr, 10));
  if (headerEnd == std::string::npos || header.find("Transfer-Encoding") != std::string::npos ||
      total > sent.size()) {
    sent.clear();
    return "";
  }
  std::string request = sent.substr(0, total);
  sent.erase(0, total);
  return request;
}

}  // namespace

void NoteSchemaSource(int port) {
  std::lock_guard<std::mutex> lock(gMutex);
  Validator(port);
}

void ExchangeChecker::Received(const std::string& response) {
  if (tFetching || response.compare(0, 10, "HTTP/1.1 1") == 0) return;  // an interim answer
  const std::string request = TakeRequest(sent_);
  const std::string body = BodyOf(response);
  if (!IsSoapBody(body)) return;
  std::lock_guard<std::mutex> lock(gMutex);
  EXPECT_EQ("", Validator().CheckResponse(body)) << "the response does not match the schema:\n" << body;
  const bool accepted =
      StatusLineOf(response) == "HTTP/1.1 200 OK" && body.find(":Fault>") == std::string::npos;
  if (!accepted || gLenient > 0 || request.compare(0, 5, "POST ") != 0) return;
  EXPECT_EQ("", Validator().CheckRequest(BodyOf(request)))
      << "an accepted request does not match the schema:\n"
      << BodyOf(request);
}

LenientRequests::LenientRequests() { ++gLenient; }
LenientRequests::~LenientRequests() { --gLenient; }

}  // namespace zeb::test
