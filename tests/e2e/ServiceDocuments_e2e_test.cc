// The service documents as zebd serves them: the schema and the WSDL on GET, from memory, with an
// entity tag; the WSDL's address after the Host header; every other GET still answered by the
// extension's 405.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/ZebdProcess.h"

namespace zeb::test {
namespace {

const std::string kSchemaPath = "/QMSApi/ZEB/V1/zebsoap.xsd";
const std::string kWsdlPath = "/QMSApi/ZEB/V1/zebsoap.wsdl";

std::string Get(RawConnection& client, const std::string& target,
                const std::string& headers = "Host: 127.0.0.1\r\n") {
  client.Send("GET " + target + " HTTP/1.1\r\n" + headers + "\r\n");
  return client.ReadResponse();
}

// The value of the response's ETag header.
std::string TagOf(const std::string& response) {
  const std::size_t start = response.find("\r\nETag: ") + 8;
  return response.substr(start, response.find("\r\n", start) - start);
}

std::string DocumentResponse(const std::string& tag, const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nETag: " + tag + "\r\nCache-Control: no-cache\r\n\r\n" + body;
}

// The documents leave no trace record; every other GET reaches the extension, which answers 405
// and traces it.
TEST(ServiceDocumentsServed, SchemaIsTheOneZebdPrintsAndOtherPathsGetTheExtensionsAnswer) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  const std::string response = Get(client, kSchemaPath);
  EXPECT_EQ(DocumentResponse(TagOf(response), RunZebd({"xsd"}).out), response);
  EXPECT_EQ(18u, TagOf(response).size()) << TagOf(response);
  // A query string is ignored, as a static file server ignores it.
  EXPECT_EQ(response, Get(client, kSchemaPath + "?wsdl"));
  EXPECT_EQ(2, RunZebd({"xsd", "extra"}).exitCode);
  for (const std::string& target : {kWsdlPath + "/", std::string("/qmsapi/zeb/v1/zebsoap.xsd"),
                                    std::string("/QMSApi/ZEB/V1/"), std::string("/")}) {
    EXPECT_EQ("HTTP/1.1 405 Method Not Allowed", StatusLineOf(Get(client, target))) << target;
  }
  // A POST to a document's path is a SOAP request like any other.
  client.Send("POST " + kWsdlPath +
              SoapRequest(SoapEnvelope("<fooBar/>")).substr(std::string("POST /zebapi").size()));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_NE(std::string::npos, zebd.TraceFile().find("RequestID: 5\r\n"));
  EXPECT_EQ(std::string::npos, zebd.TraceFile().find("RequestID: 6\r\n"));
}

TEST(ServiceDocumentsServed, WsdlAddressNamesAValidHostHeaderElseThisMachine) {
  ZebdProcess zebd;
  char name[256] = {};
  ASSERT_EQ(0, gethostname(name, sizeof name - 1));
  const std::string machine =
      "http://" + std::string(name) + ":" + std::to_string(zebd.port()) + "/QMSApi/ZEB/V1/";
  const struct {
    std::string headers, address;
  } cases[] = {
      {"Host: zeb.example:8443\r\n", "http://zeb.example:8443/QMSApi/ZEB/V1/"},
      {"Host: 10.0.0.7\r\n", "http://10.0.0.7/QMSApi/ZEB/V1/"},
      {"Host: [::1]:9\r\n", "http://[::1]:9/QMSApi/ZEB/V1/"},
      {"", machine},
      {"Host: a\"><b\r\n", machine},
      {"Host: user@host\r\n", machine},
      {"Host: host:99999\r\n", machine},
      {"Host: a.example\r\nHost: b.example\r\n", machine},
  };
  RawConnection client(zebd.port());
  for (const auto& c : cases) {
    const std::string response = Get(client, kWsdlPath, c.headers);
    EXPECT_EQ(DocumentResponse(TagOf(response), RunZebd({"wsdl", c.address}).out), response) << c.headers;
  }
}

TEST(ServiceDocumentsServed, MatchingTagGets304AndHeadGetsTheHeaderAlone) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  const std::string response = Get(client, kWsdlPath);
  const std::string tag = TagOf(response);
  const std::string notModified =
      "HTTP/1.1 304 Not Modified\r\nETag: " + tag + "\r\nCache-Control: no-cache\r\n\r\n";
  for (const std::string& match : {tag, "W/" + tag, "\"other\", " + tag, std::string("*")}) {
    EXPECT_EQ(notModified, Get(client, kWsdlPath, "Host: 127.0.0.1\r\nIf-None-Match: " + match + "\r\n"))
        << match;
  }
  // The address is part of what the tag covers.
  const std::string elsewhere = Get(client, kWsdlPath, "Host: zeb.example\r\nIf-None-Match: " + tag + "\r\n");
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(elsewhere));
  EXPECT_NE(tag, TagOf(elsewhere));

  client.Send("HEAD " + kWsdlPath + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(response.substr(0, response.find("\r\n\r\n") + 4), client.ReadHeader());
  EXPECT_EQ(response, Get(client, kWsdlPath));
}

}  // namespace
}  // namespace zeb::test
