#include "extension/CQuillonExtension.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "support/SoapText.h"
#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/ChangeEvents.h"

namespace zeb {
namespace {

using test::ReadFile;
using test::TempDir;

// A control block whose callbacks record every WriteClient call.
struct FakeRequest {
  EXTENSION_CONTROL_BLOCK ecb;
  std::string method, contentType, body;
  std::vector<std::string> writes;
  std::map<std::string, std::string> variables{{"REMOTE_ADDR", "10.1.2.3"}, {"REMOTE_USER", ""}};

  FakeRequest(std::string m, std::string type, std::string b)
      : method(std::move(m)), contentType(std::move(type)), body(std::move(b)) {
    ecb.ConnID = this;
    ecb.lpszMethod = method.c_str();
    ecb.lpszContentType = contentType.c_str();
    ecb.cbTotalBytes = ecb.cbAvailable = static_cast<DWORD>(body.size());
    ecb.lpbData = reinterpret_cast<const unsigned char*>(body.data());
    ecb.GetServerVariable = [](HCONN conn, const char* name, char* buf, DWORD* size) -> BOOL {
      auto& variables = static_cast<FakeRequest*>(conn)->variables;
      if (variables.count(name) == 0) return kFalse;
      const std::string& value = variables[name];
      if (value.size() + 1 > *size) {
        *size = static_cast<DWORD>(value.size() + 1);
        return kFalse;
      }
      std::memcpy(buf, value.c_str(), value.size() + 1);
      return kTrue;
    };
    ecb.WriteClient = [](HCONN conn, const void* buf, DWORD* bytes, DWORD) -> BOOL {
      static_cast<FakeRequest*>(conn)->writes.emplace_back(static_cast<const char*>(buf), *bytes);
      return kTrue;
    };
  }
  std::string Response() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
  }
};

class CQuillonExtensionTest : public ::testing::Test {
 protected:
  CQuillonExtensionTest() : extension_(Options(dir_ / "trace")) {}

  static ExtensionOptions Options(const std::filesystem::path& traceDir) {
    ExtensionOptions options;
    options.traceDir = traceDir;
    return options;
  }

  std::string TraceText() {
    extension_.trace().CloseTraceLog();
    return ReadFile(dir_ / "trace/ZEBAPI-0.txt");
  }

