#include "extension/CQuillonExtension.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/SoapText.h"
#include "support/TempDir.h"

namespace zeb {
namespace {

using test::ReadFile;
using test::TempDir;

// A control block whose callbacks record every WriteClient call.
struct FakeRequest {
  EXTENSION_CONTROL_BLOCK ecb;
  std::string method, contentType, body;
  std::vector<std::string> writes;
  std::string remoteAddr = "10.1.2.3", remoteUser = "";

  FakeRequest(std::string m, std::string type, std::string b)
      : method(std::move(m)), contentType(std::move(type)), body(std::move(b)) {
    ecb.ConnID = this;
    ecb.lpszMethod = method.c_str();
    ecb.lpszContentType = contentType.c_str();
    ecb.cbTotalBytes = ecb.cbAvailable = static_cast<DWORD>(body.size());
    ecb.lpbData = reinterpret_cast<const unsigned char*>(body.data());
    ecb.GetServerVariable = [](HCONN conn, const char* name, char* buf, DWORD* size) -> BOOL {
      auto* self = static_cast<FakeRequest*>(conn);
      const std::string value = std::strcmp(name, "REMOTE_ADDR") == 0   ? self->remoteAddr
                                : std::strcmp(name, "REMOTE_USER") == 0 ? self->remoteUser
                                                                        : std::string();
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

TEST_F(CQuillonExtensionTest, VersionAndDescription) {
  HSE_VERSION_INFO info;
  EXPECT_EQ(kTrue, extension_.GetExtensionVersion(&info));
  EXPECT_EQ(0x40000u, info.dwExtensionVersion);
  EXPECT_STREQ("Quillon Extension", info.lpszExtensionDesc);
  EXPECT_EQ(kTrue, extension_.TerminateExtension(1));
}

TEST_F(CQuillonExtensionTest, GetIsRefusedWith405AndOneWrite) {
  FakeRequest request("GET", "", "");
  EXPECT_EQ(HSE_STATUS_SUCCESS, extension_.HttpExtensionProc(&request.ecb));
  EXPECT_EQ(200u, request.ecb.dwHttpStatusCode);
  ASSERT_EQ(1u, request.writes.size());
  EXPECT_EQ(Refusal("HTTP/1.1 405 Method Not Allowed\r\nAllow: POST\r\n", "SOAP-ENV:Client",
                    "The ZEB API service only accepts the HTTP POST request type."),
            request.writes[0]);
}

TEST_F(CQuillonExtensionTest, OtherMethodsGetNoBytesAndNoTraceRecord) {
  FakeRequest put("PUT", "text/xml", "<x/>"), del("DELETE", "text/xml", "");
  EXPECT_EQ(HSE_STATUS_ERROR, extension_.HttpExtensionProc(&put.ecb));
  EXPECT_EQ(HSE_STATUS_ERROR, extension_.HttpExtensionProc(&del.ecb));
  EXPECT_TRUE(put.writes.empty());
  EXPECT_TRUE(del.writes.empty());
  FakeRequest get("GET", "", "");
  extension_.HttpExtensionProc(&get.ecb);
  EXPECT_NE(std::string::npos, TraceText().find("RequestID: 1\r\n"));
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

TEST_F(CQuillonExtensionTest, BodyThatDidNotArriveWholeIsRefusedWith413) {
  FakeRequest request("POST", "text/xml", "<x/>");
  request.ecb.cbTotalBytes = 50000;
  extension_.HttpExtensionProc(&request.ecb);
  EXPECT_EQ(Refusal("HTTP/1.1 413 Request Entity Too Large\r\n", "SOAP-ENV:Client",
                    "The ZEB API service can not handle a request larger than 40KB."),
            request.Response());
}

TEST_F(CQuillonExtensionTest, AdmittedRequestWritesHeaderThenEnvelope) {
  FakeRequest request("POST", "text/xml", test::RequestEnvelope("<fooBar/>"));
  extension_.HttpExtensionProc(&request.ecb);
  ASSERT_EQ(2u, request.writes.size());
  const std::string envelope = test::FaultEnvelope("localhost", "fooBar", 5002, "Unknown method: fooBar");
  EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(envelope.size()) +
                "\r\n\r\n",
            request.writes[0]);
  EXPECT_EQ(envelope, request.writes[1]);
}

TEST_F(CQuillonExtensionTest, EmptyPostIsAdmittedAndAnsweredWithAParseFault) {
  FakeRequest request("POST", "text/xml", "");
  extension_.HttpExtensionProc(&request.ecb);
  EXPECT_NE(std::string::npos, request.Response().find("<faultstring>\n&lt;![CDATA[\nAn error occured"));
}

TEST_F(CQuillonExtensionTest, TraceRecordsCarryIdsClientAndTexts) {
  FakeRequest get("GET", "", "");
  get.remoteUser = "a-user-name-longer-than-twenty-four-characters";
  extension_.HttpExtensionProc(&get.ecb);
  FakeRequest post("POST", "text/xml", "<Envelope><Body><fooBar/></Body></Envelope>");
  extension_.HttpExtensionProc(&post.ecb);
  const std::string trace = TraceText();
  const std::string refusal = get.Response();
  EXPECT_NE(std::string::npos, trace.find("Client IP: 10.1.2.3\r\nClient User ID: a-user-name-longer-than-\r\nRequestID: 1\r\n"
                                          "RequestContents: \r\n\r\nResponseContents: \r\n"));
  // The refusal text itself holds CR LF, which the text-mode file writes as CR CR LF.
  EXPECT_NE(std::string::npos, trace.find("HTTP/1.1 405 Method Not Allowed\r\r\nAllow: POST\r\r\n"));
  EXPECT_NE(std::string::npos, trace.find("RequestID: 2\r\nRequestContents: \r\n"
                                          "<Envelope><Body><fooBar/></Body></Envelope>\r\nResponseContents: \r\n"
                                          "<SOAP-ENV:Envelope  xmlns"));
}

}  // namespace
}  // namespace zeb
