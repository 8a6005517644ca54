// The address zebd listens on, and whether listening there is safe with the options given.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <string>

#include "server/ServerOptions.h"

namespace zeb::server {

// The endpoint a listener for host:port binds: the first address the host resolves to. Numeric
// addresses are taken as they are. Throws std::runtime_error, naming the host, when it does not
// resolve.
boost::asio::ip::tcp::endpoint ResolveListenEndpoint(const std::string& host, std::uint16_t port);

// True for 127.0.0.0/8, ::1 and IPv4-mapped loopback addresses. The unspecified addresses
// (0.0.0.0, ::) listen on every interface and are not loopback.
bool IsLoopback(const boost::asio::ip::address& address);

// Empty when a listener on endpoint may start with these options; otherwise the reason it may
// not, as one line for the operator. A non-loopback listener needs TLS and an auth file, unless
// options.insecure is set.
std::string ExposureProblem(const ServerOptions& options, const boost::asio::ip::tcp::endpoint& endpoint);

// Opens, binds and listens on endpoint (address reuse on); returns "host:port" as bound, an IPv6
// host in brackets, so that port 0 reports the port the system chose.
std::string Listen(boost::asio::ip::tcp::acceptor& acceptor, const boost::asio::ip::tcp::endpoint& endpoint);

}  // namespace zeb::server