  TempDir dir_;
  CQuillonExtension extension_;
};

const char kFaultBodyStart[] =
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n<SOAP-ENV:Body>\r\n"
    "<SOAP-ENV:Fault>\r\n";
const char kFaultBodyEnd[] = "</SOAP-ENV:Fault>\r\n</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>";

std::string Refusal(const std::string& statusAndHeader, const std::string& code, const std::string& text) {
  const std::string body = kFaultBodyStart + ("<faultcode>" + code + "</faultcode>\r\n<faultstring>" + text +
                                              "</faultstring>\r\n") + kFaultBodyEnd;
  return statusAndHeader + "Content-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

TEST_F(CQuillonExtensionTest, RefusalsAreOneWriteAndOtherMethodsGetNoBytesAndNoRequestId) {
  FakeRequest put("PUT", "text/xml", "<x/>");
  EXPECT_EQ(HSE_STATUS_ERROR, extension_.HttpExtensionProc(&put.ecb));
  EXPECT_TRUE(put.writes.empty());

  FakeRequest get("GET", "", "");
  get.variables["REMOTE_USER"] = "a-user-name-longer-than-twenty-four-characters";
  EXPECT_EQ(HSE_STATUS_SUCCESS, extension_.HttpExtensionProc(&get.ecb));
  EXPECT_EQ(200u, get.ecb.dwHttpStatusCode);
  ASSERT_EQ(1u, get.writes.size());
  EXPECT_EQ(Refusal("HTTP/1.1 405 Method Not Allowed\r\nAllow: POST\r\n", "SOAP-ENV:Client",
                    "The ZEB API service only accepts the HTTP POST request type."),
            get.writes[0]);
  // A body that did not arrive whole.
  FakeRequest partial("POST", "text/xml", "<x/>");
  partial.ecb.cbTotalBytes = 50000;
  extension_.HttpExtensionProc(&partial.ecb);
  ASSERT_EQ(1u, partial.writes.size());
  EXPECT_EQ(Refusal("HTTP/1.1 413 Request Entity Too Large\r\n", "SOAP-ENV:Client",
                    "The ZEB API service can not handle a request larger than 40KB."),
            partial.writes[0]);
  // The trace names the client, its user cut to 24 bytes.
  EXPECT_NE(std::string::npos,
            TraceText().find("Client IP: 10.1.2.3\r\nClient User ID: a-user-name-longer-than-\r\n"
                             "RequestID: 1\r\nRequestContents: \r\n\r\nResponseContents: \r\n"
                             "HTTP/1.1 405"));
}

TEST_F(CQuillonExtensionTest, ContentTypeMustContainTextXml) {
  const std::string refused = Refusal("HTTP/1.1 415 Unsupported Media Type\r\nAccept: text/xml\r\n", "SOAP-ENV:Client",
                                      "The ZEB API service can only accept Content-Type: text/xml");
  for (const char* type : {"", "application/soap+xml", "text/html"}) {
    FakeRequest request("POST", type, "<x/>");
    extension_.HttpExtensionProc(&request.ecb);
    EXPECT_EQ(refused, request.Response()) << type;
  }
  for (const char* type : {"text/xml; charset=utf-8", "TEXT/XML", "application/x-text/xml"}) {
    FakeRequest request("post", type, "<x/>");
    extension_.HttpExtensionProc(&request.ecb);
    EXPECT_EQ(0u, request.Response().rfind("HTTP/1.1 200 OK\r\n", 0)) << type;
  }
}

// Records what it was asked to forward; answers with a fixed reply or fails.
class FakeForwarder : public WriteForwarder {
 public:
  std::string Forward(const ForwardedRequest& request) override {
    body = std::string(request.body);
    soapAction = std::string(request.soapAction);
    authorization = std::string(request.authorization);
    forwardedBy = request.forwardedBy;
    ++calls;
    if (fail) throw ForwardFailure("no answer within the request's time limit", true);
    return reply;
  }
  const std::string& primary() const override { return url; }

  std::string url = "https://primary.example:8443/";
  std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 4\r\n\r\n<ok/>";
  bool fail = false;
  int calls = 0;
  std::string body, soapAction, authorization, forwardedBy;
};

// The observer hears of a write's change event, with the id the database gave it, once the
// request answered without a fault; a refused write (rolled back) gives none.
TEST(ChangeEventHandOverTest, OnlyACommittedWriteHandsOverItsEventWithItsId) {
  TempDir dir;
  std::unique_ptr<zdl::CZDLDatabase> database = zdl::CZDLDatabase::Open(dir / "zeb.db");
  std::vector<zdl::ChangeEvent> heard;
  ExtensionOptions options;
  options.traceDir = dir / "trace";
  options.session = [&database] { return &database->Session(); };
  options.observer = [&heard](const RequestSummary& summary) {
    if (summary.committedEvent) heard.push_back(*summary.committedEvent);
  };
  CQuillonExtension extension(options);
  auto post = [&extension](const std::string& name) {
    FakeRequest request("POST", "text/xml",
                        test::RequestEnvelope("<addRoutePartition><newRoutePartition><name>" + name +
                                              "</name></newRoutePartition></addRoutePartition>"));
    extension.HttpExtensionProc(&request.ecb);
  };
  post("a");
  post("a");  // refused: the name exists
  post("b");
  std::string stored;
  zdl::ReadChangeEvents(database->Session(), 0, 10, [&](const zdl::ChangeEvent& event) {
    stored += zdl::ChangeEventJson(event) + "\n";
  });
  std::string handed;
  for (const zdl::ChangeEvent& event : heard) handed += zdl::ChangeEventJson(event) + "\n";
  EXPECT_EQ(2u, heard.size());
  EXPECT_EQ(stored, handed);
}

class ReadOnlyExtensionTest : public ::testing::Test {
 protected:
  ReadOnlyExtensionTest() : extension_(Options()) {}

  ExtensionOptions Options() {
    ExtensionOptions options;
    options.traceDir = dir_ / "trace";
    options.node = "standby:8081";
    options.readOnly = [] { return true; };
    options.forwarder = &forwarder_;
    return options;
  }
  std::string Post(const std::string& element) {
    FakeRequest request("POST", "text/xml; charset=utf-8", test::RequestEnvelope(element));
    request.variables["HTTP_SOAPACTION"] = "\"zeb\"";
    request.variables["HTTP_AUTHORIZATION"] = "Basic " + std::string(300, 'A');
    extension_.HttpExtensionProc(&request.ecb);
    return request.Response();
  }

  TempDir dir_;
  FakeForwarder forwarder_;
  CQuillonExtension extension_;
};

TEST_F(ReadOnlyExtensionTest, AWriteIsForwardedWithItsHeadersAndItsAnswerRelayedAsItCame) {
  const std::string element = "<addRoutePartition><newRoutePartition><name>x</name></newRoutePartition></addRoutePartition>";
  EXPECT_EQ(forwarder_.reply, Post(element));
  EXPECT_EQ(test::RequestEnvelope(element), forwarder_.body);
  EXPECT_EQ("\"zeb\"", forwarder_.soapAction);
  EXPECT_EQ("Basic " + std::string(300, 'A'), forwarder_.authorization);
  EXPECT_EQ("standby:8081 for 10.1.2.3", forwarder_.forwardedBy);
  extension_.trace().CloseTraceLog();
  const std::string trace = ReadFile(dir_ / "trace/ZEBAPI-0.txt");
  EXPECT_NE(std::string::npos,
            trace.find("ResponseContents: \r\nForwarded to https://primary.example:8443/\r\nHTTP/1.1 200 OK\r\r\n"))
      << trace;
}

TEST_F(ReadOnlyExtensionTest, AReadIsServedHereAndAFailedForwardSaysWhatMayHaveHappened) {
  // No database: the read runs and fails here, without a forward.
  EXPECT_EQ(std::string::npos, Post("<getRoutePartition><partitionName>x</partitionName></getRoutePartition>")
                                   .find("<ok/>"));
  EXPECT_EQ(0, forwarder_.calls);
  forwarder_.fail = true;
  const std::string answer = Post("<removeRoutePartition><partitionName>x</partitionName></removeRoutePartition>");
  EXPECT_NE(std::string::npos,
            answer.find("<faultcode>SOAP-ENV:Server</faultcode>\r\n<faultstring>This node is read-only and forwards "
                        "removeRoutePartition to the primary node https://primary.example:8443/, which did not answer "
                        "(no answer within the request&apos;s time limit): the change may or may not have been made "
                        "there.</faultstring>"))
      << answer;
}

TEST(StandbyGateTest, WithoutAForwarderAWriteIsRefusedAndAReadGoesToTheNextGate) {
  struct Next : MethodGate {
    std::optional<AccessRefusal> Admit(const MethodEntry&) override { return AccessRefusal{403, "next", 0}; }
  } next;
  const ForwardedRequest request;
  StandbyGate gate(nullptr, request, &next);
  const std::optional<AccessRefusal> write = gate.Admit(*FindMethod("updatePhone"));
  ASSERT_TRUE(write);
  EXPECT_EQ(0, write->status);
  EXPECT_EQ("This node is read-only (its database is a hot standby) and forwards no writes: send updatePhone to a "
            "node on the primary database.",
            write->text);
  EXPECT_EQ("next", gate.Admit(*FindMethod("getPhone"))->text);
  EXPECT_FALSE(gate.forwarded());
}

}  // namespace
}  // namespace zeb
