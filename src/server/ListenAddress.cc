#include "server/ListenAddress.h"

#include <boost/asio/io_context.hpp>
#include <stdexcept>

namespace zeb::server {

namespace net = boost::asio;
using tcp = net::ip::tcp;

tcp::endpoint ResolveListenEndpoint(const std::string& host, std::uint16_t port) {
  net::io_context ioc;
  tcp::resolver resolver(ioc);
  boost::system::error_code ec;
  const auto found = resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service, ec);
  if (ec || found.empty())
    throw std::runtime_error("cannot listen on " + host + ": the host does not resolve (" +
                             (ec ? ec.message() : "no address") + ")");
  return *found.begin();
}

bool IsLoopback(const net::ip::address& address) {
  if (address.is_v4()) return address.to_v4().is_loopback();
  const net::ip::address_v6 v6 = address.to_v6();
  if (v6.is_v4_mapped()) return net::ip::make_address_v4(net::ip::v4_mapped, v6).is_loopback();
  return v6.is_loopback();
}

std::string ExposureProblem(const ServerOptions& options, const tcp::endpoint& endpoint) {
  if (options.insecure || IsLoopback(endpoint.address())) return "";
  std::string missing;
  if (!options.tls()) missing = "TLS (--tls-cert and --tls-key)";
  if (!options.authenticated()) missing += std::string(missing.empty() ? "" : " and ") + "--auth-file";
  if (missing.empty()) return "";
  return "refusing to listen on " + endpoint.address().to_string() + " without " + missing +
         ": anyone who reaches the port could read and change the configuration (give --insecure to "
         "accept that)";
}

std::string Listen(tcp::acceptor& acceptor, const tcp::endpoint& endpoint) {
  acceptor.open(endpoint.protocol());
  acceptor.set_option(boost::asio::socket_base::reuse_address(true));
  acceptor.bind(endpoint);
  acceptor.listen(boost::asio::socket_base::max_listen_connections);
  const tcp::endpoint bound = acceptor.local_endpoint();
  std::string address = bound.address().to_string();
  if (bound.address().is_v6()) address = "[" + address + "]";
  return address + ":" + std::to_string(bound.port());
}

}  // namespace zeb::server
