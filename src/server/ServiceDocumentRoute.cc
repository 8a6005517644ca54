#include "server/ServiceDocumentRoute.h"

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "soap/CXMLElement.h"
#include "wsdl/ServiceDocuments.h"

namespace zeb::server {

namespace {

// 64-bit FNV-1a: a stable digest for entity tags (not a security measure).
std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull) {
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// The host[:port] the WSDL's address names when the Host header cannot be used.
std::string MachineAuthority(unsigned short port) {
  char name[256] = {};
  std::string host = gethostname(name, sizeof name - 1) == 0 ? name : "";
  if (host.empty() || !IsValidHostHeader(host)) host = "localhost";
  return host + ":" + std::to_string(port);
}

// True when the If-None-Match list names the tag (weak comparison) or is "*".
bool Matches(std::string_view ifNoneMatch, std::string_view etag) {
  std::size_t at = 0;
  while (at < ifNoneMatch.size()) {
    std::size_t end = ifNoneMatch.find(',', at);
    if (end == std::string_view::npos) end = ifNoneMatch.size();
    std::string_view tag = ifNoneMatch.substr(at, end - at);
    while (!tag.empty() && (tag.front() == ' ' || tag.front() == '\t')) tag.remove_prefix(1);
    while (!tag.empty() && (tag.back() == ' ' || tag.back() == '\t')) tag.remove_suffix(1);
    if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
    if (tag == "*" || tag == etag) return true;
    at = end + 1;
  }
  return false;
}

// The response to a document request whose body is the concatenation of the pieces. A 304
// answer carries no body and, like a HEAD answer's, the body is left out.
std::string Response(bool head, bool notModified, const std::string& etag,
                     std::initializer_list<std::string_view> body) {
  std::size_t length = 0;
  for (std::string_view piece : body) length += piece.size();
  std::string response = notModified ? "HTTP/1.1 304 Not Modified\r\n" : "HTTP/1.1 200 OK\r\n";
  if (!notModified) response += "Content-Type: text/xml\r\nContent-Length: " + std::to_string(length) + "\r\n";
  response += "ETag: " + etag + "\r\nCache-Control: no-cache\r\n\r\n";
  if (head || notModified) return response;
  response.reserve(response.size() + length);
  for (std::string_view piece : body) response += piece;
  return response;
}

}  // namespace

bool IsValidHostHeader(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  std::string_view name = host;
  std::string_view port;
  if (host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos || close < 3) return false;
    for (char c : host.substr(1, close - 1)) {
      if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
    }
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return false;
      port = host.substr(close + 2);
      if (port.empty()) return false;
    }
    name = {};
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
    if (port.empty()) return false;
  }
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
  }
  if (port.size() > 5) return false;
  long number = 0;
  for (char c : port) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    number = number * 10 + (c - '0');
  }
  return port.empty() || number <= 65535;
}

bool IsDocumentRequest(const DocumentRequest& request) {
  if (request.method != "GET" && request.method != "HEAD") return false;
  const std::string_view path = request.target.substr(0, request.target.find('?'));
  return path == wsdl::kSchemaPath || path == wsdl::kWsdlPath;
}

std::optional<std::string> AnswerDocumentRequest(const DocumentRequest& request) {
  const bool head = request.method == "HEAD";
  if (request.method != "GET" && !head) return std::nullopt;
  const std::string_view path = request.target.substr(0, request.target.find('?'));
  const wsdl::ServiceDocuments& documents = wsdl::Documents();

  if (path == wsdl::kSchemaPath) {
    static const std::string etag = "\"" + Hex(Fnv1a(documents.Schema())) + "\"";
    const bool notModified = request.ifNoneMatch && Matches(*request.ifNoneMatch, etag);
    return Response(head, notModified, etag, {documents.Schema()});
  }
  if (path != wsdl::kWsdlPath) return std::nullopt;

  const std::string authority = request.host && IsValidHostHeader(*request.host) ? std::string(*request.host)
                                                                                  : MachineAuthority(request.localPort);
  const std::string location = std::string(request.tls ? "https://" : "http://") + authority + wsdl::kServicePath;
  // The tag covers the document around the address and the address itself, without hashing
  // the whole document for every request.
  static const std::uint64_t templateHash = Fnv1a(documents.WsdlTail(), Fnv1a(documents.WsdlHead()));
  const std::string etag = "\"" + Hex(templateHash) + "-" + Hex(Fnv1a(location)) + "\"";
  const bool notModified = request.ifNoneMatch && Matches(*request.ifNoneMatch, etag);
  const std::string address = EscapeXML(location);
  return Response(head, notModified, etag, {documents.WsdlHead(), address, documents.WsdlTail()});
}

}  // namespace zeb::server
