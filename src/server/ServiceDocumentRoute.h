// Serves the service documents: GET (and HEAD) of the schema and WSDL paths are answered from
// memory, with a strong ETag and Cache-Control: no-cache, and 304 Not Modified for a matching
// If-None-Match. A query string is ignored, as a static file server ignores it. Every other
// request is not answered here (the extension answers it, a GET with its 405 refusal).
//
// The WSDL's soap:address names the scheme the client used and the host of its Host header
// when that header is one syntactically valid host[:port]; otherwise this machine's host name
// and the port the client connected to.
#pragma once

#include <boost/beast/http/message.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace zeb::server {

struct DocumentRequest {
  std::string_view method;       // as sent ("GET", "HEAD", ...)
  std::string_view target;       // request target, query included
  std::optional<std::string_view> host;         // the Host header, when there is exactly one
  std::optional<std::string_view> ifNoneMatch;  // the If-None-Match header, when present
  bool tls = false;              // the connection speaks HTTPS
  unsigned short localPort = 0;  // the port the client connected to
};

// The document request of a request header read by the host.
template <class Fields>
DocumentRequest DocumentRequestOf(const boost::beast::http::request_header<Fields>& header, bool tls,
                                  unsigned short localPort) {
  namespace http = boost::beast::http;
  auto view = [](boost::beast::string_view text) { return std::string_view(text.data(), text.size()); };
  DocumentRequest request;
  request.method = view(header.method_string());
  request.target = view(header.target());
  if (header.count(http::field::host) == 1) request.host = view(header[http::field::host]);
  if (header.count(http::field::if_none_match) > 0) request.ifNoneMatch = view(header[http::field::if_none_match]);
  request.tls = tls;
  request.localPort = localPort;
  return request;
}

// Whether the request is one AnswerDocumentRequest answers.
bool IsDocumentRequest(const DocumentRequest& request);

// The whole HTTP response (status line, headers, body) for a document request; nullopt for any
// other request.
std::optional<std::string> AnswerDocumentRequest(const DocumentRequest& request);

// True for "host" or "host:port" where host is a name or IPv4 address (letters, digits, '-',
// '.', '_') or a bracketed IPv6 address, and port a number up to 65535.
bool IsValidHostHeader(std::string_view host);

}  // namespace zeb::server
