#include "extension/RefusalResponses.h"

#include "soap/Namespaces.h"

namespace zeb {

namespace {

std::string Build(const char* statusLine, const char* extraHeader, const char* faultcode, const char* faultstring) {
  const std::string body = std::string("<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"") + kSoapEnvelopeNs +
                           "\" SOAP-ENV:encodingStyle=\"" + kSoapEncodingNs + "\">\r\n" +
                           "<SOAP-ENV:Body>\r\n"
                           "<SOAP-ENV:Fault>\r\n"
                           "<faultcode>" + faultcode + "</faultcode>\r\n"
                           "<faultstring>" + faultstring + "</faultstring>\r\n"
                           "</SOAP-ENV:Fault>\r\n"
                           "</SOAP-ENV:Body>\r\n"
                           "</SOAP-ENV:Envelope>";
  return std::string(statusLine) + extraHeader + "Content-Type: text/xml\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

const std::string& RefusalResponse(Refusal which) {
  static const std::string kResponses[] = {
      Build("HTTP/1.1 405 Method Not Allowed\r\n", "Allow: POST\r\n", "SOAP-ENV:Client",
            "The ZEB API service only accepts the HTTP POST request type."),
      Build("HTTP/1.1 415 Unsupported Media Type\r\n", "Accept: text/xml\r\n", "SOAP-ENV:Client",
            "The ZEB API service can only accept Content-Type: text/xml"),
      Build("HTTP/1.1 413 Request Entity Too Large\r\n", "", "SOAP-ENV:Client",
            "The ZEB API service can not handle a request larger than 40KB."),
      Build("HTTP/1.1 503 Service Unavailable\r\n", "", "SOAP-ENV:Server",
            "Not enough resources to handle request. Try again later."),
  };
  return kResponses[static_cast<int>(which)];
}

}  // namespace zeb
